#include "GbakRuns.h"

#include "BenchSupport.h"
#include "core/BackupFile.h"

#include <QStringList>

#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

QString TServerAccess::ServiceName() const
{
    return serverText + QStringLiteral("service_mgr");
}

namespace {

// Runs gbak with its standard output and error going to outputFile; returns
// the wall time from the spawn to the end of the process.
TTimedRun RunGbak(const QStringList& arguments, const QString& outputFile)
{
    std::vector<QByteArray> bytes;
    bytes.push_back("gbak");
    for (const QString& argument : arguments)
        bytes.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const QByteArray output = outputFile.toLocal8Bit();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);

    TTimedRun run;
    const double start = Now();
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, "gbak", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        Fail(QStringLiteral("cannot start gbak"));
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0) { }
    run.seconds = Now() - start;
    run.processorSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        Fail(QStringLiteral("gbak %1 failed; its output is in %2").arg(arguments.join(u' '), outputFile));
    run.lines = CountServerLinesInFile(outputFile);
    return run;
}

QStringList ServiceArguments(const TServerAccess& access)
{
    return {QStringLiteral("-se"), access.ServiceName(), QStringLiteral("-user"), access.user,
        QStringLiteral("-password"), access.password};
}

QStringList Verbose(bool verbose)
{
    return verbose ? QStringList{QStringLiteral("-v")} : QStringList();
}

} // namespace

TTimedRun GbakBackup(const TServerAccess& access, const QString& database, const QString& backupFile,
    const QString& outputFile, bool verbose)
{
    return RunGbak(QStringList{QStringLiteral("-b")} + Verbose(verbose) + ServiceArguments(access)
            + QStringList{database, backupFile},
        outputFile);
}

TTimedRun GbakRestore(const TServerAccess& access, const QString& backupFile, const QString& database,
    const QString& outputFile, bool verbose)
{
    QStringList arguments = QStringList{QStringLiteral("-c"), QStringLiteral("-rep")} + Verbose(verbose)
        + ServiceArguments(access) + QStringList{QStringLiteral("-use_all_space")};
    const int pageSize = RestorePageSize(BackupPageSize(backupFile));
    if (pageSize > 0)
        arguments += QStringList{QStringLiteral("-page_size"), QString::number(pageSize)};
    return RunGbak(arguments + QStringList{backupFile, database}, outputFile);
}

TTimedRun AddRuns(const TTimedRun& a, const TTimedRun& b)
{
    TTimedRun sum = a;
    sum.seconds += b.seconds;
    sum.processorSeconds += b.processorSeconds;
    sum.lines += b.lines;
    sum.paints += b.paints;
    sum.paintedViewports += b.paintedViewports;
    return sum;
}
