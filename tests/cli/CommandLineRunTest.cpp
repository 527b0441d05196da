// The program's command line as a scheduler starts it: the executable as a
// process of its own, with no display, no terminal and its standard input
// closed, against the private server. Its exit code, its lines, its log file,
// and what it leaves in the backup folder.

#include "SmallVolume.h"
#include "TestServer.h"

#include "core/AppPaths.h"
#include "core/BackupArchive.h"
#include "core/BackupFile.h"
#include "core/RunLock.h"
#include "ibclient/Database.h"
#include "ibclient/StringList.h"
#include "runs/RestoreRoad.h"
#include "runs/RestoreSteps.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// Text as lines end on this machine, without the byte-order mark that starts
// a log file on Windows.
QString Text(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

struct TRun {
    int exitCode = -1;
    QString output;
    QString errors;
};

// Runs the program with arguments, as the Task Scheduler or cron would (or
// another program, with its own arguments, that runs it).
TRun RunProgram(const QStringList& arguments, const QString& password = testserver::Password(),
    const QString& runner = QString(), const QStringList& runnerArguments = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("ZUR_PASSWORD"), password);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setStandardInputFile(QProcess::nullDevice());
    if (runner.isEmpty())
        program.start(QStringLiteral(ZUR_EXECUTABLE), arguments);
    else
        program.start(runner, runnerArguments);
    EXPECT_TRUE(program.waitForStarted());
    EXPECT_TRUE(program.waitForFinished(300000));
    TRun run;
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.output = Text(program.readAllStandardOutput());
    run.errors = Text(program.readAllStandardError());
    return run;
}

// Runs the program as cron runs it: an environment of PATH alone (and the
// client library that the test rig names, where it names one), the working
// folder "/", no display, standard input closed.
TRun RunScheduled(const QStringList& arguments)
{
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment environment;
    for (const char* name : {"PATH", "ZUR_CLIENT_LIBRARY", "ZUR_BRIDGE_MARKS", "SystemRoot", "WINDIR"}) {
        if (system.contains(QString::fromLatin1(name)))
            environment.insert(QString::fromLatin1(name), system.value(QString::fromLatin1(name)));
    }
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QStringLiteral("/"));
    program.setStandardInputFile(QProcess::nullDevice());
    program.start(QStringLiteral(ZUR_EXECUTABLE), arguments);
    EXPECT_TRUE(program.waitForStarted());
    EXPECT_TRUE(program.waitForFinished(300000));
    TRun run;
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.output = Text(program.readAllStandardOutput());
    run.errors = Text(program.readAllStandardError());
    return run;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString Rows(const QString& table, int rows)
{
    return QStringLiteral("create table %1 (ID integer, NAME varchar(40));\ncommit;\nset term ^ ;\n"
                          "execute block as declare i integer = 0; begin while (i < %2) do begin\n"
                          "insert into %1 values (:i, 'linha ' || :i); i = i + 1; end end^\nset term ; ^\n")
        .arg(table)
        .arg(rows);
}

// The progress lines of a run's standard output.
QStringList ProgressLines(const QString& output)
{
    return output.split(u'\n').filter(QRegularExpression(QStringLiteral("^Progresso: ")));
}

QString Stamp(const QDate& date)
{
    return date.toString(QStringLiteral("yyyyMMdd"));
}

// A log's lines without the time each starts with; a line without its time
// fails the test.
const QRegularExpression TimedLine(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d (.*)$"));
QStringList Untimed(const QString& log)
{
    QStringList lines = log.split(u'\n');
    EXPECT_EQ(lines.takeLast(), QString()) << "the log's last line has no end";
    for (QString& line : lines) {
        const QRegularExpressionMatch match = TimedLine.match(line);
        EXPECT_TRUE(match.hasMatch()) << line.toStdString();
        line = match.captured(1);
    }
    return lines;
}

// The percent of each progress line.
QList<int> Percentages(const QStringList& lines)
{
    QList<int> percentages;
    for (const QString& line : lines)
        percentages << QRegularExpression(QStringLiteral("^Progresso: (\\d+)%")).match(line).captured(1).toInt();
    return percentages;
}

class CommandLineRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = testserver::NewFolder(QStringLiteral("cli-") + QString::fromLatin1(info->name()));
        database = folder + QStringLiteral("DADOS.FDB");
        destination = folder + QStringLiteral("backups") + PathSeparator();
        QDir().mkpath(destination);
        todays = destination + QStringLiteral("DADOS") + Stamp(QDate::currentDate()) + QStringLiteral(".BKP");
        // Beside none of the run's files, which the tests count.
        passwordFile = secrets.filePath(QStringLiteral("senha"));
        WriteFile(passwordFile, testserver::Password().toUtf8() + "\n");
    }

    QStringList Backup(const QStringList& more = {}) const
    {
        return QStringList{QStringLiteral("--backup"), QStringLiteral("--server"), testserver::ServerText(),
                   QStringLiteral("--database"), database, QStringLiteral("--dest"), destination}
        + more;
    }

    // Backup() as a scheduler's line gives it: the password from a file.
    QStringList Scheduled(const QStringList& more = {}) const
    {
        return Backup({QStringLiteral("--password-file"), passwordFile}) + more;
    }

    // The one log file of today's runs in the default folder.
    QString LogText() const
    {
        const QStringList logs = QDir(destination + QStringLiteral("logs"))
                                     .entryList(QDir::Files)
                                     .filter(QStringLiteral("-") + Stamp(QDate::currentDate()) + u'-');
        EXPECT_EQ(logs.size(), 1) << logs.join(u' ').toStdString();
        return logs.isEmpty() ? QString() : Text(ReadFile(destination + QStringLiteral("logs/") + logs.first()));
    }

    QStringList FilesIn(const QString& path) const { return QDir(path).entryList(QDir::Files, QDir::Name); }

    QString folder;
    QString database;
    QString destination;
    QString todays;
    QTemporaryDir secrets;
    QString passwordFile;
};

} // namespace

