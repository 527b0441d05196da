// The service objects against the private Firebird server: real backups and
// restores read to the end of their output, and the server's refusals.

#include "TestServer.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Errors.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* const SourceTables = "create table t (id integer, name varchar(20));\n"
                                 "insert into t values (1, 'um');\n"
                                 "insert into t values (2, 'dois');\n"
                                 "insert into t values (3, 'tres');\n";

// The server's address as the service objects take it: no trailing ":".
QString ServerName()
{
    QString name = testserver::ServerText();
    name.chop(1);
    return name;
}

void Prepare(TIBCustomService& service, const QString& password = testserver::Password())
{
    service.SetLoginPrompt(false);
    service.SetServerName(ServerName());
    service.SetProtocol(TCP);
    service.SetParams({"user_name=" + testserver::User(), "password=" + password});
}

// Every output line up to the end; stops (and fails) after far more lines than
// the small test databases give.
QStringList ReadToEof(TIBControlAndQueryService& service)
{
    QStringList lines;
    while (!service.Eof()) {
        lines << service.GetNextLine();
        if (lines.size() > 100000) {
            ADD_FAILURE() << "no end of output";
            break;
        }
    }
    return lines;
}

// How a reading asks for the output: in bulk or one line per query, and the
// size of its reply buffer.
struct TReading {
    bool bulk = true;
    int bufferSize = 32000;
};

void Configure(TIBControlAndQueryService& service, const TReading& reading)
{
    service.SetBulkOutput(reading.bulk);
    service.SetBufferSize(reading.bufferSize);
}

QStringList Backup(const QString& database, const QString& backupFile, const TReading& reading = {})
{
    TIBBackupService backup;
    Prepare(backup);
    Configure(backup, reading);
    backup.SetDatabaseName(database);
    backup.SetBackupFile({backupFile});
    backup.SetVerbose(true);
    backup.Attach();
    backup.ServiceStart();
    const QStringList lines = ReadToEof(backup);
    backup.Detach();
    return lines;
}

QStringList Restore(const QString& backupFile, const QString& database, const TReading& reading = {})
{
    TIBRestoreService restore;
    Prepare(restore);
    Configure(restore, reading);
    restore.SetOptions({TRestoreOption::Replace, TRestoreOption::CreateNewDB});
    restore.SetBackupFile({backupFile});
    restore.SetDatabaseName({database});
    restore.SetVerbose(true);
    restore.Attach();
    restore.ServiceStart();
    const QStringList lines = ReadToEof(restore);
    restore.Detach();
    return lines;
}

} // namespace

TEST(ServicesServer, VerboseBackupReadsToEofAndRestores)
{
    const QString folder = testserver::NewFolder(QStringLiteral("services-backup"));
    const QString source = folder + QStringLiteral("source.fdb");
    testserver::CreateDatabase(source, QString::fromLatin1(SourceTables));
    const QString backupFile = folder + QStringLiteral("SOURCE.BKP");

    const QStringList lines = Backup(source, backupFile);
    // Lines, then the empty string that ended the output.
    ASSERT_GT(lines.size(), 10);
    EXPECT_TRUE(lines.last().isEmpty());
    for (int i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_FALSE(lines[i].isEmpty()) << "line " << i;
        EXPECT_TRUE(lines[i].endsWith(u' ')) << lines[i].toStdString();
        EXPECT_FALSE(lines[i].endsWith(QLatin1String("  "))) << lines[i].toStdString();
    }
    EXPECT_TRUE(lines.join(u'\n').contains(QLatin1String("gbak:"))) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(QFileInfo(backupFile).isFile());
    EXPECT_GT(QFileInfo(backupFile).size(), 0);

    const QString restored = folder + QStringLiteral("restored.fdb");
    const QStringList restoreLines = Restore(backupFile, restored);
    EXPECT_GT(restoreLines.size(), 10);
    EXPECT_EQ(testserver::CountRows(restored, QStringLiteral("t")), 3);
}

namespace {

// A database of the source tables and 40 more made from tableSql (with %1
// for the table's number), then more SQL: output enough for several replies.
void CreateWithManyTables(const QString& path, const QString& tableSql, const QString& more = QString())
{
    QString tables = QString::fromLatin1(SourceTables);
    for (int i = 0; i < 40; ++i)
        tables += tableSql.arg(i);
    testserver::CreateDatabase(path, tables + more);
}

} // namespace

// The same backup and restore read in bulk (with the default buffer, and with
// one so small that lines are cut across replies) and one line per query
// give the same lines, byte for byte.
TEST(ServicesServer, BulkReadingGivesTheLinesOfTheLinePerQueryReading)
{
    const QString folder = testserver::NewFolder(QStringLiteral("services-bulk"));
    const QString source = folder + QStringLiteral("source.fdb");
    CreateWithManyTables(source,
        QStringLiteral("create table table_with_a_long_name_%1 (id integer not null primary key, "
                       "description varchar(60), amount numeric(15,2));\n"));

    // The same file names each time: the lines name them.
    const QString backupFile = folder + QStringLiteral("SOURCE.BKP");
    const QString restored = folder + QStringLiteral("restored.fdb");
    const TReading readings[] = {{false, 32000}, {true, 32000}, {true, 100}};
    std::vector<std::string> backups, restores;
    for (const TReading& reading : readings) {
        backups.push_back(Backup(source, backupFile, reading).join(u'\n').toStdString());
        restores.push_back(Restore(backupFile, restored, reading).join(u'\n').toStdString());
    }
    // Enough output for several small replies.
    ASSERT_GT(backups[0].size(), 2000u);
    ASSERT_GT(restores[0].size(), 2000u);
    for (size_t i = 1; i < backups.size(); ++i) {
        SCOPED_TRACE(readings[i].bufferSize);
        EXPECT_EQ(backups[i], backups[0]);
        EXPECT_EQ(restores[i], restores[0]);
    }
    EXPECT_EQ(testserver::CountRows(restored, QStringLiteral("t")), 3);
}

