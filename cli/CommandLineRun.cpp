#include "cli/CommandLineRun.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/EventLog.h"
#include "cli/KeepBackups.h"
#include "cli/ProgressLines.h"
#include "cli/RunLogFile.h"
#include "core/AppPaths.h"
#include "core/BackupArchive.h"
#include "core/BackupFile.h"
#include "core/BackupNaming.h"
#include "core/JobProgress.h"
#include "core/RunLock.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "runs/ArchiveRestore.h"
#include "runs/BackupRoad.h"
#include "runs/ConnectionTest.h"
#include "runs/OutputReader.h"
#include "runs/RestoreRoad.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cstdio>

namespace {

const QString DatabaseMissingText = QStringLiteral("Banco de Dados não encontrado: %1");
const QString ConnectionFailedText = QStringLiteral("Problema ao conectar no banco de dados! Mensagem original : %1");
const QString BackupFailedText = QStringLiteral("Ocorreram problemas e o Backup não foi realizado! Erro: %1");
const QString BackupSucceededText = QStringLiteral("Backup realizado com sucesso !!! %1");
const QString ZipWrittenLine = QStringLiteral("Arquivo compactado gravado e conferido: %1");
const QString ZipFailedText
    = QStringLiteral("O backup %1 está verificado e no lugar, mas o arquivo compactado %2 não pôde ser gravado.");
const QString KeepFailedText = QStringLiteral("O backup %1 está verificado e no lugar, mas um backup antigo não pôde "
                                              "ser removido.");
const QString RestoreFailedText = QStringLiteral("Ocorreram problemas e o Backup não foi restaurado!!!");
const QString RestoreSucceededText = QStringLiteral("Backup Restaurado com Sucesso !!! %1");

// A line (or a server's message of several) with its line ends as "\n",
// which a Windows stream in text mode turns into its own.
void Print(std::FILE* stream, QString text)
{
    const QByteArray bytes = text.replace(QLatin1String("\r\n"), QLatin1String("\n")).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fputc('\n', stream);
}

// The progress lines go to the console alone, at once: they are few.
void PrintProgress(const QString& line)
{
    Print(stdout, line);
    std::fflush(stdout);
}

// The run's lines: on standard output (unless quiet) and in the log file;
// the progress lines between them on standard output only.
class TConsoleSink : public TRestoreSink {
public:
    TConsoleSink(TRunLogFile& log, bool quiet, TJobProgress& runProgress)
        : FLog(log)
        , FQuiet(quiet)
        , FProgressLines(runProgress, quiet, &PrintProgress)
    {
        progress = &runProgress;
    }
    void Line(const QString& line) override
    {
        Out(line);
        FLog.Flush();
        std::fflush(stdout);
        FProgressLines.Tick();
    }
    void ReadOutput(TIBControlAndQueryService& service, const std::function<void(const QStringList&)>& seen) override
    {
        // The service asks the server for its output in bulk, which comes
        // about once a second; the queries run on a thread of their own, so
        // that the progress is looked at as often as the window's bar is
        // while the job goes on between two batches.
        TOutputReader reader([&service] { return service.Eof(); }, [&service] { return service.GetNextLine(); });
        std::vector<TOutputReader::TLine> taken;
        QStringList lines;
        bool more = true;
        while (more) {
            taken.clear();
            more = reader.Take(taken, std::chrono::milliseconds(50));
            lines.clear();
            for (const TOutputReader::TLine& line : taken)
                lines << line.Text;
            if (!lines.isEmpty()) {
                seen(lines);
                for (const QString& line : lines)
                    Out(line);
            }
            FProgressLines.Tick();
        }
        // Once per job: a verbose job has tens of thousands of lines.
        FLog.Flush();
        std::fflush(stdout);
        reader.RethrowFailure();
    }
    void Wait(int milliseconds) override { QThread::msleep(static_cast<unsigned long>(milliseconds)); }
    // A line of the run's end: shown even when quiet; a failure on standard
    // error as well, and in the event log. The run's progress ends with it,
    // and its final state comes first.
    void Final(const QString& line, bool failed)
    {
        if (failed)
            progress->Fail();
        else
            progress->Finish();
        FProgressLines.Final();
        FLog.Line(line);
        FLog.Flush();
        Print(failed ? stderr : stdout, line);
        std::fflush(failed ? stderr : stdout);
        if (failed) {
            const QString notReported = ReportFailureEvent(line);
            if (!notReported.isEmpty())
                Print(stderr, notReported);
        }
    }

private:
    void Out(const QString& line)
    {
        FLog.Line(line);
        if (!FQuiet)
            Print(stdout, line);
    }
    TRunLogFile& FLog;
    bool FQuiet;
    TProgressLines FProgressLines;
};

// The log's closing lines.
void CloseLog(TRunLogFile& log, int exitCode, const QElapsedTimer& elapsed, const QString& file)
{
    log.Line(QStringLiteral("Resultado: código de saída %1").arg(exitCode));
    log.Line(QStringLiteral("Tempo decorrido: %1 s").arg(static_cast<double>(elapsed.elapsed()) / 1000.0, 0, 'f', 1));
    if (!file.isEmpty() && QFileInfo(file).isFile())
        log.Line(QStringLiteral("Tamanho de %1: %2 bytes").arg(file).arg(QFileInfo(file).size()));
    log.Flush();
}

int RunBackup(const TCommandLine& command, TConsoleSink& sink, QString& file)
{
    const TDatabaseLogin login{BackupServiceTarget(command.server), command.user, command.password};
    // The window's connection test comes first, with what it puts right of
    // an interrupted run and its check of a local file.
    {
        TIBDatabase connection;
        const TConnectionOutcome tested
            = TestConnection({command.server, command.database, command.user, command.password}, connection, sink);
        if (tested.result == TConnectionOutcome::DatabaseMissing) {
            sink.Final(DatabaseMissingText.arg(command.database), true);
            return ExitFailed;
        }
        if (tested.result == TConnectionOutcome::Failed) {
            sink.Final(ConnectionFailedText.arg(tested.failure), true);
            return ExitFailed;
        }
    }
    const QString backupFile = BackupFileName(command.destination, command.database, Today());
    TBackupOutcome outcome;
    try {
        outcome = RunBackupRoad({login, command.database, backupFile, NewRunMark()}, sink);
    } catch (const Exception& failure) {
        outcome.failure = failure.Message();
    }
    if (!outcome.proved) {
        sink.Final(BackupFailedText.arg(outcome.failure), true);
        return ExitFailed;
    }
    file = backupFile;
    sink.Line(QStringLiteral("Finalizando Backup..."));
    // The compressed copy comes from the proved file; the backup stays
    // whatever becomes of it.
    if (command.zip) {
        const QString archive = ArchiveFileName(command.destination, command.database, Today());
        const QString notWritten = WriteBackupArchive(backupFile, archive);
        if (!notWritten.isEmpty()) {
            sink.Line(notWritten);
            sink.Final(ZipFailedText.arg(backupFile, archive), true);
            return ExitAfterwards;
        }
        sink.Line(ZipWrittenLine.arg(archive));
    }
    bool keptAll = true;
    if (command.keep > 0) {
        keptAll = KeepNewestBackups(command.destination, command.database, command.keep, backupFile,
            [&sink](const QString& line) { sink.Line(line); });
    }
    if (!keptAll) {
        sink.Final(KeepFailedText.arg(backupFile), true);
        return ExitAfterwards;
    }
    sink.Final(BackupSucceededText.arg(backupFile), false);
    return ExitDone;
}

int RunRestore(const TCommandLine& command, TConsoleSink& sink)
{
    const TDatabaseLogin login{RestoreServiceTarget(command.server), command.user, command.password};
    TExtractedBackup extracted;
    if (IsBackupArchive(command.backupFile)) {
        if (!ExtractForRestore(
                command.backupFile, login.target, ExecutableDirectory(),
                [&sink](const QString& line) { sink.Line(line); }, [] {}, extracted)) {
            sink.Final(RestoreFailedText, true);
            return ExitFailed;
        }
    }
    const QString backupFile = extracted.Path().isEmpty() ? command.backupFile : extracted.Path();
    TRestoreRequest request;
    request.login = login;
    request.backupFile = backupFile;
    request.chosenBackup = command.backupFile;
    request.destination = command.database;
    request.pageSize = RestorePageSize(BackupPageSize(backupFile));
    TRestoreOutcome outcome;
    try {
        outcome = RunRestoreRoad(request, sink);
    } catch (const Exception& failure) {
        sink.Line(failure.Message());
        outcome.restored = false;
    }
    if (!outcome.restored) {
        QString text = RestoreFailedText;
        if (!outcome.boxNote.isEmpty())
            text += u' ' + outcome.boxNote;
        sink.Final(text, true);
        return ExitFailed;
    }
    sink.Final(RestoreSucceededText.arg(command.database), false);
    return ExitDone;
}

} // namespace