TEST_F(CommandLineRunTest, AScheduledRunMakesAProvedBackupAndItsLog)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 500));

    const TRun run = RunProgram(Backup({QStringLiteral("--progress")}));

    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_TRUE(run.errors.isEmpty()) << run.errors.toStdString();
    EXPECT_EQ(FilesIn(destination), QStringList{QFileInfo(todays).fileName()});
    EXPECT_GT(QFileInfo(todays).size(), 0);
    // The lines as the window's log shows them: the server's own, and the proof.
    EXPECT_TRUE(run.output.startsWith(QStringLiteral("Aguarde... Conectando ao servidor...\n")));
    EXPECT_TRUE(run.output.contains(QLatin1String("gbak:    writing data for table CLIENTES")));
    EXPECT_TRUE(run.output.contains(QStringLiteral("Verificando o backup: restaurando-o numa base de teste...")));
    EXPECT_TRUE(run.output.trimmed().endsWith(QStringLiteral("Backup realizado com sucesso !!! ") + todays));
    // The log: its header, the same lines, each after its time, then the
    // size and the outcome with the time taken.
    const QStringList log = Untimed(LogText());
    ASSERT_GE(log.size(), 10);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("======== Z.U.R. - Assistente de Backup "))) << log[0].toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Base de dados: ") + database));
    EXPECT_TRUE(log.contains(QStringLiteral("Servidor: ") + testserver::ServerText()));
    EXPECT_TRUE(log.contains(QStringLiteral("Backup: ") + todays));
    EXPECT_TRUE(log.contains(QStringLiteral("Senha: da variável ZUR_PASSWORD")));
    // (The server's empty lines as well.)
    QStringList runLines = run.output.split(u'\n').filter(QRegularExpression(QStringLiteral("^(?!Progresso: )")));
    EXPECT_EQ(runLines.takeLast(), QString());
    const auto first = log.indexOf(runLines.first());
    ASSERT_GT(first, 0);
    EXPECT_EQ(log.mid(first, runLines.size()), runLines);
    EXPECT_EQ(
        log.at(log.size() - 2), QStringLiteral("Tamanho de %1: %2 bytes").arg(todays).arg(QFileInfo(todays).size()));
    const QRegularExpressionMatch closing = QRegularExpression(
        QStringLiteral("^Resultado: código de saída 0 \\(concluído\\), tempo decorrido: ([0-9.]+) s$"))
                                                .match(log.last());
    ASSERT_TRUE(closing.hasMatch()) << log.last().toStdString();
    // No scratch database of the proof is left beside the database.
    EXPECT_EQ(FilesIn(folder), QStringList{QStringLiteral("DADOS.FDB")});

    // The progress on the console only, at most once a second, its end just
    // before the final line.
    const QStringList lines = run.output.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines.at(lines.size() - 2).startsWith(QStringLiteral("Progresso: 100% — concluído em ")))
        << lines.at(lines.size() - 2).toStdString();
    EXPECT_LE(ProgressLines(run.output).size(), static_cast<qsizetype>(closing.captured(1).toDouble()) + 2);
    EXPECT_FALSE(log.join(u'\n').contains(QLatin1String("Progresso")));

    // As cron runs it, quiet: nothing at all on standard output, nothing on
    // standard error; the log holds the server's lines all the same.
    const TRun quiet = RunScheduled(Scheduled({QStringLiteral("--quiet"), QStringLiteral("--log"), folder + "q.log"}));
    ASSERT_EQ(quiet.exitCode, 0) << quiet.errors.toStdString();
    EXPECT_EQ(quiet.output, QString());
    EXPECT_EQ(quiet.errors, QString());
    const QString quietLog = Text(ReadFile(folder + "q.log"));
    EXPECT_TRUE(quietLog.contains(QLatin1String("gbak:")));
    EXPECT_TRUE(quietLog.contains(QStringLiteral("Senha: do arquivo ") + passwordFile));
    EXPECT_FALSE(quietLog.contains(QLatin1String("Progresso")));
}