// A restore that fails half-way (its backup file damaged in the middle): read
// in bulk, it gives the lines of the line-per-query reading (and the lines
// that came with the failure, which that reading loses) and then the same
// failure.
TEST(ServicesServer, BulkReadingOfARestoreThatFails)
{
    const QString folder = testserver::NewFolder(QStringLiteral("services-bulk-failure"));
    const QString source = folder + QStringLiteral("source.fdb");
    CreateWithManyTables(source,
        QStringLiteral("create table tab_%1 (id integer not null primary key, d varchar(60));\n"),
        QStringLiteral("commit;\ninsert into tab_1 select rdb$relation_id, rdb$relation_name from rdb$relations;\n"));
    const QString backupFile = folder + QStringLiteral("SOURCE.BKP");
    Backup(source, backupFile);
    QFile file(backupFile);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(file.size() / 2));
    file.write(QByteArray(200, '\x55'));
    file.close();

    // Each reading restores into a database of its own: a failed restore
    // leaves its database behind, held for a while.
    const auto failingRestore = [&](const TReading& reading, const QString& database, QStringList& lines) {
        TIBRestoreService restore;
        Prepare(restore);
        Configure(restore, reading);
        restore.SetOptions({TRestoreOption::Replace, TRestoreOption::CreateNewDB});
        restore.SetBackupFile({backupFile});
        restore.SetDatabaseName({database});
        restore.SetVerbose(true);
        restore.Attach();
        try {
            restore.ServiceStart();
            while (!restore.Eof() && lines.size() < 100000)
                lines << restore.GetNextLine();
        } catch (const EIBInterBaseError& e) {
            EXPECT_FALSE(restore.Active());
            return e.Message();
        }
        ADD_FAILURE() << "the restore of a damaged file ran to its end";
        return QString();
    };
    QStringList byQuery, inBulk;
    const QString byQueryDatabase = folder + QStringLiteral("restored1.fdb");
    const QString inBulkDatabase = folder + QStringLiteral("restored2.fdb");
    const QString queryFailure = failingRestore({false, 32000}, byQueryDatabase, byQuery);
    const QString bulkFailure = failingRestore({true, 65535}, inBulkDatabase, inBulk);
    // The lines name the database.
    inBulk.replaceInStrings(testserver::ServerFileName(inBulkDatabase), testserver::ServerFileName(byQueryDatabase));
    EXPECT_FALSE(queryFailure.isEmpty());
    EXPECT_EQ(bulkFailure.toStdString(), queryFailure.toStdString());
    ASSERT_GT(byQuery.size(), 10);
    ASSERT_GE(inBulk.size(), byQuery.size());
    EXPECT_EQ(inBulk.mid(0, byQuery.size()).join(u'\n').toStdString(), byQuery.join(u'\n').toStdString());
    std::printf("restore of a damaged file: %lld lines read in bulk, %lld one per query\n",
        static_cast<long long>(inBulk.size()), static_cast<long long>(byQuery.size()));
}

TEST(ServicesServer, RestoreReplacesAnExistingDatabase)
{
    const QString folder = testserver::NewFolder(QStringLiteral("services-replace"));
    const QString source = folder + QStringLiteral("source.fdb");
    const QString target = folder + QStringLiteral("target.fdb");
    testserver::CreateDatabase(source, QString::fromLatin1(SourceTables));
    testserver::CreateDatabase(target, QStringLiteral("create table other (x integer);\n"));
    const QString backupFile = folder + QStringLiteral("SOURCE.BKP");
    Backup(source, backupFile);

    Restore(backupFile, target);
    EXPECT_EQ(testserver::CountRows(target, QStringLiteral("t")), 3);
}

TEST(ServicesServer, WrongPasswordFailsAtAttach)
{
    TIBBackupService backup;
    Prepare(backup, QStringLiteral("not-the-password"));
    try {
        backup.Attach();
        FAIL() << "attached with a wrong password";
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(e.Message(),
            QStringLiteral("Your user name and password are not defined. Ask your database "
                           "administrator to set up a Firebird login"));
        EXPECT_EQ(e.IBErrorCode(), 335544472);
    }
    EXPECT_FALSE(backup.Active());
    EXPECT_EQ(backup.Handle(), gds::Handle{});
}

TEST(ServicesServer, BackupOfMissingDatabaseReportsTheServerFailure)
{
    const QString folder = testserver::NewFolder(QStringLiteral("services-missing"));
    const QString missing = folder + QStringLiteral("missing.fdb");
    TIBBackupService backup;
    Prepare(backup);
    backup.SetDatabaseName(missing);
    backup.SetBackupFile({folder + QStringLiteral("MISSING.BKP")});
    backup.SetVerbose(true);
    backup.Attach();
    try {
        // The server refuses at the start or at the first output query.
        backup.ServiceStart();
        ReadToEof(backup);
        FAIL() << "the backup of a missing database ran to its end";
    } catch (const EIBInterBaseError& e) {
        EXPECT_TRUE(e.Message().contains(QLatin1String("I/O error during \"open\" operation for file")))
            << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(testserver::ServerFileName(missing))) << e.Message().toStdString();
    }
    EXPECT_FALSE(backup.Active());
    EXPECT_EQ(backup.Handle(), gds::Handle{});
    EXPECT_THROW(backup.Detach(), EIBClientError);
}
