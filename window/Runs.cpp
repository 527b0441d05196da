// The connection test and the backup and restore runs of the main window.

#include "window/BackupRestore.h"

#include "core/AppPaths.h"
#include "core/BackupNaming.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "ibclient/StringList.h"
#include "logview/LogFeed.h"
#include "logview/LogView.h"
#include "runs/ArchiveRestore.h"
#include "runs/FeedOutput.h"
#include "runs/RestoreSafety.h"
#include "window/Dialogs.h"

#include "core/BackupFile.h"
#include "core/RestoreOutput.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>

namespace {

const QString TwoCarriageReturns = QStringLiteral("\r\r");

const QString AttentionCaption = QStringLiteral("Atenção");
const QString OkCaption = QStringLiteral("OK");

// The connection test's boxes.
const QString DatabaseMissingText = QStringLiteral("Banco de Dados não encontrado.") + TwoCarriageReturns
    + QStringLiteral(" Verifique...") + TwoCarriageReturns + QStringLiteral("A Operação será cancelada.");
const QString DatabaseMissingCaption = QStringLiteral("Problema encontrado.");
const QString ConnectionFailedText = QStringLiteral("Problema ao conectar no banco de dados!");
const QString OriginalMessagePrefix = QStringLiteral("Mensagem original : ");
const QString ErrorCaption = QStringLiteral("Erro");

// The backup run's texts.
const QString ConnectFirstText = QStringLiteral("Conecte antes!");
const QString BackupFailedText = QStringLiteral("Ocorreram problemas e o Backup não foi realizado!");
const QString BackupSucceededText = QStringLiteral("Backup realizado com sucesso !!!");

// The restore run's texts.
const QString RestoreFailedText = QStringLiteral("Ocorreram problemas e o Backup não foi restaurado!!!");
const QString RestoreSucceededText = QStringLiteral("Backup Restaurado com Sucesso !!!");
const QString CheckingBackupLine = QStringLiteral("Verificando o backup antes de substituir a base de dados...");
const QString IncompleteBackupLine
    = QStringLiteral("O backup escolhido está incompleto. A base de dados não foi substituída!");
const QString UnrestorableBackupLine
    = QStringLiteral("O backup escolhido não pôde ser restaurado por completo. A base de dados não foi substituída!");
const QString IncompleteRestoreLine = QStringLiteral("A base restaurada está incompleta. O Restore não foi concluído!");
const QString InUseLine = QStringLiteral("A base de dados %1 está em uso (%2). Nada foi alterado.");
const QString ReplacedLine
    = QStringLiteral("A base de dados %1 foi substituída e está incompleta. Restaure novamente o backup %2.");
const QString NotChangedLine = QStringLiteral("A base de dados %1 não foi alterada.");

// The proof of a backup, on both roads.
const QString ProvingBackupLine = QStringLiteral("Verificando o backup: restaurando-o numa base de teste...");
const QString WrittenBackupIncompleteText
    = QStringLiteral("O backup gravado está incompleto: a restauração de teste parou antes do fim.");
const QString NotOnlineText = QStringLiteral("A base restaurada não ficou online.");
const QString ServerSaidText = QStringLiteral(" O servidor disse: ");
const QString NotCheckedHereLine
    = QStringLiteral("O servidor gravou o backup %1 fora deste computador: o arquivo não pôde ser verificado aqui.");
const QString NotRenamedText = QStringLiteral("O backup foi verificado, mas não pôde receber o nome %1: %2");
const QString ScratchNotRemovedLine = QStringLiteral("Não foi possível remover a base de teste %1: %2");
const QString PathReadAsSizeText = QStringLiteral("O caminho \"%1\" contém \"=\", que o servidor leria como o fim do "
                                                  "nome do arquivo seguido de um tamanho. Use um caminho sem \"=\".");

// A scratch database that the server still closes refuses to be dropped for a
// moment: the drop is tried again, this often, this far apart.
constexpr int ScratchDropAttempts = 6;
constexpr int ScratchDropPauseMs = 500;

// The service's part of a run's clean-up: detached on every way out of the
// run. Now() does it on the run's own ways out, where a failed detach leaves
// the run like any other failure; the destructor is the net under a failure
// already on its way out, which a second one must not replace.
class TDetachOnExit {
public:
    explicit TDetachOnExit(TIBCustomService& service)
        : FService(service)
    {
    }
    ~TDetachOnExit()
    {
        if (!FService.Active())
            return;
        try {
            FService.Detach();
        } catch (const Exception& failure) {
            // The object has forgotten its handle all the same.
            qWarning("The service could not be detached on the way out of a run: %s", failure.what());
        }
    }
    TDetachOnExit(const TDetachOnExit&) = delete;
    TDetachOnExit& operator=(const TDetachOnExit&) = delete;