// Someone at a terminal sees the progress without asking, unless quiet.
TEST_F(CommandLineRunTest, AtATerminalTheProgressShowsUnlessQuiet)
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "no script(1) here to give the program a terminal";
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 500));
    for (bool quiet : {false, true}) {
        SCOPED_TRACE(quiet ? "quiet" : "not quiet");
        QStringList arguments = Backup({QStringLiteral("--log"), folder + QStringLiteral("terminal.log")});
        if (quiet)
            arguments << QStringLiteral("--quiet");
        QString command = QStringLiteral(ZUR_EXECUTABLE);
        for (const QString& argument : arguments)
            command += QStringLiteral(" '") + argument + u'\'';

        // The terminal shows standard output and standard error together.
        const TRun run = RunProgram(
            {}, testserver::Password(), script, {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});

        ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
        if (quiet) {
            EXPECT_EQ(run.output, QString());
        } else {
            EXPECT_FALSE(ProgressLines(run.output).isEmpty()) << run.output.toStdString();
            EXPECT_TRUE(run.output.contains(QStringLiteral("Backup realizado com sucesso !!! ") + todays));
        }
    }
}

TEST_F(CommandLineRunTest, KeepingThreeAfterFiveDaysLeavesTheNewestThree)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    const QDate today = QDate::currentDate();
    for (int day = 1; day <= 5; ++day)
        WriteFile(destination + QStringLiteral("DADOS") + Stamp(today.addDays(-day)) + QStringLiteral(".BKP"), "old");
    const QStringList untouched
        = {QStringLiteral("OUTRA") + Stamp(today.addDays(-9)) + QStringLiteral(".BKP"), QStringLiteral("notas.txt")};
    for (const QString& name : untouched)
        WriteFile(destination + name, "other");

    const TRun run = RunProgram(Backup({QStringLiteral("--keep"), QStringLiteral("3")}));

    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    QStringList expected = untouched
        + QStringList{QFileInfo(todays).fileName(), QStringLiteral("DADOS") + Stamp(today.addDays(-1)) + ".BKP",
            QStringLiteral("DADOS") + Stamp(today.addDays(-2)) + ".BKP"};
    expected.sort();
    EXPECT_EQ(FilesIn(destination), expected);
    const QString log = LogText();
    for (int day = 3; day <= 5; ++day)
        EXPECT_TRUE(log.contains(QStringLiteral("Backup antigo removido (--keep 3): ") + destination + "DADOS"
            + Stamp(today.addDays(-day)) + ".BKP"))
            << day;
}

TEST_F(CommandLineRunTest, WithZipTheProvedBackupGetsACompressedCopyThatKeepCountsWithIt)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 200));
    const QDate today = QDate::currentDate();
    // Two earlier days, each a backup and its compressed copy.
    for (int day = 1; day <= 2; ++day) {
        WriteFile(destination + QStringLiteral("DADOS") + Stamp(today.addDays(-day)) + QStringLiteral(".BKP"), "old");
        WriteFile(
            destination + QStringLiteral("ZURDADOS") + Stamp(today.addDays(-day)) + QStringLiteral(".ZIP"), "old");
    }

    const TRun run = RunProgram(Backup({QStringLiteral("--zip"), QStringLiteral("--keep"), QStringLiteral("2")}));

    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    const QString archive = destination + QStringLiteral("ZURDADOS") + Stamp(today) + QStringLiteral(".ZIP");
    EXPECT_TRUE(run.output.contains(QStringLiteral("Arquivo compactado gravado e conferido: ") + archive));
    // The archive holds the proved backup, byte for byte.
    QTemporaryDir out;
    const TExtraction extraction = ExtractBackup(archive, out.path() + QDir::separator());
    ASSERT_EQ(extraction.refusal, QString());
    EXPECT_EQ(extraction.entry, QFileInfo(todays).fileName());
    EXPECT_EQ(ReadFile(extraction.file.Path()), ReadFile(todays));
    // Today's pair and yesterday's stay; the day before goes, both files.
    QStringList expected = {QFileInfo(todays).fileName(), QFileInfo(archive).fileName(),
        QStringLiteral("DADOS") + Stamp(today.addDays(-1)) + ".BKP",
        QStringLiteral("ZURDADOS") + Stamp(today.addDays(-1)) + ".ZIP"};
    expected.sort();
    EXPECT_EQ(FilesIn(destination), expected);
}

