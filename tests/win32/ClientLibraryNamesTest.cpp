// Without ZUR_CLIENT_LIBRARY the binding loads "gds32.dll" and, when that
// cannot be loaded, "fbclient.dll", through the system's library search; the
// fakes are copied under those names into a folder that the search covers.

#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
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
    QString PathOf(const char* name) const
    {
        return QDir::toNativeSeparators(FFolder.path() + u'/' + QLatin1String(name));
    }

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

// The system's loader stops at the first file of a name, even one of the
// other bitness (error 193): the binding goes on to the next name itself.
TEST_F(ClientLibraryNames, AGds32OfTheOtherBitnessIsPassedOverForFbclient)
{
    Provide(OTHER_BITNESS_FILE, "gds32.dll");
    Provide(FAKE_63_FILE, "fbclient.dll");
    EXPECT_EQ(ClientLibrary().GetIBClientVersion(), 63000);
    EXPECT_TRUE(IsLoaded(L"fbclient.dll"));
    EXPECT_FALSE(ClientLibraryOfOtherBitness());
}

TEST_F(ClientLibraryNames, OnlyAGds32OfTheOtherBitnessIsNamedWithItsBitness)
{
    Provide(OTHER_BITNESS_FILE, "gds32.dll");
    EXPECT_FALSE(ClientLibrary().TryIBLoad());
    const std::optional<TOtherBitnessLibrary> other = ClientLibraryOfOtherBitness();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->path.toLower(), PathOf("gds32.dll").toLower());
    EXPECT_EQ(other->bits, sizeof(void*) == 8 ? 32 : 64);
    // The load still fails as before, with client error 1.
    try {
        ClientLibrary().CheckIBLoaded();
        FAIL() << "no exception";
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.SQLCode(), 1);
    }
}

// The program itself, with only a gds32.dll of the other bitness on its
// search path: its start-up report names the file and the build to use.
TEST_F(ClientLibraryNames, TheStartupReportNamesTheFileAndTheOtherBuild)
{
    Provide(OTHER_BITNESS_FILE, "gds32.dll");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("ZUR_CLIENT_LIBRARY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("ZUR_REPORT_TO_STDERR"), QStringLiteral("1"));
    environment.insert(QStringLiteral("PATH"),
        QDir::toNativeSeparators(FFolder.path()) + u';' + environment.value(QStringLiteral("PATH")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ZUR_EXECUTABLE), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(program.waitForFinished(60000)) << "the program kept running";
    EXPECT_NE(program.exitCode(), 0);

    const QString output = QString::fromLocal8Bit(program.readAllStandardError());
    const QStringList lines = output.split(QRegularExpression(QStringLiteral("\r?\n")));
    const int caption = lines.indexOf(QStringLiteral("Application Error"));
    ASSERT_GE(caption, 0) << output.toStdString();
    ASSERT_GE(lines.size(), caption + 4) << output.toStdString();
    const int other = sizeof(void*) == 8 ? 32 : 64;
    const int own = sizeof(void*) == 8 ? 64 : 32;
    EXPECT_EQ(lines[caption + 3].toLower(),
        QStringLiteral("A biblioteca cliente %1 é de %2 bits e não pode ser carregada por este programa, que é de "
                       "%3 bits. Use a versão de %2 bits do programa (zur-windows-%2bits.zip).")
            .arg(PathOf("gds32.dll"))
            .arg(other)
            .arg(own)
            .toLower())
        << output.toStdString();
}