    void Now()
    {
        if (FService.Active())
            FService.Detach();
    }

private:
    TIBCustomService& FService;
};

// A run's log with the run's way of writing into it: the backup log appends
// lines; the restore log moves the caret to the end of the text first, so
// that a line lands there even after the operator clicked or typed into it,
// and inserts the line and a carriage return and line feed at the caret.
class TRunLog {
public:
    enum TStyle { Append, InsertAtEnd };
    TRunLog(TfrmPrincipal& window, TLogView& log, TStyle style)
        : FWindow(window)
        , FLog(log)
        , FStyle(style)
    {
    }

    TLogView& View() const { return FLog; }
    void Line(const QString& line) const
    {
        if (FStyle == Append)
            FWindow.AppendLogLine(FLog, line);
        else
            InsertLinesAtEnd(FLog, {line});
    }
    TLogFeed::TWriter Writer() const
    {
        TLogView& log = FLog;
        if (FStyle == Append)
            return [&log](const QStringList& lines) { AppendLines(log, lines); };
        return [&log](const QStringList& lines) { InsertLinesAtEnd(log, lines); };
    }

private:
    TfrmPrincipal& FWindow;
    TLogView& FLog;
    TStyle FStyle;
};

// Reads a started service's output to its end into a log, line by line on a
// thread of its own (the service asks the server for its output in bulk and
// hands it out a line at a time), while this thread puts the lines into the
// log and processes the window's pending messages between batches of lines. The last line is the
// empty one that ends the output. Every line read is in the log when this
// returns or throws.
void ReadOutput(TIBControlAndQueryService& service, TLogView& log, const TLogFeed::TWriter& writer)
{
    TLogFeed feed(log, writer);
    // The queries run on the reader's thread; nothing else touches the
    // service until the reader is gone.
    TOutputReader reader([&service] { return service.Eof(); }, [&service] { return service.GetNextLine(); });
    FeedOutput(reader, feed, &TfrmPrincipal::ProcessMessages);
}

// A restore's output into the log, and what it says of the way it ended.
TRestoreOutput ReadRestoreOutput(TIBRestoreService& service, const TRunLog& log)
{
    TRestoreOutput output;
    const TLogFeed::TWriter write = log.Writer();
    ReadOutput(service, log.View(), [&output, &write](const QStringList& lines) {
        output.Add(lines);
        write(lines);
    });
    return output;
}

// Attaches the service; a failure is put into the log in the server's words
// and then leaves the run as before, for the top-level error report.
void AttachLogged(TIBCustomService& service, const TRunLog& log)
{
    try {
        service.Attach();
    } catch (const Exception& failure) {
        log.Line(failure.Message());
        throw;
    }
}

// The message of a restore that reached its end with the database not online.
QString NotOnline(const TRestoreOutput& output)
{
    if (output.Problems().isEmpty())
        return NotOnlineText;
    return NotOnlineText + ServerSaidText + output.Problems().join(u' ');
}

// Whether the database at path is online; when it cannot be looked at, the
// log says why, and it does not count as online.
bool IsOnlineLogged(const TRunLog& log, const TDatabaseLogin& login, const QString& path)
{
    try {
        return DatabaseIsOnline(login, path);
    } catch (const Exception& failure) {
        log.Line(failure.Message());
        return false;
    }
}

// The first of the paths that the service's file lists would read as a name
// and a size, refused before anything is sent; empty when there is none.
QString PathRefusal(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (FileLineHasSize(path))
            return PathReadAsSizeText.arg(path);
    }
    return QString();
}