// An old backup that cannot go: the new one is proved and in place, and the
// exit code says that something after it failed.
TEST_F(CommandLineRunTest, AnOldBackupThatCannotGoEndsWithThree)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    const QDate today = QDate::currentDate();
    const QString stuck = destination + QStringLiteral("DADOS") + Stamp(today.addDays(-2)) + QStringLiteral(".BKP");
    const QString goes = destination + QStringLiteral("DADOS") + Stamp(today.addDays(-1)) + QStringLiteral(".BKP");
    WriteFile(stuck, "old");
    WriteFile(goes, "old");
    // Not even root removes an immutable file.
    if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), stuck}) != 0)
        GTEST_SKIP() << "no immutable files here";

    const TRun run = RunProgram(Backup({QStringLiteral("--keep"), QStringLiteral("1")}));

    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), stuck});
    EXPECT_EQ(run.exitCode, 3) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_TRUE(QFileInfo(todays).size() > 0);
    EXPECT_FALSE(QFile::exists(goes));
    EXPECT_TRUE(run.output.contains(QStringLiteral("O backup antigo %1 não pôde ser removido").arg(stuck)));
    EXPECT_TRUE(run.errors.contains(QStringLiteral("está verificado e no lugar"))) << run.errors.toStdString();
    EXPECT_TRUE(LogText().contains(QStringLiteral("Resultado: código de saída 3")));
}

// Each failure leaves this morning's backup as it was, says so on standard
// error and in the log, and ends with exit code 1.
TEST_F(CommandLineRunTest, FailuresLeaveTheMorningsBackupAndEndWithOne)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    // A port beside the server's, where nothing listens.
    const int downPort = QStringView(testserver::ServerText()).mid(10).chopped(1).toInt() + 711;
    struct TCase {
        const char* name;
        QStringList more;
        QString password;
        const char* says;
    };
    const std::vector<TCase> cases = {
        {"wrong password", {}, QStringLiteral("errada"), "Your user name and password are not defined"},
        {"server down", {QStringLiteral("--server"), QStringLiteral("localhost/%1:").arg(downPort)},
            testserver::Password(), "Unable to complete network request"},
        {"database missing", {QStringLiteral("--database"), folder + QStringLiteral("NENHUMA.FDB")},
            testserver::Password(), "NENHUMA.FDB"},
    };
    for (const TCase& failure : cases) {
        SCOPED_TRACE(failure.name);
        WriteFile(todays, "this morning's backup");
        const QString logFile = folder + QString::fromLatin1(failure.name).replace(u' ', u'-') + ".log";

        const TRun run
            = RunProgram(Backup(failure.more + QStringList{QStringLiteral("--log"), logFile}), failure.password);

        EXPECT_EQ(run.exitCode, 1) << run.output.toStdString() << run.errors.toStdString();
        EXPECT_EQ(ReadFile(todays), QByteArray("this morning's backup"));
        EXPECT_EQ(FilesIn(destination), QStringList{QFileInfo(todays).fileName()});
        EXPECT_TRUE(run.errors.contains(QString::fromLatin1(failure.says))) << run.errors.toStdString();
        const QString log = Text(ReadFile(logFile));
        // The final line; standard error may say more (an event log that could not be written).
        EXPECT_TRUE(log.contains(run.errors.section(u'\n', 0, 0))) << log.toStdString() << run.errors.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("Resultado: código de saída 1")));
    }
    EXPECT_EQ(FilesIn(folder).filter(QStringLiteral(".FDB")), QStringList{QStringLiteral("DADOS.FDB")});
}

