// Compressed backups on this machine: which archives give a backup, what an
// extraction leaves behind, and an archive written from a backup. (Their
// restore through the server is in the runs' tests.)

#include "core/BackupArchive.h"
#include "core/BackupCatalogue.h"
#include "core/BackupFile.h"

#include "ArchiveFixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Bytes that do not repeat within a block, so that deflate cannot make them small.
QByteArray Bytes(qsizetype size, quint32 seed = 1)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = seed;
    for (qsizetype i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class BackupArchiveTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Folder() const { return dir.path() + u'/'; }
    // The extraction's folder, apart from the archives.
    QString Out()
    {
        const QString out = Folder() + QStringLiteral("saida/");
        QDir().mkpath(out);
        return out;
    }
    QStringList OutFiles() { return QDir(Out()).entryList(QDir::Files | QDir::Hidden); }
};

} // namespace

TEST_F(BackupArchiveTest, AnArchiveWithOneBackupGivesItsBytesInAFileOfTheRunsOwn)
{
    const QByteArray backup = Bytes(3 * 1024 * 1024 + 7); // more than one block
    const QByteArray other = Bytes(100, 2);
    struct Case {
        const char* name;
        std::vector<archives::TEntry> entries;
        QString entry;
    };
    const std::vector<Case> cases = {
        {"one file of any name", {{QStringLiteral("dados.dat"), backup}}, QStringLiteral("dados.dat")},
        {"the one backup among other files, in a folder",
            {{QStringLiteral("pasta/"), {}}, {QStringLiteral("LEIA.TXT"), other},
                {QStringLiteral("pasta/DADOS20261209.FBK"), backup}},
            QStringLiteral("pasta/DADOS20261209.FBK")},
        {"a .BKP", {{QStringLiteral("x.txt"), other}, {QStringLiteral("DADOS.BKP"), backup}},
            QStringLiteral("DADOS.BKP")},
        {"a .gbk in lower case", {{QStringLiteral("dados.gbk"), backup}, {QStringLiteral("b.log"), other}},
            QStringLiteral("dados.gbk")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString archive = Folder() + QStringLiteral("ZURDADOS.ZIP");
        archives::MakeWithLibrary(archive, c.entries);

        QString path;
        {
            const TExtraction extraction = ExtractBackup(archive, Out());
            ASSERT_EQ(extraction.refusal, QString());
            EXPECT_EQ(extraction.entry, c.entry);
            path = extraction.file.Path();
            EXPECT_EQ(QFileInfo(path).absolutePath() + u'/', Out());
            EXPECT_EQ(ReadAll(path), backup);
            // A name that no catalogue offers, at start-up or after a browse.
            EXPECT_TRUE(StartupEntries(Out()).empty());
            EXPECT_TRUE(BrowsedEntries(Out()).empty());
        }
        // The owner gone, the file goes.
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_TRUE(OutFiles().isEmpty());
    }
}

TEST_F(BackupArchiveTest, ArchivesOfDebiansZipAreReadAlike)
{
    if (!archives::ToolRuns(QStringLiteral("zip")))
        GTEST_SKIP() << "Debian's zip does not run here";
    const QByteArray backup = Bytes(2 * 1024 * 1024) + QByteArray(1024 * 1024, 'a');
    Write(Folder() + QStringLiteral("DADOS.FBK"), backup);
    for (const QStringList& options : {QStringList{QStringLiteral("-9")}, QStringList{QStringLiteral("-0")}}) {
        SCOPED_TRACE(options.join(u' ').toStdString());
        const QString archive = Folder() + QStringLiteral("ZUR.ZIP");
        QFile::remove(archive);
        archives::MakeWithZipTool(Folder(), archive, {QStringLiteral("DADOS.FBK")}, options);
        const TExtraction extraction = ExtractBackup(archive, Out());
        ASSERT_EQ(extraction.refusal, QString());
        EXPECT_EQ(ReadAll(extraction.file.Path()), backup);
    }
}

TEST_F(BackupArchiveTest, TwoExtractionsAtOnceNeverShareAFile)
{
    const QString archive = Folder() + QStringLiteral("ZUR.ZIP");
    archives::MakeWithLibrary(archive, {{QStringLiteral("DADOS.FBK"), Bytes(1000)}});
    const TExtraction first = ExtractBackup(archive, Out());
    const TExtraction second = ExtractBackup(archive, Out());
    ASSERT_EQ(first.refusal + second.refusal, QString());
    EXPECT_NE(first.file.Path(), second.file.Path());
    EXPECT_EQ(OutFiles().size(), 2);
}

TEST_F(BackupArchiveTest, AnExtractedFileThatCannotBeRemovedIsReported)
{
    const QString archive = Folder() + QStringLiteral("ZUR.ZIP");
    archives::MakeWithLibrary(archive, {{QStringLiteral("DADOS.FBK"), Bytes(1000)}});
    QStringList reported;
    QString path;
    {
        TExtraction extraction = ExtractBackup(archive, Out());
        ASSERT_EQ(extraction.refusal, QString());
        extraction.file.SetRemovalReport([&reported](const QString& text) { reported.append(text); });
        path = extraction.file.Path();
        // Something else now stands at its name that a removal of a file cannot take.
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(QDir().mkpath(path + QStringLiteral("/pasta")));
    }
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported[0].startsWith(QStringLiteral("Não foi possível remover o backup extraído %1: ").arg(path)))
        << reported[0].toStdString();
}

