// Without ZUR_CLIENT_LIBRARY the binding loads "gds32.dll" and, when that
// cannot be loaded, "fbclient.dll", through the system's library search; the
// fakes are copied under those names into a folder that the search covers.

#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <windows.h>

#include <string>

namespace {

class ClientLibraryNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qEnvironmentVariableIsEmpty("ZUR_CLIENT_LIBRARY"));
        ASSERT_TRUE(FFolder.isValid());
        ASSERT_TRUE(
            SetDllDirectoryW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(FFolder.path()).utf16())));
    }
    void TearDown() override { SetDllDirectoryW(nullptr); }

    void Provide(const char* fake, const char* name)
    {
        ASSERT_TRUE(QFile::copy(QString::fromLocal8Bit(fake), FFolder.path() + u'/' + QLatin1String(name))) << name;
    }
    static bool IsLoaded(const wchar_t* name) { return GetModuleHandleW(name) != nullptr; }

    QTemporaryDir FFolder;
};

} // namespace

TEST_F(ClientLibraryNames, TheWindowsNamesInOrder)
{
    const std::vector<const char*> names = ClientLibraryFileNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_STREQ(names[0], "gds32.dll");
    EXPECT_STREQ(names[1], "fbclient.dll");
}

TEST_F(ClientLibraryNames, Gds32IsLoadedFirst)
{
    Provide(FAKE_25_FILE, "gds32.dll");
    Provide(FAKE_63_FILE, "fbclient.dll");
    EXPECT_EQ(ClientLibrary().GetIBClientVersion(), 25000);
    EXPECT_TRUE(IsLoaded(L"gds32.dll"));
    EXPECT_FALSE(IsLoaded(L"fbclient.dll"));
}

TEST_F(ClientLibraryNames, FbclientWhenThereIsNoGds32)
{
    Provide(FAKE_63_FILE, "fbclient.dll");
    EXPECT_EQ(ClientLibrary().GetIBClientVersion(), 63000);
    EXPECT_FALSE(IsLoaded(L"gds32.dll"));
    EXPECT_TRUE(IsLoaded(L"fbclient.dll"));
}

TEST_F(ClientLibraryNames, NeitherGivesClientError1)
{
    try {
        ClientLibrary().CheckIBLoaded();
        FAIL() << "no exception";
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.SQLCode(), 1);
        EXPECT_EQ(e.Message(),
            QStringLiteral("InterBase library gds32.dll not found in the path. Please install "
                           "InterBase to use this functionality"));
    }
    // Once a library appears the next load finds it.
    Provide(FAKE_63_FILE, "fbclient.dll");
    EXPECT_TRUE(ClientLibrary().TryIBLoad());
}