// Every failure of either road, as cron runs it with --quiet: standard
// output stays empty, standard error tells the reason (the server's words or
// the program's, the lines the log holds) and then the final line, and the
// exit code is 1.
TEST_F(CommandLineRunTest, EachFailureTellsItsReasonOnStandardErrorAndEndsWithOne)
{
    // Enough rows that half of the backup ends inside the data.
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 120000));
    ASSERT_EQ(RunProgram(Backup()).exitCode, 0);
    const QString half = folder + QStringLiteral("METADE.BKP");
    WriteFile(half, ReadFile(todays).left(QFileInfo(todays).size() / 2));
    const QString wrong = folder + QStringLiteral("senha-errada");
    WriteFile(wrong, "errada\n");
    const int downPort = QStringView(testserver::ServerText()).mid(10).chopped(1).toInt() + 711;
    const QString down = QStringLiteral("localhost/%1:").arg(downPort);
    const auto restore = [&](const QString& backup, const QString& server, const QString& secret) {
        return QStringList{QStringLiteral("--restore"), backup, QStringLiteral("--server"), server,
            QStringLiteral("--database"), database, QStringLiteral("--password-file"), secret};
    };
    const QString backupFailed = QStringLiteral("Ocorreram problemas e o Backup não foi realizado! Erro: ");
    const QString connectionFailed = QStringLiteral("Problema ao conectar no banco de dados! Mensagem original : ");
    const QString restoreFailed = QStringLiteral("Ocorreram problemas e o Backup não foi restaurado!!!");
    struct TCase {
        const char* name;
        QStringList arguments;
        bool databaseInUse;
        const char* says;
        QString finalLine;
    };
    const std::vector<TCase> cases = {
        {"backup, wrong password", Backup({QStringLiteral("--password-file"), wrong}), false,
            "Your user name and password are not defined", connectionFailed},
        {"backup, server down", Scheduled({QStringLiteral("--server"), down}), false,
            "Unable to complete network request", connectionFailed},
        {"backup, database missing", Scheduled({QStringLiteral("--database"), folder + QStringLiteral("NENHUMA.FDB")}),
            false, "NENHUMA.FDB", QStringLiteral("Banco de Dados não encontrado: ")},
        {"restore, wrong password", restore(todays, testserver::ServerText(), wrong), false,
            "Your user name and password are not defined", restoreFailed},
        {"restore, server down", restore(todays, down, passwordFile), false, "Unable to complete network request",
            restoreFailed},
        {"restore, database in use", restore(todays, testserver::ServerText(), passwordFile), true, "está em uso",
            restoreFailed},
        {"restore, incomplete backup", restore(half, testserver::ServerText(), passwordFile), false,
            "O backup escolhido está incompleto. A base de dados não foi substituída!", restoreFailed},
    };
    for (const TCase& failure : cases) {
        SCOPED_TRACE(failure.name);
        const QString logFile
            = folder + QString::fromLatin1(failure.name).replace(QRegularExpression("\\W+"), "-") + ".log";
        TIBDatabase user;
        if (failure.databaseInUse) {
            user.SetLoginPrompt(false);
            user.Params().Add(QStringLiteral("User_Name=") + testserver::User());
            user.Params().Add(QStringLiteral("Password=") + testserver::Password());
            user.SetDatabaseName(testserver::ServerText() + database);
            user.SetConnected(true);
        }

        const TRun run = RunScheduled(
            failure.arguments + QStringList{QStringLiteral("--quiet"), QStringLiteral("--log"), logFile});

        user.SetConnected(false);
        EXPECT_EQ(run.exitCode, 1) << run.errors.toStdString();
        EXPECT_EQ(run.output, QString());
        EXPECT_TRUE(run.errors.contains(QString::fromUtf8(failure.says))) << run.errors.toStdString();
        const QStringList errors = run.errors.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(errors.isEmpty());
        // The final line comes last (a server's message in it may take
        // several lines).
        const auto final = run.errors.lastIndexOf(failure.finalLine);
        EXPECT_TRUE(final == 0 || (final > 0 && run.errors[final - 1] == u'\n')) << run.errors.toStdString();
        // The restore's final line names no reason: the lines before it do.
        if (failure.finalLine == restoreFailed) {
            EXPECT_EQ(errors.last(), restoreFailed);
            EXPECT_GE(errors.size(), 2) << run.errors.toStdString();
        }
        // Standard error says nothing that the log does not hold.
        const QStringList log = Untimed(Text(ReadFile(logFile)));
        for (const QString& line : errors)
            EXPECT_TRUE(log.contains(line)) << line.toStdString();
        EXPECT_TRUE(log.last().startsWith(QStringLiteral("Resultado: código de saída 1 (falhou), tempo decorrido: ")))
            << log.last().toStdString();
        EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 120000);
    }
}

TEST_F(CommandLineRunTest, AFullDiskLeavesTheMorningsBackup)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("GRANDE"), 60000));
    ASSERT_EQ(RunProgram(Backup()).exitCode, 0);
    const qint64 size = QFileInfo(todays).size();
    const QByteArray morning = ReadFile(todays);
    const QString small = folder + QStringLiteral("pequeno/");
    // Room for this morning's backup and half another.
    TSmallVolume volume(small, size * 3 / 2);
    if (!volume.Mounted())
        GTEST_SKIP() << "a tmpfs cannot be mounted here (the test needs root)";
    const QString smallTodays = small + QFileInfo(todays).fileName();
    WriteFile(smallTodays, morning);

    const TRun run = RunProgram(
        {QStringLiteral("--backup"), QStringLiteral("--server"), testserver::ServerText(), QStringLiteral("--database"),
            database, QStringLiteral("--dest"), small, QStringLiteral("--log"), folder + QStringLiteral("cheio.log")});

    EXPECT_EQ(run.exitCode, 1) << run.output.toStdString();
    EXPECT_TRUE(run.errors.contains(QLatin1String("free disk space exhausted"))) << run.errors.toStdString();
    EXPECT_EQ(ReadFile(smallTodays), morning);
    EXPECT_EQ(FilesIn(small), QStringList{QFileInfo(todays).fileName()});
}