TEST_F(BackupArchiveTest, RefusedArchivesWriteNothing)
{
    const QByteArray backup = Bytes(64 * 1024);
    const QString fbk = QStringLiteral("DADOS.FBK");
    // Each case makes its archive at the path it is given.
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        QString says; // a part of the refusal
    };
    const auto library = [](std::vector<archives::TEntry> entries) {
        return [entries](const QString& path) { archives::MakeWithLibrary(path, entries); };
    };
    const auto unsafe = [&](const QString& name) {
        return Case{"an unsafe name", library({{name, backup}}), QStringLiteral("\"%1\"").arg(name)};
    };
    const QString noBackup = QStringLiteral("não contém um backup");
    const QString unsafeName = QStringLiteral("sai da pasta");
    std::vector<Case> cases = {
        {"no file at all, only a folder", library({{QStringLiteral("pasta/"), {}}}), noBackup},
        {"files, none a backup", library({{QStringLiteral("a.txt"), backup}, {QStringLiteral("b.dat"), backup}}),
            noBackup},
        {"two backups",
            library({{QStringLiteral("A.FBK"), backup}, {QStringLiteral("B.BKP"), backup}, {QStringLiteral("c"), {}}}),
            QStringLiteral("mais de um backup (A.FBK, B.BKP)")},
        unsafe(QStringLiteral("../DADOS.FBK")),
        unsafe(QStringLiteral("pasta/../../DADOS.FBK")),
        unsafe(QStringLiteral("pasta\\..\\..\\DADOS.FBK")),
        unsafe(QStringLiteral("..")),
        unsafe(QStringLiteral("/tmp/DADOS.FBK")),
        unsafe(QStringLiteral("\\\\servidor\\DADOS.FBK")),
        unsafe(QStringLiteral("C:/DADOS.FBK")),
        unsafe(QStringLiteral("c:DADOS.FBK")),
        {"a good backup beside an unsafe name", library({{fbk, backup}, {QStringLiteral("../LEIA.TXT"), backup}}),
            unsafeName},
        {"not an archive", [&](const QString& path) { Write(path, "gbak backup, not zipped\n"); },
            QStringLiteral("Not a zip archive (zip 19)")},
        {"the first half of an archive",
            [&](const QString& path) {
                archives::MakeWithLibrary(path, {{fbk, backup}});
                QFile::resize(path, QFileInfo(path).size() / 2);
            },
            QStringLiteral("não pôde ser lido como arquivo compactado")},
        {"more data than it declares",
            [&](const QString& path) {
                archives::MakeWithLibrary(path, {{fbk, Bytes(3 * 1024 * 1024)}});
                archives::DeclareSize(path, 1024 * 1024 + 5);
            },
            QStringLiteral("tem mais dados do que os 1048581 bytes que declara")},
        {"less data than it declares",
            [&](const QString& path) {
                archives::MakeWithLibrary(path, {{fbk, backup}});
                archives::DeclareSize(path, backup.size() + 1);
            },
            QStringLiteral("terminou com 65536 dos 65537 bytes que declara")},
        {"a byte of the data changed (stored)",
            [&](const QString& path) {
                archives::MakeWithLibrary(path, {{fbk, backup}}, true);
                QFile file(path);
                ASSERT_TRUE(file.open(QIODevice::ReadWrite));
                file.seek(30 + fbk.size() + 1000); // past the local header, inside the data
                file.write("\xff\x00", 2);
            },
            QStringLiteral("CRC error")},
    };
    // The tool that encrypts as operators' archives are encrypted; not under Wine.
    if (archives::ToolRuns(QStringLiteral("zip")))
        cases.push_back({"an encrypted backup (zip -P)",
            [&](const QString& path) {
                Write(Folder() + fbk, backup);
                archives::MakeWithZipTool(Folder(), path, {fbk}, {QStringLiteral("-P"), QStringLiteral("segredo")});
            },
            QStringLiteral("protegido por senha")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString archive = Folder() + QStringLiteral("ZUR.ZIP");
        QFile::remove(archive);
        c.make(archive);
        const TExtraction extraction = ExtractBackup(archive, Out());
        EXPECT_TRUE(extraction.refusal.contains(c.says)) << extraction.refusal.toStdString();
        EXPECT_TRUE(extraction.refusal.contains(archive)) << extraction.refusal.toStdString();
        EXPECT_EQ(extraction.file.Path(), QString());
        EXPECT_EQ(OutFiles(), QStringList());
    }
}

