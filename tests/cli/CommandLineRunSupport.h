#pragma once
// What the tests of the command line run as a scheduler starts it share: the
// program started as a process of its own, with no display, no terminal and
// its standard input closed, against the private server; its lines and its
// log; a test folder with a database path and a backup folder.

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

namespace clirun {

// Text as lines end on this machine, without the byte-order mark that starts
// a log file on Windows.
inline QString Text(const QByteArray& bytes)
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

// Runs program with arguments in that environment and working folder (none:
// this one's), its standard input closed, to its end.
inline TRun RunToEnd(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
    const QString& folder = QString())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted());
    EXPECT_TRUE(process.waitForFinished(300000));
    TRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = Text(process.readAllStandardOutput());
    run.errors = Text(process.readAllStandardError());
    return run;
}

// Runs the program with arguments, as the Task Scheduler or cron would (or
// another program, with its own arguments, that runs it).
inline TRun RunProgram(const QStringList& arguments, const QString& password = testserver::Password(),
    const QString& runner = QString(), const QStringList& runnerArguments = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("ZUR_PASSWORD"), password);
    if (runner.isEmpty())
        return RunToEnd(QStringLiteral(ZUR_EXECUTABLE), arguments, environment);
    return RunToEnd(runner, runnerArguments, environment);
}

// Runs the program as cron runs it: an environment of PATH alone (and the
// client library that the test rig names, where it names one), the working
// folder "/", no display, standard input closed.
inline TRun RunScheduled(const QStringList& arguments)
{
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment environment;
    for (const char* name : {"PATH", "ZUR_CLIENT_LIBRARY", "ZUR_BRIDGE_MARKS", "SystemRoot", "WINDIR"}) {
        if (system.contains(QString::fromLatin1(name)))
            environment.insert(QString::fromLatin1(name), system.value(QString::fromLatin1(name)));
    }
    return RunToEnd(QStringLiteral(ZUR_EXECUTABLE), arguments, environment, QStringLiteral("/"));
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

inline QString Rows(const QString& table, int rows)
{
    return QStringLiteral("create table %1 (ID integer, NAME varchar(40));\ncommit;\nset term ^ ;\n"
                          "execute block as declare i integer = 0; begin while (i < %2) do begin\n"
                          "insert into %1 values (:i, 'linha ' || :i); i = i + 1; end end^\nset term ; ^\n")
        .arg(table)
        .arg(rows);
}

// The progress lines of a run's standard output.
inline QStringList ProgressLines(const QString& output)
{
    return output.split(u'\n').filter(QRegularExpression(QStringLiteral("^Progresso: ")));
}

inline QString Stamp(const QDate& date)
{
    return date.toString(QStringLiteral("yyyyMMdd"));
}

// A log's lines without the time each starts with; a line without its time
// fails the test.
const QRegularExpression TimedLine(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d (.*)$"));
inline QStringList Untimed(const QString& log)
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
inline QList<int> Percentages(const QStringList& lines)
{
    QList<int> percentages;
    for (const QString& line : lines)
        percentages << QRegularExpression(QStringLiteral("^Progresso: (\\d+)%")).match(line).captured(1).toInt();
    return percentages;
}

} // namespace clirun

using namespace clirun;

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
