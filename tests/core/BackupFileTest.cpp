// What the program reads and does to a backup file on this machine, and how
// a restore's output tells how the restore ended. (Real backups of every
// page size are read in the runs' tests against the server.)

#include "core/BackupFile.h"
#include "core/BackupNaming.h"
#include "core/RestoreOutput.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString WriteBytes(const QTemporaryDir& dir, const char* name, const QByteArray& bytes)
{
    const QString path = dir.path() + u'/' + QLatin1String(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

// A backup's head: the backup program's record (format, date, file name),
// then the physical database record with the dialect and the page size.
QByteArray Header(const QByteArray& pageSizeAttribute)
{
    QByteArray bytes;
    bytes.append('\0'); // the backup program's record
    bytes.append("\x02\x04\x0a\x00\x00\x00", 6); // format 10
    bytes.append('\x07').append(char(15)).append("/tmp/x/p8.fdb12"); // file name
    bytes.append('\x01').append(char(24)).append("Thu Dec 10 12:47:38 2026"); // date
    bytes.append('\0'); // end of record
    bytes.append('\x0e'); // physical database
    bytes.append("\x0e\x04\x03\x00\x00\x00", 6); // dialect 3
    bytes.append(pageSizeAttribute);
    bytes.append("\x08\x04\x20\x4e\x00\x00", 6); // sweep interval
    bytes.append('\0');
    return bytes;
}

} // namespace

TEST(BackupFile, PageSizeFromTheHeader)
{
    QTemporaryDir dir;
    const struct {
        const char* name;
        QByteArray bytes;
        int pageSize;
    } cases[] = {
        {"p8.fbk", Header(QByteArray("\x05\x04\x00\x20\x00\x00", 6)), 8192},
        {"p16.fbk", Header(QByteArray("\x05\x04\x00\x40\x00\x00", 6)), 16384},
        {"p4.fbk", Header(QByteArray("\x05\x04\x00\x10\x00\x00", 6)), 4096},
        {"no-page-size.fbk", Header(QByteArray()), 0},
        {"not-a-power.fbk", Header(QByteArray("\x05\x04\x00\x21\x00\x00", 6)), 0},
        {"cut.fbk", Header(QByteArray("\x05\x04\x00\x20\x00\x00", 6)).left(40), 0},
        {"empty.fbk", QByteArray(), 0},
        {"text.fbk", QByteArray("PK\x03\x04 not a backup at all"), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BackupPageSize(WriteBytes(dir, c.name, c.bytes)), c.pageSize) << c.name;
    EXPECT_EQ(BackupPageSize(dir.path() + QStringLiteral("/none.fbk")), 0);
    EXPECT_EQ(BackupPageSize(dir.path()), 0);
}

TEST(BackupFile, ARestoreNeverMakesPagesSmaller)
{
    const std::pair<int, int> cases[]
        = {{0, 0}, {1024, 4096}, {2048, 4096}, {4096, 4096}, {8192, 8192}, {16384, 16384}, {32768, 32768}};
    for (const auto& [database, restored] : cases)
        EXPECT_EQ(RestorePageSize(database), restored) << database;
}

TEST(BackupFile, ReplaceFileReplacesOnlyWhenItCan)
{
    QTemporaryDir dir;
    const QString partial = WriteBytes(dir, "D.BKP.PARCIAL", "new");
    const QString final = WriteBytes(dir, "D.BKP", "old");
    EXPECT_EQ(PartialBackupName(final, QStringLiteral("m1")), final + QStringLiteral(".PARCIAL.m1"));
    EXPECT_EQ(ReplaceFile(partial, final), QString());
    QFile result(final);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.readAll(), "new");
    EXPECT_FALSE(QFile::exists(partial));
    // Nothing to move: a reason, and the file of the final name stays.
    EXPECT_FALSE(ReplaceFile(partial, final).isEmpty());
    EXPECT_TRUE(QFile::exists(final));
}

TEST(BackupFile, StampsTellAChangedFile)
{
    QTemporaryDir dir;
    const QString file = WriteBytes(dir, "A.BKP", "one");
    const TFileStamp before = FileStamp(file);
    EXPECT_EQ(FileStamp(file), before);
    WriteBytes(dir, "A.BKP", "other");
    EXPECT_FALSE(FileStamp(file) == before);
    EXPECT_EQ(FileStamp(dir.path() + QStringLiteral("/none")).size, -1);
}

TEST(ServerTargets, ConnectionStrings)
{
    const struct {
        TServiceTarget target;
        QString connection;
    } cases[] = {
        {{QString(), false}, "/d/x.fdb"},
        {{"localhost/3055", true}, "localhost/3055:/d/x.fdb"},
        {{"[::1]/3055", true}, "[::1]/3055:/d/x.fdb"},
        {{"dbserver", true}, "dbserver:/d/x.fdb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DatabaseConnectionString(c.target, QStringLiteral("/d/x.fdb")), c.connection);
    // The restore's rule gives the service and the checks one target.
    EXPECT_EQ(RestoreServiceTarget(QStringLiteral("localhost/3055:")), (TServiceTarget{"localhost/3055", true}));
    EXPECT_EQ(RestoreServiceTarget(QStringLiteral("127.0.0.1/3055")), (TServiceTarget{"127.0.0.1/3055", true}));
    EXPECT_EQ(RestoreServiceTarget(QStringLiteral(":")), (TServiceTarget{QString(), false}));
}

TEST(RestoreOutput, TellsACutShortBackupFromARestoreTheServerCouldNotFinish)
{
    TRestoreOutput cut;
    cut.Add({"gbak:opened file /b.fbk ", "gbak:restoring data for table T "});
    cut.Add({""});
    EXPECT_FALSE(cut.Finished());
    EXPECT_TRUE(cut.Problems().isEmpty());

    TRestoreOutput index;
    index.Add({"gbak:cannot commit index IX ", "gbak: ERROR:unsuccessful metadata update ",
        "gbak: ERROR:    key size exceeds implementation restriction for index \"IX\" "});
    index.Add({"gbak:finishing, closing, and going home ", "gbak:adjusting the ONLINE and FORCED WRITES flags ",
        "gbak:Database is not online due to failure to activate one or more indices. ", ""});
    EXPECT_TRUE(index.Finished());
    EXPECT_EQ(index.Problems(),
        (QStringList{"gbak: ERROR:unsuccessful metadata update",
            "gbak: ERROR:    key size exceeds implementation restriction for index \"IX\"",
            "gbak:Database is not online due to failure to activate one or more indices."}));
}