void WaitProcessingMessages(int milliseconds)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < milliseconds) {
        TfrmPrincipal::ProcessMessages();
        QThread::msleep(10);
    }
}

// Drops the scratch database, when it is there, trying again while the
// server refuses; when it goes on refusing, the log says so in its words.
void RemoveScratchDatabase(const TRunLog& log, const TDatabaseLogin& login, const QString& scratch)
{
    for (int attempt = 1;; ++attempt) {
        try {
            DropDatabaseAt(login, scratch);
            return;
        } catch (const Exception& failure) {
            if (attempt >= ScratchDropAttempts || !FailureMayPass()) {
                log.Line(ScratchNotRemovedLine.arg(scratch, failure.Message()));
                return;
            }
        }
        WaitProcessingMessages(ScratchDropPauseMs);
    }
}

// A scratch database, dropped on every way out of the trial that made it.
class TScratchDatabase {
public:
    TScratchDatabase(const TRunLog& log, const TDatabaseLogin& login, const QString& path)
        : FLog(log)
        , FLogin(login)
        , FPath(path)
    {
        // One left by an earlier run goes first: a restore could not replace
        // it while it stays shut down.
        RemoveScratchDatabase(FLog, FLogin, FPath);
    }
    ~TScratchDatabase()
    {
        try {
            RemoveScratchDatabase(FLog, FLogin, FPath);
        } catch (const std::exception& failure) {
            qWarning("The scratch database %s was not removed: %s", qUtf8Printable(FPath), failure.what());
        }
    }
    TScratchDatabase(const TScratchDatabase&) = delete;
    TScratchDatabase& operator=(const TScratchDatabase&) = delete;

private:
    const TRunLog& FLog;
    const TDatabaseLogin& FLogin;
    QString FPath;
};

// How a trial restore ended.
struct TTrialRestore {
    bool proved = false;
    // The output stopped before the server's closing line.
    bool backupIncomplete = false;
    // Otherwise, what went wrong: the server's own words.
    QString reason;
};

// Restores the backup that the service names into the scratch database that
// it names (with the service's own settings, Replace included), reads the
// output into the log under its heading, looks whether the scratch database came out online and
// drops it. Nothing else on the server is touched. A failed attach leaves for
// the caller; on every other way out the service is detached.
TTrialRestore TryRestore(
    TIBRestoreService& service, const TRunLog& log, const TDatabaseLogin& login, const QString& heading)
{
    const QString scratch = service.DatabaseName()[0];
    TDetachOnExit detach(service);
    service.Attach();
    log.Line(heading);
    TScratchDatabase dropped(log, login, scratch);
    TTrialRestore trial;
    try {
        service.ServiceStart();
        const TRestoreOutput output = ReadRestoreOutput(service, log);
        trial.proved = DatabaseIsOnline(login, scratch);
        if (!trial.proved) {
            trial.backupIncomplete = !output.Finished();
            trial.reason = NotOnline(output);
        }
    } catch (const Exception& failure) {
        trial.reason = failure.Message();
    }
    detach.Now();
    return trial;
}

// The same on the restore road, where a failure that leaves it (a failed
// attach) is put into the log in the server's words before it goes on to the
// top-level error report.
TTrialRestore TryRestoreLogged(
    TIBRestoreService& service, const TRunLog& log, const TDatabaseLogin& login, const QString& heading)
{
    try {
        return TryRestore(service, log, login, heading);
    } catch (const Exception& failure) {
        log.Line(failure.Message());
        throw;
    }
}

// The one line of a file list.
void NameFile(TStringList& list, const QString& path)
{
    list.Clear();
    list.Add(path);
}