TEST_F(BackupArchiveTest, ABackupWrittenIntoAnArchiveReadsBackWhole)
{
    const QString backup = Folder() + QStringLiteral("DADOS20261209.BKP");
    Write(backup, Bytes(2 * 1024 * 1024 + 3) + QByteArray(4096, '\0'));
    const QString archive = Folder() + QStringLiteral("ZURDADOS20261209.ZIP");
    Write(archive, "an older archive of that name");

    ASSERT_EQ(WriteBackupArchive(backup, archive), QString());

    EXPECT_TRUE(PartialBackupsOf(archive).isEmpty());
    // What this program and another tool read of it.
    const TExtraction extraction = ExtractBackup(archive, Out());
    ASSERT_EQ(extraction.refusal, QString());
    EXPECT_EQ(extraction.entry, QStringLiteral("DADOS20261209.BKP"));
    EXPECT_EQ(ReadAll(extraction.file.Path()), ReadAll(backup));
    if (!archives::ToolRuns(QStringLiteral("unzip")))
        return; // under Wine
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, QStringLiteral("DADOS20261209.BKP")});
    ASSERT_TRUE(unzip.waitForFinished(60000));
    EXPECT_EQ(unzip.exitCode(), 0);
    EXPECT_EQ(unzip.readAllStandardOutput(), ReadAll(backup));
    // Smaller than the backup: it was compressed.
    EXPECT_LT(QFileInfo(archive).size(), QFileInfo(backup).size());
}

TEST_F(BackupArchiveTest, AnArchiveThatCannotBeWrittenLeavesTheOlderOne)
{
    const QString backup = Folder() + QStringLiteral("DADOS.BKP");
    Write(backup, Bytes(10000));
    const QString archive = Folder() + QStringLiteral("ZURDADOS.ZIP");
    Write(archive, "older");
    struct Case {
        const char* name;
        QString backup;
        QString archive;
    };
    const std::vector<Case> cases = {
        {"no such backup", Folder() + QStringLiteral("AUSENTE.BKP"), archive},
        {"no such folder for the archive", backup, Folder() + QStringLiteral("nada/ZURDADOS.ZIP")},
        // A folder stands where the archive's final name is.
        {"the final name taken by a folder", backup, Folder() + QStringLiteral("ZURPASTA.ZIP")},
    };
    QDir(Folder()).mkdir(QStringLiteral("ZURPASTA.ZIP"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString failure = WriteBackupArchive(c.backup, c.archive);
        EXPECT_FALSE(failure.isEmpty());
        EXPECT_TRUE(PartialBackupsOf(c.archive).isEmpty());
        EXPECT_EQ(ReadAll(archive), QByteArray("older"));
    }
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files),
        (QStringList{QStringLiteral("DADOS.BKP"), QStringLiteral("ZURDADOS.ZIP")}));
}
