// No client library where the binding looks (the environment names a file
// that does not exist): every attempt raises client error 1 and the next one
// tries again, so the library is found once it appears.

#include "BindingTestSupport.h"
#include "FakeClientControl.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace {

// Removes the file when the test ends, however it ends.
struct TRemoveFile {
    QString path;
    ~TRemoveFile() { QFile::remove(path); }
};

} // namespace

TEST(BindingMissing, LoadFailsUntilTheLibraryAppears)
{
    const QString path = qEnvironmentVariable("ZUR_CLIENT_LIBRARY");
    ASSERT_FALSE(path.isEmpty());
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    TRemoveFile cleanup{path};

    const QString notFound = QStringLiteral("InterBase library gds32.dll not found in the path. Please install "
                                            "InterBase to use this functionality");
    const struct {
        const char* what;
        std::function<void()> attempt;
    } attempts[] = {
        {"CheckIBLoaded", [] { ClientLibrary().CheckIBLoaded(); }},
        {"CheckIBLoaded again", [] { ClientLibrary().CheckIBLoaded(); }},
        {"GetIBClientVersion", [] { ClientLibrary().GetIBClientVersion(); }},
        {"a client call", [] { ClientLibrary().isc_vax_integer("\x01", 1); }},
    };
    for (const auto& a : attempts) {
        SCOPED_TRACE(a.what);
        bindingtest::THookRecorder hook;
        try {
            a.attempt();
            ADD_FAILURE() << "no exception";
        } catch (const EIBClientError& e) {
            EXPECT_EQ(e.Message(), notFound);
            EXPECT_EQ(e.SQLCode(), 1);
            EXPECT_EQ(e.IBErrorCode(), 0);
        }
        EXPECT_EQ(hook.Errors(), QStringList{notFound});
    }
    EXPECT_FALSE(ClientLibrary().TryIBLoad());

    ASSERT_TRUE(QFile::copy(QStringLiteral(FAKE_LIBRARY_FILE), path));
    EXPECT_TRUE(ClientLibrary().TryIBLoad());
    EXPECT_EQ(ClientLibrary().GetIBClientVersion(), 63000);
    fake::Reset();
    EXPECT_EQ(ClientLibrary().isc_vax_integer("\x01\x02", 2), 0x0201);
    EXPECT_EQ(fake::Calls(), QStringList{"isc_vax_integer"});
}