// The restore service's settings for one restore of backupFile to database on
// the server that login names; the options and the verbose output are the
// ones the window gave it.
void SetUpRestore(TIBRestoreService& service, const TDatabaseLogin& login, const QString& backupFile,
    const QString& database, int pageSize)
{
    service.SetLoginPrompt(false);
    service.Params().Clear();
    service.Params().Add(QStringLiteral("user_name=") + login.user);
    service.Params().Add(QStringLiteral("password=") + login.password);
    NameFile(service.DatabaseName(), database);
    NameFile(service.BackupFile(), backupFile);
    service.SetServerName(login.target.serverName);
    if (login.target.tcp)
        service.SetProtocol(TCP);
    service.SetPageSize(pageSize);
}

} // namespace

void TfrmPrincipal::SpeedButton1Click()
{
    TRunGuard run(*this);
    // 1.
    imgOk->setVisible(false);
    imgErro->setVisible(true);
    // 2. A local server gets the database file checked first.
    if (AsciiLower(edServidor->text()).contains(QLatin1String("localhost")) && !FileExists(edCaminho->text())) {
        ShowMessageBox(DatabaseMissingText, DatabaseMissingCaption, TMessageKind::Warning);
        return;
    }
    // 3.
    try {
        DB->SetConnected(false);
        DB->Params().Clear();
        DB->Params().Add(QStringLiteral("User_Name=") + edUsuario->text());
        DB->Params().Add(QStringLiteral("Password=") + edSenha->text());
        DB->SetDatabaseName(edServidor->text() + edCaminho->text());
        DB->SetConnected(true);
    } catch (const Exception& failure) {
        // 4.
        ShowMessageBox(ConnectionFailedText, AttentionCaption, TMessageKind::Warning);
        ShowMessageBox(OriginalMessagePrefix + failure.Message(), ErrorCaption, TMessageKind::Error);
        return;
    }
    // 5.
    imgOk->setVisible(true);
    imgErro->setVisible(false);
}

