// A client library without one of the functions that every load requires
// (isc_drop_database): the load fails with the operating-system error, and
// the binding hands out nothing afterwards.

#include "FakeClientControl.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"
#include "ibclient/SharedLibrary.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <functional>

TEST(BindingBroken, RequiredFunctionMissingFailsEveryLoad)
{
    const QRegularExpression form(QStringLiteral("^System Error\\.  Code: (-?\\d+)\\.\\r\\n(.+)$"),
        QRegularExpression::DotMatchesEverythingOption);
    const struct {
        const char* what;
        std::function<void()> attempt;
    } attempts[] = {
        {"CheckIBLoaded", [] { ClientLibrary().CheckIBLoaded(); }},
        {"CheckIBLoaded again", [] { ClientLibrary().CheckIBLoaded(); }},
        {"TryIBLoad", [] { ClientLibrary().TryIBLoad(); }},
        {"GetIBClientVersion", [] { ClientLibrary().GetIBClientVersion(); }},
        {"a client call",
            [] {
                gds::Handle handle = 0;
                ClientLibrary().isc_attach_database(CurrentStatusVector(), 4, "x.db", &handle, 0, nullptr);
            }},
    };
    for (const auto& a : attempts) {
        SCOPED_TRACE(a.what);
        try {
            a.attempt();
            ADD_FAILURE() << "no exception";
        } catch (const EOSError& e) {
            const QRegularExpressionMatch match = form.match(e.Message());
            ASSERT_TRUE(match.hasMatch()) << e.Message().toStdString();
            EXPECT_EQ(match.captured(1).toInt(), e.ErrorCode());
#ifdef _WIN32
            // GetProcAddress's failure: ERROR_PROC_NOT_FOUND and the system's text for it.
            EXPECT_EQ(e.ErrorCode(), 127);
            EXPECT_EQ(match.captured(2), SystemErrorText(127));
            EXPECT_FALSE(match.captured(2).trimmed().isEmpty());
#else
            // The platform's text names the function that is missing.
            EXPECT_TRUE(match.captured(2).contains(QStringLiteral("isc_drop_database")))
                << match.captured(2).toStdString();
#endif
        }
    }
    // The load stopped at the missing function: nothing was called, not even
    // the version functions that a complete load asks.
    EXPECT_EQ(fake::Calls(), QStringList());
}