TEST_F(CommandLineRunTest, UnusableCommandLinesEndWithTwoAndTryNothing)
{
    for (const QStringList& more :
        {QStringList{QStringLiteral("--frobnicate")}, QStringList{QStringLiteral("--keep"), QStringLiteral("0")},
            QStringList{QStringLiteral("--keep"), QStringLiteral("x")}}) {
        SCOPED_TRACE(more.join(u' ').toStdString());
        // No database at all: a run that tried anything would fail otherwise.
        const TRun run = RunProgram(Backup(more));
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.output.isEmpty());
        EXPECT_TRUE(run.errors.contains(QLatin1String("zur --help")));
        EXPECT_TRUE(QDir(destination).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    }
    const TRun help = RunProgram({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.contains(QStringLiteral("Códigos de saída")));
}

TEST_F(CommandLineRunTest, ASecondRunOfTheSameDatabaseRefusesAndTouchesNothing)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    WriteFile(todays, "this morning's backup");
    {
        // Another run (a window or a scheduled one) at work on the database.
        const TDatabaseLogin login{
            BackupServiceTarget(testserver::ServerText()), testserver::User(), testserver::Password()};
        const TRunLock other(DatabaseLockPath(login, database));
        ASSERT_TRUE(other.Held());

        const TRun run = RunProgram(Backup());

        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.errors.contains(QStringLiteral("Outra execução do programa está trabalhando com ") + database))
            << run.errors.toStdString();
        EXPECT_EQ(ReadFile(todays), QByteArray("this morning's backup"));
        EXPECT_EQ(FilesIn(destination), QStringList{QFileInfo(todays).fileName()});
    }
    // The other run gone, the next one goes through.
    const TRun next = RunProgram(Backup());
    EXPECT_EQ(next.exitCode, 0) << next.errors.toStdString();
    EXPECT_NE(ReadFile(todays), QByteArray("this morning's backup"));
}

TEST_F(CommandLineRunTest, TwoRunsAtOnceOneSucceedsAndNothingIsLost)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("GRANDE"), 200000));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("ZUR_PASSWORD"), testserver::Password());
    QProcess first;
    QProcess second;
    for (QProcess* program : {&first, &second}) {
        program->setProcessEnvironment(environment);
        program->setStandardInputFile(QProcess::nullDevice());
        program->start(QStringLiteral(ZUR_EXECUTABLE), Backup({QStringLiteral("--quiet")}));
    }
    ASSERT_TRUE(first.waitForFinished(300000));
    ASSERT_TRUE(second.waitForFinished(300000));
    const QList<int> codes = {first.exitCode(), second.exitCode()};
    // Both may go through one after the other; never two at once, never both failing.
    EXPECT_TRUE(codes.contains(0)) << codes[0] << " " << codes[1];
    for (QProcess* program : {&first, &second}) {
        if (program->exitCode() != 0) {
            EXPECT_TRUE(QString::fromUtf8(program->readAllStandardError()).contains(QStringLiteral("Outra execução")));
        }
    }
    EXPECT_EQ(FilesIn(destination), QStringList{QFileInfo(todays).fileName()});
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("GRANDE")), 200000);
}

TEST_F(CommandLineRunTest, ARestoreFollowsTheRestoreRoadAndRefusesADatabaseInUse)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 25));
    ASSERT_EQ(RunProgram(Backup()).exitCode, 0);
    const QString copy = folder + QStringLiteral("COPIA.FDB");
    const QStringList restore
        = {QStringLiteral("--restore"), todays, QStringLiteral("--server"), testserver::ServerText()};

    // A path where no database is: a mistyped one, as far as the program
    // knows; nothing is made there unless --create says so.
    const TRun mistyped = RunProgram(restore + QStringList{QStringLiteral("--database"), copy});
    EXPECT_EQ(mistyped.exitCode, 2) << mistyped.output.toStdString() << mistyped.errors.toStdString();
    EXPECT_TRUE(mistyped.errors.startsWith(QStringLiteral("A base de dados %1 não existe. ").arg(copy)))
        << mistyped.errors.toStdString();
    EXPECT_EQ(mistyped.output, QString());
    EXPECT_EQ(FilesIn(folder).filter(QStringLiteral("COPIA")), QStringList());
    const TRun made = RunProgram(restore + QStringList{QStringLiteral("--database"), copy, QStringLiteral("--create")});
    ASSERT_EQ(made.exitCode, 0) << made.output.toStdString() << made.errors.toStdString();
    EXPECT_TRUE(made.output.contains(QStringLiteral("Backup Restaurado com Sucesso !!! ") + copy));
    EXPECT_EQ(testserver::CountRows(copy, QStringLiteral("CLIENTES")), 25);
    // Its log lies beside the backup it restored, with the backup's own (the
    // refused run left none), and names that backup.
    const QStringList logs = QDir(destination + QStringLiteral("logs")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(logs.size(), 2);
    ASSERT_TRUE(logs.first().startsWith(QStringLiteral("ZUR-COPIA-"))) << logs.first().toStdString();
    const QString restoreLog = Text(ReadFile(destination + QStringLiteral("logs/") + logs.first()));
    EXPECT_TRUE(restoreLog.contains(QStringLiteral("Execução: restauração")));
    EXPECT_TRUE(restoreLog.contains(QStringLiteral(" Backup: ") + todays + u'\n')) << restoreLog.toStdString();

    // Someone works in the database: the restore is refused, the rows stay.
    testserver::IsqlOn(copy, QStringLiteral("delete from CLIENTES where ID >= 20; commit;"));
    TIBDatabase user;
    user.SetLoginPrompt(false);
    user.Params().Add(QStringLiteral("User_Name=") + testserver::User());
    user.Params().Add(QStringLiteral("Password=") + testserver::Password());
    user.SetDatabaseName(testserver::ServerText() + copy);
    user.SetConnected(true);

    const TRun refused = RunProgram(restore + QStringList{QStringLiteral("--database"), copy});

    user.SetConnected(false);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.output.contains(QStringLiteral("está em uso"))) << refused.output.toStdString();
    EXPECT_TRUE(refused.errors.contains(QStringLiteral("Ocorreram problemas e o Backup não foi restaurado!!!")));
    EXPECT_EQ(testserver::CountRows(copy, QStringLiteral("CLIENTES")), 20);
}