void TfrmPrincipal::btnBackupClick()
{
    TRunGuard run(*this);
    // 1.
    if (!DB->Connected()) {
        ShowMessageBox(ConnectFirstText, AttentionCaption, TMessageKind::Information);
        return;
    }
    // The run's own values, read once: what the operator types meanwhile
    // changes nothing of this run.
    const QString database = edCaminho->text();
    const TDatabaseLogin login{BackupServiceTarget(edServidor->text()), edUsuario->text(), edSenha->text()};
    const QString backupFile = BackupFileName(ProgramDirectory(), database, Today());
    // A server on this machine writes the new backup under a name of its own
    // until the backup has proved itself; an older file of the final name
    // stays as it was until then.
    const bool seenHere = ServerIsThisMachine(login.target);
    const QString written = seenHere ? PartialBackupName(backupFile) : backupFile;
    const TRunLog log(*this, *mmBackup, TRunLog::Append);
    int pageSize = 0;
    {
        // 2. From here on every way out passes through the clean-up of step
        // 12: the service detached, then the default cursor.
        TBusyCursor hourGlass;
        TDetachOnExit cleanUp(*dbBackup);
        // 3.
        UpdateNow();
        mmBackup->setFocus();
        // 4.
        AppendLogLine(*mmBackup, QStringLiteral("Aguarde... Conectando ao servidor..."));
        AppendLogLine(*mmBackup, QStringLiteral("Verificando permissão..."));
        AppendLogLine(*mmBackup, QStringLiteral("Iniciando Backup..."));
        // 5.
        if (login.target.tcp) {
            dbBackup->SetServerName(login.target.serverName);
            dbBackup->SetProtocol(TCP);
        } else {
            dbBackup->SetProtocol(Local);
        }
        // 6.
        dbBackup->Params().Clear();
        dbBackup->Params().SetValue(QStringLiteral("user_name"), login.user);
        dbBackup->Params().SetValue(QStringLiteral("password"), login.password);
        // 7.
        dbBackup->SetLoginPrompt(false);
        dbBackup->SetOptions({});
        // 8.
        NameFile(dbBackup->BackupFile(), written);
        // 9.
        dbBackup->SetDatabaseName(database);
        dbBackup->SetVerbose(true);
        QString failure = PathRefusal({written, ScratchDatabasePath(database)});
        if (failure.isEmpty()) {
            // 10. A failed attach leaves the run for the top-level error report.
            AttachLogged(*dbBackup, log);
            // 11.
            try {
                dbBackup->ServiceStart();
                ReadOutput(*dbBackup, *mmBackup, log.Writer());
            } catch (const Exception& error) {
                failure = error.Message();
            }
            // 12.
            cleanUp.Now();
        }
        // The output's end does not prove the backup: it is good once it
        // has restored completely.
        if (failure.isEmpty()) {
            if (!seenHere)
                log.Line(NotCheckedHereLine.arg(backupFile));
            pageSize = RestorePageSize(DatabasePageSizeAt(login, database));
            if (pageSize == 0 && seenHere)
                pageSize = RestorePageSize(BackupPageSize(written));
            failure = ProveBackup(login, written, database, pageSize);
        }
        if (failure.isEmpty() && seenHere) {
            const QString reason = ReplaceFile(written, backupFile);
            if (!reason.isEmpty())
                failure = NotRenamedText.arg(backupFile, reason);
        }
        if (!failure.isEmpty()) {
            // The backup's own file goes; an older one of its final name stays.
            if (seenHere)
                QFile::remove(written);
            log.Line(failure);
            ShowMessageBox(BackupFailedText + TwoCarriageReturns + QStringLiteral("Erro:") + failure, AttentionCaption,
                TMessageKind::Warning);
            return;
        }
    }
    FProvenBackup = {backupFile, FileStamp(backupFile), login.target, database, pageSize};
    // 13.1
    AppendLogLine(*mmBackup, QStringLiteral("Finalizando Backup..."));
    // 13.2
    DB->SetConnected(false);
    // 13.3
    AppendToCatalogue(backupFile);
    // 13.4
    ShowMessageBox(BackupSucceededText, OkCaption, TMessageKind::Information);
    // 13.5
    pnConfig->setEnabled(false);
    btnBackup->setEnabled(false);
    // 13.6
    PageControl1->setCurrentWidget(Restore);
}

QString TfrmPrincipal::ProveBackup(
    const TDatabaseLogin& login, const QString& backupFile, const QString& database, int pageSize)
{
    const TRunLog log(*this, *mmBackup, TRunLog::Append);
    SetUpRestore(*dbRestore, login, backupFile, ScratchDatabasePath(database), pageSize);
    dbRestore->SetActive(false);
    try {
        const TTrialRestore trial = TryRestore(*dbRestore, log, login, ProvingBackupLine);
        if (trial.proved)
            return QString();
        return trial.backupIncomplete ? WrittenBackupIncompleteText : trial.reason;
    } catch (const Exception& failure) {
        return failure.Message();
    }
}