int RunCommandLine(const QStringList& arguments)
{
    PrepareConsole();
    QElapsedTimer elapsed;
    elapsed.start();
    TCommandLine command;
    const QString unusable = ParseCommandLine(arguments, ExecutableDirectory(), command);
    if (!unusable.isEmpty()) {
        Print(stderr, unusable);
        Print(stderr, QStringLiteral("Veja zur --help."));
        return ExitUnusable;
    }
    if (command.action == TCommandLine::Help) {
        Print(stdout, CommandLineHelp());
        return ExitDone;
    }
    // The log lies beside the backups: those written, or the one restored.
    const QString folder
        = command.action == TCommandLine::Backup ? command.destination : QFileInfo(command.backupFile).absolutePath();
    TRunLogFile log(command.logFile, folder, command.database, QDateTime::currentDateTime());
    if (!log.IsOpen()) {
        Print(stderr, QStringLiteral("O registro %1 não pôde ser criado: %2").arg(log.Path(), log.Failure()));
        if (!command.logFile.isEmpty())
            return ExitUnusable;
    }
    TJobProgress progress;
    // Failed on a way out that never reached a final line.
    TProgressRun progressRun(progress);
    TConsoleSink sink(log, command.quiet, progress);
    QString file;
    int code = ExitFailed;
    try {
        code = command.action == TCommandLine::Backup ? RunBackup(command, sink, file) : RunRestore(command, sink);
    } catch (const Exception& failure) {
        // The client library not loaded, or a failure outside the roads.
        sink.Final(QStringLiteral("%1: %2").arg(QString::fromLatin1(failure.ClassName()), failure.Message()), true);
        code = ExitFailed;
    }
    CloseLog(log, code, elapsed, file);
    return code;
}