TEST_F(CommandLineRunTest, TheLogHoldsTheServersLinesOfTheBackupTheProofAndTheRestore)
{
    // Large enough that the proof takes a few seconds.
    testserver::CreateDatabase(database, Rows(QStringLiteral("GRANDE"), 600000));
    const QString backupLog = folder + QStringLiteral("backup.log");

    const TRun backup = RunProgram(Backup({QStringLiteral("--progress"), QStringLiteral("--log"), backupLog}));

    ASSERT_EQ(backup.exitCode, 0) << backup.errors.toStdString();
    // The server's verbose lines of the backup, then of the proof under its own line.
    const QString provingLine = QStringLiteral("Verificando o backup: restaurando-o numa base de teste...");
    const QStringList lines = Untimed(Text(ReadFile(backupLog)));
    const auto proving = lines.indexOf(provingLine);
    ASSERT_GT(proving, 0);
    EXPECT_FALSE(lines.mid(0, proving).filter(QStringLiteral("gbak:    writing data for table GRANDE")).isEmpty());
    const QStringList proof = lines.mid(proving + 1).filter(QRegularExpression(QStringLiteral("^gbak:")));
    EXPECT_FALSE(proof.filter(QStringLiteral("restoring data for table GRANDE")).isEmpty()) << lines.size();
    EXPECT_FALSE(proof.filter(QStringLiteral("finishing, closing, and going home")).isEmpty());
    // The progress goes on through the proof as through the backup: lines
    // after the proof's own on standard output, above where the backup left
    // it and rising, before the final state.
    const QStringList output = backup.output.split(u'\n', Qt::SkipEmptyParts);
    const auto provingOut = output.indexOf(provingLine);
    ASSERT_GT(provingOut, 0);
    const QRegularExpression going(QStringLiteral("^Progresso: \\d+%(?! — concluído)"));
    const QList<int> before = Percentages(output.mid(0, provingOut).filter(going));
    const QList<int> during = Percentages(output.mid(provingOut + 1).filter(going));
    // (The proof lasts a second or two: a line a second gives one at least.)
    ASSERT_GE(during.size(), 1) << backup.output.toStdString();
    for (qsizetype i = 1; i < during.size(); ++i)
        EXPECT_GE(during[i], during[i - 1]) << backup.output.toStdString();
    ASSERT_FALSE(before.isEmpty()) << backup.output.toStdString();
    EXPECT_GT(during.first(), before.last()) << backup.output.toStdString();
    EXPECT_TRUE(output.at(output.size() - 2).startsWith(QStringLiteral("Progresso: 100% — concluído em ")));

    // The restore over the database: its log holds the server's lines too.
    const QString restoreLog = folder + QStringLiteral("restore.log");
    const TRun restore = RunProgram({QStringLiteral("--restore"), todays, QStringLiteral("--server"),
        testserver::ServerText(), QStringLiteral("--database"), database, QStringLiteral("--log"), restoreLog});
    ASSERT_EQ(restore.exitCode, 0) << restore.output.toStdString() << restore.errors.toStdString();
    const QString restored = Text(ReadFile(restoreLog));
    EXPECT_TRUE(restored.contains(QLatin1String("restoring data for table GRANDE"))) << restored.toStdString();
    EXPECT_TRUE(restored.contains(QLatin1String("gbak:finishing, closing, and going home")));
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("GRANDE")), 600000);
}

