#include "cli/CommandLineRun.h"

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/EventLog.h"
#include "cli/KeepBackups.h"
#include "cli/ProgressLines.h"
#include "cli/RunChecks.h"
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
#include <QRegularExpression>
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
const QString KeepFailedText = QStringLiteral("O backup %1 está verificado e no lugar, mas um backup ou registro "
                                              "antigo não pôde ser removido.");
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

// A line of the program's own that tells a step begins ("Iniciando
// Backup...", "Verificando o backup: restaurando-o numa base de teste...").
bool AnnouncesAStep(const QString& line)
{
    return line.endsWith(QLatin1String("..."));
}

// The run's lines: on standard output (unless quiet) and in the log file;
// the progress lines between them on standard output only, when someone
// watches. The lines of a failure go to standard error as well.
class TConsoleSink : public TRestoreSink {
public:
    TConsoleSink(TRunLogFile& log, bool quiet, bool showProgress, TJobProgress& runProgress)
        : FLog(log)
        , FQuiet(quiet)
        , FShowProgress(showProgress)
        , FProgressLines(runProgress, &PrintProgress)
    {
        progress = &runProgress;
    }
    void Line(const QString& line) override
    {
        Out(line);
        FLog.Flush();
        std::fflush(stdout);
        FLastOwnLine = line;
        // The roads say why they failed in lines of their own after the
        // server's last output and after the step they were at: those are
        // the failure's reason, kept for standard error.
        if (AnnouncesAStep(line))
            FReasons.clear();
        else
            FReasons << line;
        Tick();
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
                FReasons.clear();
            }
            Tick();
        }
        // Once per job: a verbose job has tens of thousands of lines.
        FLog.Flush();
        std::fflush(stdout);
        reader.RethrowFailure();
    }
    void Wait(int milliseconds) override { QThread::msleep(static_cast<unsigned long>(milliseconds)); }
    // The last line the run said of its own.
    const QString& LastOwnLine() const { return FLastOwnLine; }
    // A line of the run's end: on standard output unless quiet; a failure on
    // standard error, after the lines that told its reason (those that the
    // final line does not already hold), and in the event log. The run's
    // progress ends with it, and its final state comes first.
    void Final(const QString& line, bool failed)
    {
        if (failed)
            progress->Fail();
        else
            progress->Finish();
        if (FShowProgress)
            FProgressLines.Final();
        FLog.Line(line);
        FLog.Flush();
        std::fflush(stdout);
        if (!failed) {
            if (!FQuiet) {
                Print(stdout, line);
                std::fflush(stdout);
            }
            return;
        }
        QStringList told;
        for (const QString& reason : std::as_const(FReasons)) {
            if (!line.contains(reason.trimmed()))
                told << reason;
        }
        told << line;
        for (const QString& reason : std::as_const(told))
            Print(stderr, reason);
        std::fflush(stderr);
        const QString notReported = ReportFailureEvent(told.join(u'\n'));
        if (!notReported.isEmpty())
            Print(stderr, notReported);
    }

private:
    void Out(const QString& line)
    {
        FLog.Line(line);
        if (!FQuiet)
            Print(stdout, line);
    }
    void Tick()
    {
        if (FShowProgress)
            FProgressLines.Tick();
    }
    TRunLogFile& FLog;
    bool FQuiet;
    bool FShowProgress;
    TProgressLines FProgressLines;
    QStringList FReasons;
    QString FLastOwnLine;
};

QString Outcome(int exitCode)
{
    switch (exitCode) {
    case ExitDone:
        return QStringLiteral("concluído");
    case ExitAfterwards:
        return QStringLiteral("o backup está no lugar, mas algo depois dele falhou");
    default:
        return QStringLiteral("falhou");
    }
}

// The log's closing lines: the backup's size, then the outcome, the exit code
// and the time taken in one line.
void CloseLog(TRunLogFile& log, int exitCode, const QElapsedTimer& elapsed, const QString& file)
{
    if (!file.isEmpty() && QFileInfo(file).isFile())
        log.Line(QStringLiteral("Tamanho de %1: %2 bytes").arg(file).arg(QFileInfo(file).size()));
    log.Line(QStringLiteral("Resultado: código de saída %1 (%2), tempo decorrido: %3 s")
                 .arg(exitCode)
                 .arg(Outcome(exitCode))
                 .arg(static_cast<double>(elapsed.elapsed()) / 1000.0, 0, 'f', 1));
    log.Flush();
}

