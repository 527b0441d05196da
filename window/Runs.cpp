// The connection test and the backup and restore runs of the main window.

#include "window/BackupRestore.h"

#include "core/AppPaths.h"
#include "core/BackupNaming.h"
#include "core/RunLock.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "ibclient/StringList.h"
#include "logview/LogFeed.h"
#include "logview/LogView.h"
#include "runs/ArchiveRestore.h"
#include "runs/FeedOutput.h"
#include "runs/OutputReader.h"
#include "runs/RestoreRoad.h"
#include "runs/RestoreSafety.h"
#include "runs/RestoreSteps.h"
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

// The proof of a backup.
const QString ProvingBackupLine = QStringLiteral("Verificando o backup: restaurando-o numa base de teste...");
const QString WrittenBackupIncompleteText
    = QStringLiteral("O backup gravado está incompleto: a restauração de teste parou antes do fim.");
const QString NotCheckedHereLine
    = QStringLiteral("O servidor gravou o backup %1 fora deste computador: o arquivo não pôde ser verificado aqui.");
const QString NotRenamedText = QStringLiteral("O backup foi verificado, mas não pôde receber o nome %1: %2");
const QString LeftPartialLine
    = QStringLiteral("Encontrado o backup parcial %1, deixado por uma execução interrompida: removido.");

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

void WaitProcessingMessages(int milliseconds)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < milliseconds) {
        TfrmPrincipal::ProcessMessages();
        QThread::msleep(10);
    }
}

// The roads' lines go into a run's log, the window answering meanwhile.
class TWindowSink : public TRestoreSink {
public:
    explicit TWindowSink(const TRunLog& log)
        : FLog(log)
    {
    }
    void Line(const QString& line) override { FLog.Line(line); }
    void ReadOutput(TIBControlAndQueryService& service, const std::function<void(const QStringList&)>& seen) override
    {
        const TLogFeed::TWriter write = FLog.Writer();
        ::ReadOutput(service, FLog.View(), [&seen, &write](const QStringList& lines) {
            seen(lines);
            write(lines);
        });
    }
    void Wait(int milliseconds) override { WaitProcessingMessages(milliseconds); }

private:
    const TRunLog& FLog;
};

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

// The one line of a file list.
void NameFile(TStringList& list, const QString& path)
{
    list.Clear();
    list.Add(path);
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
    const QString runMark = NewRunMark();
    // A server on this machine writes the new backup under a name of this
    // run's own until the backup has proved itself; an older file of the
    // final name stays as it was until then.
    const bool seenHere = ServerIsThisMachine(login.target);
    const QString written = seenHere ? PartialBackupName(backupFile, runMark) : backupFile;
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
        QString failure = PathRefusal({written, ScratchDatabasePath(database, runMark)});
        // One run at a time on a backup name, and on the database beside
        // which the backup proves itself.
        const TRunLock backupLock(BackupLockPath(backupFile));
        const TRunLock databaseLock(DatabaseLockPath(login, database));
        if (failure.isEmpty())
            failure = LockRefusal(backupLock, backupFile);
        if (failure.isEmpty())
            failure = LockRefusal(databaseLock, database);
        if (failure.isEmpty() && seenHere) {
            // A partial backup of an interrupted run of this name is nobody's.
            for (const QString& partial : PartialBackupsOf(backupFile)) {
                if (QFile::remove(partial))
                    log.Line(LeftPartialLine.arg(partial));
            }
        }
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
            failure = ProveBackup(login, written, database, pageSize, runMark);
        }
        if (failure.isEmpty() && seenHere) {
            const QString reason = ReplaceFile(written, backupFile);
            if (!reason.isEmpty())
                failure = NotRenamedText.arg(backupFile, reason);
        }
        if (!failure.isEmpty()) {
            // The backup's own file goes; an older one of its final name stays.
            // (A name of this run's own: never another run's file.)
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

QString TfrmPrincipal::ProveBackup(const TDatabaseLogin& login, const QString& backupFile, const QString& database,
    int pageSize, const QString& runMark)
{
    const TRunLog log(*this, *mmBackup, TRunLog::Append);
    TWindowSink sink(log);
    const QString scratch = ScratchDatabasePath(database, runMark);
    SetUpRestore(*dbRestore, login, backupFile, scratch, pageSize);
    dbRestore->SetActive(false);
    try {
        dbRestore->Attach();
    } catch (const Exception& failure) {
        return failure.Message();
    }
    log.Line(ProvingBackupLine);
    const TScratchGuard dropped(sink, login, scratch);
    const TRestoreResult proof = RestoreAndCheck(*dbRestore, sink, login);
    if (!proof.online)
        return proof.backupIncomplete ? WrittenBackupIncompleteText : proof.reason;
    return QString();
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
        TWindowSink sink(log);
        TRestoreRequest request;
        request.login = login;
        request.backupFile = backupFile;
        // The operator's word for it: the archive, where one was chosen.
        request.chosenBackup = chosen;
        request.destination = destination;
        request.pageSize = pageSize;
        request.proved = proved;
        // 9.-10. A failed attach leaves the run for the top-level error report.
        const TRestoreOutcome outcome = RunRestoreRoad(request, *dbRestore, sink);
        // The service's lists name the run's destination, whatever the road sent.
        NameFile(dbRestore->DatabaseName(), destination);
        if (!outcome.restored) {
            QString box = RestoreFailedText;
            if (!outcome.boxNote.isEmpty())
                box += TwoCarriageReturns + outcome.boxNote;
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