// Two runs appended to one log: each starts with its header and ends with
// its outcome, every line timed, the password nowhere.
TEST_F(CommandLineRunTest, OneLogOfTwoRunsTellsThemApart)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    const QString logFile = folder + QStringLiteral("zur.log");
    const QStringList backupArguments = Scheduled({QStringLiteral("--quiet"), QStringLiteral("--log"), logFile});
    const QStringList restoreArguments = {QStringLiteral("--restore"), todays, QStringLiteral("--server"),
        testserver::ServerText(), QStringLiteral("--database"), database, QStringLiteral("--password-file"),
        passwordFile, QStringLiteral("--quiet"), QStringLiteral("--log"), logFile};

    ASSERT_EQ(RunScheduled(backupArguments).exitCode, 0);
    ASSERT_EQ(RunScheduled(restoreArguments).exitCode, 0);

    const QString text = Text(ReadFile(logFile));
    EXPECT_FALSE(text.contains(testserver::Password()));
    const QStringList lines = Untimed(text);
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QStringLiteral("======== Z.U.R. - Assistente de Backup ")))
            starts << i;
    }
    ASSERT_EQ(starts, (QList<qsizetype>{0, starts.value(1)}));
    struct TPart {
        QStringList lines;
        QStringList arguments;
        const char* action;
        QString success;
    };
    const std::vector<TPart> parts = {
        {lines.mid(0, starts[1]), backupArguments, "Execução: backup",
            QStringLiteral("Backup realizado com sucesso !!! ") + todays},
        {lines.mid(starts[1]), restoreArguments, "Execução: restauração",
            QStringLiteral("Backup Restaurado com Sucesso !!! ") + database},
    };
    for (const TPart& part : parts) {
        SCOPED_TRACE(part.action);
        ASSERT_GE(part.lines.size(), 10);
        EXPECT_TRUE(part.lines[1].startsWith(QStringLiteral("Linha de comando: ")));
        EXPECT_TRUE(part.lines[1].endsWith(u' ' + part.arguments.join(u' '))) << part.lines[1].toStdString();
        for (const QString& header :
            {QString::fromUtf8(part.action), QStringLiteral("Servidor: ") + testserver::ServerText(),
                QStringLiteral("Base de dados: ") + database, QStringLiteral("Usuário: ") + testserver::User(),
                QStringLiteral("Senha: do arquivo ") + passwordFile, QStringLiteral("Backup: ") + todays})
            EXPECT_TRUE(part.lines.mid(2, 7).contains(header)) << header.toStdString();
        EXPECT_TRUE(part.lines.contains(part.success));
        EXPECT_TRUE(part.lines.last().startsWith(QStringLiteral("Resultado: código de saída 0 (concluído), ")))
            << part.lines.last().toStdString();
    }
}

TEST_F(CommandLineRunTest, ABackupKilledInItsProofLeavesNothingAfterTheNextRun)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("GRANDE"), 600000));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZUR_PASSWORD"), testserver::Password());
    QProcess killed;
    killed.setProcessEnvironment(environment);
    killed.setStandardInputFile(QProcess::nullDevice());
    killed.start(QStringLiteral(ZUR_EXECUTABLE), Backup());
    ASSERT_TRUE(killed.waitForStarted());
    // Killed while the proof's scratch database is written beside the database.
    const auto scratchGrowing = [&] {
        const QStringList scratch = ScratchDatabasesBeside(database);
        return !scratch.isEmpty() && QFileInfo(scratch.first()).size() > 8 * 1024 * 1024;
    };
    QElapsedTimer waited;
    waited.start();
    while (!scratchGrowing() && waited.elapsed() < 60000 && killed.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(scratchGrowing()) << killed.readAll().toStdString();
    killed.kill();
    killed.waitForFinished();
    // The server may finish the proof's restore of a program that is gone.
    qint64 last = -1;
    for (int still = 0, i = 0; still < 10 && i < 600; ++i) {
        qint64 size = 0;
        for (const QString& scratch : ScratchDatabasesBeside(database))
            size += QFileInfo(scratch).size();
        still = size == last ? still + 1 : 0;
        last = size;
        QThread::msleep(100);
    }
    ASSERT_FALSE(ScratchDatabasesBeside(database).isEmpty());

    const TRun next = RunProgram(Backup());

    ASSERT_EQ(next.exitCode, 0) << next.output.toStdString() << next.errors.toStdString();
    EXPECT_TRUE(next.output.contains(QStringLiteral("Encontrada a base de teste "))) << next.output.toStdString();
    // Beside the database, nothing of either run.
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("DADOS.FDB*")}, QDir::AllEntries | QDir::Hidden | QDir::System),
        QStringList{QStringLiteral("DADOS.FDB")});
    EXPECT_EQ(PartialBackupsOf(todays), QStringList());
}