void TfrmPrincipal::btnRestoreClick()
{
    TRunGuard run(*this);
    // 1.
    DB->SetConnected(false);
    // 2. Nothing to restore: the run ends silently.
    const QString chosen = SelectedBackupPath();
    if (!FileExists(chosen))
        return;
    // The run's own values, read once: what the operator types meanwhile
    // changes nothing of this run.
    const QString destination = edCaminho->text();
    const TDatabaseLogin login{RestoreServiceTarget(edServidor->text()), edUsuario->text(), edSenha->text()};
    const TRunLog log(*this, *mmRestore, TRunLog::InsertAtEnd);
    // An archive: the server restores the backup extracted from it into a
    // file of this run's own, which goes on every way out of the run.
    TExtractedBackup extracted;
    if (IsBackupArchive(chosen)) {
        mmRestore->setFocus();
        TBusyCursor hourGlass;
        if (!ExtractForRestore(
                chosen, login.target, ProgramDirectory(), [&log](const QString& line) { log.Line(line); },
                &TfrmPrincipal::ProcessMessages, extracted)) {
            ShowMessageBox(RestoreFailedText, AttentionCaption, TMessageKind::Warning);
            return;
        }
    }
    const QString backupFile = extracted.Path().isEmpty() ? chosen : extracted.Path();
    // A backup this program run proved on the database it was made of needs
    // no trial over it.
    const bool proved = FProvenBackup.Covers(backupFile, login.target, destination);
    // Never smaller pages than the backup's database had.
    const int pageSize = proved ? FProvenBackup.pageSize : RestorePageSize(BackupPageSize(backupFile));
    // 3.-6. The server and protocol are those that every check below uses.
    SetUpRestore(*dbRestore, login, backupFile, destination, pageSize);
    // 7.
    dbRestore->SetActive(false);
    {
        // 8. From here on every way out passes through the clean-up of step
        // 11: the service detached, then the default cursor.
        mmRestore->setFocus();
        TBusyCursor hourGlass;
        TDetachOnExit cleanUp(*dbRestore);
        const QString refusal = PathRefusal({backupFile, destination});
        if (!refusal.isEmpty()) {
            log.Line(refusal);
            ShowMessageBox(RestoreFailedText, AttentionCaption, TMessageKind::Warning);
            return;
        }
        // A database that someone is using is left alone.
        const TDatabaseProbe found = ProbeDatabase(login, destination);
        if (found.state == TDatabaseState::InUse) {
            log.Line(InUseLine.arg(destination, found.reason));
            ShowMessageBox(RestoreFailedText, AttentionCaption, TMessageKind::Warning);
            return;
        }
        // A restore replaces the database at the destination, and drops it
        // before it reads the backup: a backup that has not proved itself is
        // tried on a scratch database first.
        const bool replaces = found.state != TDatabaseState::Absent;
        if (replaces && !proved) {
            NameFile(dbRestore->DatabaseName(), ScratchDatabasePath(destination));
            const TTrialRestore trial = TryRestoreLogged(*dbRestore, log, login, CheckingBackupLine);
            NameFile(dbRestore->DatabaseName(), destination);
            if (!trial.proved) {
                if (trial.backupIncomplete) {
                    log.Line(IncompleteBackupLine);
                } else {
                    log.Line(trial.reason);
                    log.Line(UnrestorableBackupLine);
                }
                ShowMessageBox(RestoreFailedText, AttentionCaption, TMessageKind::Warning);
                return;
            }
        }
        // 9. A failed attach leaves the run for the top-level error report.
        AttachLogged(*dbRestore, log);
        // 10. The output's end is not the restore's success: a backup cut
        // short ends its output as a whole one does, and leaves the database
        // shut down.
        QString failure;
        try {
            dbRestore->ServiceStart();
            const TRestoreOutput output = ReadRestoreOutput(*dbRestore, log);
            if (!DatabaseIsOnline(login, destination))
                failure = output.Finished() ? NotOnline(output) : IncompleteRestoreLine;
        } catch (const Exception& error) {
            failure = error.Message();
        }
        if (!failure.isEmpty()) {
            log.Line(failure);
            QString box = RestoreFailedText;
            if (replaces) {
                // Whether the server got as far as replacing the database.
                if (IsOnlineLogged(log, login, destination)) {
                    log.Line(NotChangedLine.arg(destination));
                } else {
                    const QString replaced = ReplacedLine.arg(destination, chosen);
                    log.Line(replaced);
                    box += TwoCarriageReturns + replaced;
                }
            }
            ShowMessageBox(box, AttentionCaption, TMessageKind::Warning);
            cleanUp.Now();
            return;
        }
        // 11.
        cleanUp.Now();
    }
    // The server is done with the extracted backup: gone before the box.
    extracted = TExtractedBackup();
    // 12.1 The database this run restored.
    lblBase_Restaurada->setText(destination);
    // 12.2
    ShowMessageBox(RestoreSucceededText, OkCaption, TMessageKind::Information);
    // 12.3
    btnRestore->setEnabled(false);
}
