// The command line against a server on another machine, as a scheduler starts
// it: the server is a private Firebird 3 in a network namespace of the test's
// own, which the program reaches at an address that is none of this
// machine's. There a restore over an existing database cannot swap files: the
// backup is tried on a scratch database first, then restored with Replace.

#include "ElsewhereServer.h"
#include "TestServer.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct TRun {
    int exitCode = -1;
    QString output;
    QString errors;
};

// Runs the program as the Task Scheduler or cron would: no display, its
// standard input closed, the password in the environment.
TRun RunProgram(const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("ZUR_PASSWORD"), testserver::Password());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setStandardInputFile(QProcess::nullDevice());
    program.start(QStringLiteral(ZUR_EXECUTABLE), arguments);
    EXPECT_TRUE(program.waitForStarted());
    if (!program.waitForFinished(120000)) {
        ADD_FAILURE() << "the program did not finish";
        program.kill();
        program.waitForFinished();
    }
    TRun run;
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.output = QString::fromUtf8(program.readAllStandardOutput());
    run.errors = QString::fromUtf8(program.readAllStandardError());
    return run;
}

QString Rows(const QString& table, int rows)
{
    return QStringLiteral("create table %1 (ID integer, NAME varchar(40));\ncommit;\nset term ^ ;\n"
                          "execute block as declare i integer = 0; begin while (i < %2) do begin\n"
                          "insert into %1 values (:i, 'linha ' || :i); i = i + 1; end end^\nset term ; ^\n")
        .arg(table)
        .arg(rows);
}

// The first number of isql's output; -1 when there is none.
long long Number(const QString& output)
{
    bool ok = false;
    for (const QString& word : output.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        const long long value = word.toLongLong(&ok);
        if (ok)
            return value;
    }
    return -1;
}

class CommandLineElsewhereTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<TElsewhereServer>();
        if (!server->Unavailable().isEmpty())
            GTEST_SKIP() << server->Unavailable().toStdString();
        ASSERT_TRUE(server->Running());
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // A folder of its own: the main test server never has these files open.
        folder = testserver::NewFolder(QStringLiteral("cli-elsewhere-") + QString::fromLatin1(info->name()));
    }

    QStringList FilesIn(const QString& path) const { return QDir(path).entryList(QDir::Files, QDir::Name); }

    std::unique_ptr<TElsewhereServer> server;
    QString folder;
};

} // namespace

TEST_F(CommandLineElsewhereTest, ABackupOfADatabaseThereLandsInTheFolder)
{
    const QString database = folder + QStringLiteral("DADOS.FDB");
    const QString destination = folder + QStringLiteral("backups/");
    const QString todays
        = destination + QStringLiteral("DADOS") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) + ".BKP";
    server->CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 30));
    // The folder is on the server's machine: the program does not make it.
    ASSERT_TRUE(QDir().mkpath(destination));

    const TRun run = RunProgram({QStringLiteral("--backup"), QStringLiteral("--server"), server->ServerText(),
        QStringLiteral("--database"), database, QStringLiteral("--dest"), destination});

    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    // The server wrote it, at the path as it sees it.
    EXPECT_EQ(FilesIn(destination), QStringList{QFileInfo(todays).fileName()});
    EXPECT_GT(QFileInfo(todays).size(), 0);
    EXPECT_TRUE(run.output.contains(QLatin1String("gbak:    writing data for table CLIENTES")))
        << run.output.toStdString();
    EXPECT_TRUE(run.output.trimmed().endsWith(QStringLiteral("Backup realizado com sucesso !!! ") + todays))
        << run.output.toStdString();
    // The proof's scratch database is gone from beside the database.
    EXPECT_EQ(FilesIn(folder), QStringList{QStringLiteral("DADOS.FDB")});
}