// An argument as a shell would need it to read it back.
QString Quoted(const QString& argument)
{
    if (!argument.isEmpty() && !argument.contains(QRegularExpression(QStringLiteral("[\\s\"'$`]"))))
        return argument;
    return u'"' + QString(argument).replace(u'"', QLatin1String("\\\"")) + u'"';
}

// The log's header: which program, which command line, on what. A line of
// its own starts it, which tells runs apart in a file that several runs
// write into. The password never is on the command line: the header names
// where it came from.
void OpenLog(TRunLogFile& log, const QStringList& arguments, const TCommandLine& command, const QString& backupFile)
{
    QStringList line;
    for (const QString& argument : arguments)
        line << Quoted(argument);
    const bool backup = command.action == TCommandLine::Backup;
    log.Line(QStringLiteral("======== %1 ========").arg(ProgramVersionText()));
    log.Line(QStringLiteral("Linha de comando: ") + line.join(u' '));
    log.Line(backup ? QStringLiteral("Execução: backup") : QStringLiteral("Execução: restauração"));
    log.Line(QStringLiteral("Servidor: ") + command.server);
    log.Line(QStringLiteral("Base de dados: ") + command.database);
    log.Line(QStringLiteral("Usuário: ") + command.user);
    log.Line(QStringLiteral("Senha: ") + command.passwordSource);
    log.Line(QStringLiteral("Backup: ") + backupFile);
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
        // A failed attach has put its words into the log before it left.
        if (sink.LastOwnLine() != failure.Message())
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
    QString unusable = ParseCommandLine(arguments, ExecutableDirectory(), command);
    if (!unusable.isEmpty()) {
        Print(stderr, unusable);
        Print(stderr, CommandLineUsage());
        return ExitUnusable;
    }
    if (command.action == TCommandLine::Help) {
        Print(stdout, CommandLineHelp());
        return ExitDone;
    }
    if (command.action == TCommandLine::Version) {
        Print(stdout, ProgramVersionText());
        return ExitDone;
    }
    // Before anything is written or sent: a run that cannot go through ends
    // here, with nothing tried and no log of a run that never was.
    try {
        unusable = CheckBeforeRun(command);
    } catch (const Exception& failure) {
        unusable = failure.Message();
    }
    if (!unusable.isEmpty()) {
        Print(stderr, unusable);
        Print(stderr, QStringLiteral("Nada foi feito."));
        return ExitUnusable;
    }
    const bool backup = command.action == TCommandLine::Backup;
    // The log lies beside the backups: those written, or the one restored.
    const QString folder = backup ? command.destination : QFileInfo(command.backupFile).absolutePath();
    TRunLogFile log(command.logFile, folder, command.database, QDateTime::currentDateTime());
    if (!log.IsOpen()) {
        Print(stderr, QStringLiteral("O registro %1 não pôde ser criado: %2").arg(log.Path(), log.Failure()));
        if (!command.logFile.isEmpty())
            return ExitUnusable;
    }
    OpenLog(log, arguments, command,
        backup ? BackupFileName(command.destination, command.database, Today()) : command.backupFile);
    TJobProgress progress;
    // Failed on a way out that never reached a final line.
    TProgressRun progressRun(progress);
    // Someone at a terminal sees how far along the run is; a scheduler's
    // mail gets it only when asked for.
    TConsoleSink sink(log, command.quiet, command.progress || (!command.quiet && OutputIsTerminal()), progress);
    QString file;
    int code = ExitFailed;
    try {
        code = backup ? RunBackup(command, sink, file) : RunRestore(command, sink);
    } catch (const Exception& failure) {
        // The client library not loaded, or a failure outside the roads.
        sink.Final(QStringLiteral("%1: %2").arg(QString::fromLatin1(failure.ClassName()), failure.Message()), true);
        code = ExitFailed;
    }
    CloseLog(log, code, elapsed, file);
    return code;
}