TEST_F(CommandLineElsewhereTest, ARestoreOverADatabaseThereTriesTheBackupThenReplacesIt)
{
    const QString database = folder + QStringLiteral("DADOS.FDB");
    const QString other = folder + QStringLiteral("GRANDE.FDB");
    const QString backup = folder + QStringLiteral("GRANDE.FBK");
    const QString logFile = folder + QStringLiteral("restore.log");
    server->CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 30));
    server->CreateDatabase(other, Rows(QStringLiteral("GRANDE"), 12));
    server->Backup(other, backup);
    ASSERT_GT(QFileInfo(backup).size(), 0);

    const TRun run = RunProgram({QStringLiteral("--restore"), backup, QStringLiteral("--server"), server->ServerText(),
        QStringLiteral("--database"), database, QStringLiteral("--log"), logFile});

    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_EQ(server->CountRows(database, QStringLiteral("GRANDE")), 12);
    EXPECT_EQ(Number(server->Isql(database,
                  QStringLiteral("select count(*) from rdb$relations where rdb$relation_name = 'CLIENTES';\n"))),
        0);
    EXPECT_EQ(Number(server->Isql(database, QStringLiteral("select mon$shutdown_mode from mon$database;\n"))), 0);

    QFile log(logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    // The road of a server elsewhere: the trial, then the replace, each with
    // the server's own lines.
    const qsizetype trial = text.indexOf(QStringLiteral("Verificando o backup antes de substituir a base de dados..."));
    const qsizetype replace = text.indexOf(QStringLiteral("Restaurando o backup por cima de %1: neste servidor a "
                                                          "restauração apaga a base de dados antes de ler o backup.")
                                               .arg(database));
    ASSERT_GE(trial, 0) << text.toStdString();
    ASSERT_GT(replace, trial) << text.toStdString();
    const QString restoring = QStringLiteral("gbak:restoring data for table GRANDE");
    EXPECT_GT(text.indexOf(restoring, trial), trial) << text.toStdString();
    EXPECT_GT(text.indexOf(restoring, replace), replace) << text.toStdString();
    // No scratch database left beside it.
    QStringList expected
        = {QStringLiteral("DADOS.FDB"), QStringLiteral("GRANDE.FBK"), QStringLiteral("GRANDE.FDB"), "restore.log"};
    EXPECT_EQ(FilesIn(folder), expected);
}

// Whether a database is there is the server's to say: without --create a
// path where it has none is refused, with nothing made; with it, the backup
// becomes a new database there.
TEST_F(CommandLineElsewhereTest, ARestoreToAPathWhereTheServerHasNoDatabaseCreatesOneOnlyWhenAsked)
{
    const QString source = folder + QStringLiteral("GRANDE.FDB");
    const QString backup = folder + QStringLiteral("GRANDE.FBK");
    const QString created = folder + QStringLiteral("NOVA.FDB");
    server->CreateDatabase(source, Rows(QStringLiteral("GRANDE"), 12));
    server->Backup(source, backup);
    const QStringList restore = {QStringLiteral("--restore"), backup, QStringLiteral("--server"), server->ServerText(),
        QStringLiteral("--database"), created};

    const TRun refused = RunProgram(restore);

    EXPECT_EQ(refused.exitCode, 2) << refused.output.toStdString() << refused.errors.toStdString();
    EXPECT_TRUE(refused.errors.startsWith(
        QStringLiteral("A base de dados %1 não existe no servidor %2. ").arg(created, server->ServerText())))
        << refused.errors.toStdString();
    EXPECT_EQ(refused.output, QString());
    EXPECT_EQ(FilesIn(folder), (QStringList{QStringLiteral("GRANDE.FBK"), QStringLiteral("GRANDE.FDB")}));

    const TRun made = RunProgram(restore + QStringList{QStringLiteral("--create")});

    ASSERT_EQ(made.exitCode, 0) << made.output.toStdString() << made.errors.toStdString();
    EXPECT_EQ(server->CountRows(created, QStringLiteral("GRANDE")), 12);
}
