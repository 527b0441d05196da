// The connection test and the backup and restore runs of the main window.

#include "BackupRestore.h"

#include "AppPaths.h"
#include "BackupNaming.h"
#include "BackupRestoreServices.h"
#include "Database.h"
#include "Dialogs.h"
#include "Errors.h"
#include "LogFeed.h"
#include "LogView.h"
#include "OutputReader.h"
#include "RestoreSafety.h"
#include "StringList.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

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
const QString IncompleteRestoreLine = QStringLiteral("A base restaurada está incompleta. O Restore não foi concluído!");
const QString ScratchNotRemovedLine = QStringLiteral("Não foi possível remover a base de teste %1: %2");

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

// A line at the end of the restore log: the caret moved to the end of the
// text first, so that the line lands there even after the operator clicked or
// typed into the log, then the line and a carriage return and line feed
// inserted at the caret.
void InsertLineAtEnd(TLogView& log, const QString& line)
{
    InsertLinesAtEnd(log, {line});
}

// Reads a started service's output to its end into a log, one line per query
// on a thread of its own, while this thread puts the lines into the log and
// processes the window's pending messages between lines. The last line is the
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

// The restore's output at the end of the restore log, each line with CR LF.
void ReadRestoreOutput(TIBRestoreService& service, TLogView& log)
{
    ReadOutput(service, log, [&log](const QStringList& lines) { InsertLinesAtEnd(log, lines); });
}

// The backup's output appended to the backup log, each line as a new line.
void ReadBackupOutput(TIBBackupService& service, TLogView& log)
{
    ReadOutput(service, log, [&log](const QStringList& lines) { AppendLines(log, lines); });
}

// Drops the scratch database wherever the server allows it; when it does not,
// the log says so.
void RemoveScratchDatabase(TLogView& log, const TDatabaseLogin& login, const QString& scratch)
{
    try {
        DropDatabaseAt(login, scratch);
    } catch (const Exception& failure) {
        InsertLineAtEnd(log, ScratchNotRemovedLine.arg(scratch, failure.Message()));
    }
}

// Tries a backup that has not proved itself before it may replace a database:
// restores it with the service's settings (Replace included) into the scratch
// database beside the destination, reads the output into the log under a line
// that says what is being checked, looks whether the scratch database came out
// online and drops it. True only when it did; the destination is not touched.
// A failed attach leaves for the top-level error report; on every other way
// out the service is detached and names the destination again.
bool BackupRestoresCompletely(
    TIBRestoreService& service, TLogView& log, const TDatabaseLogin& login, const QString& destination)
{
    TDetachOnExit detach(service);
    service.Attach();
    InsertLineAtEnd(log, CheckingBackupLine);
    const QString scratch = ScratchDatabasePath(destination);
    service.DatabaseName().Clear();
    service.DatabaseName().Add(scratch);
    bool checked = false;
    bool online = false;
    try {
        service.ServiceStart();
        ReadRestoreOutput(service, log);
        online = DatabaseIsOnline(login, scratch);
        checked = true;
    } catch (const Exception&) {
        // The run reports the failure with its fixed text; the backup did not
        // prove itself.
        online = false;
    }
    service.DatabaseName().Clear();
    service.DatabaseName().Add(destination);
    RemoveScratchDatabase(log, login, scratch);
    if (checked && !online)
        InsertLineAtEnd(log, IncompleteBackupLine);
    detach.Now();
    return online;
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
        const TServiceTarget target = BackupServiceTarget(edServidor->text());
        if (target.tcp) {
            dbBackup->SetServerName(target.serverName);
            dbBackup->SetProtocol(TCP);
        } else {
            dbBackup->SetProtocol(Local);
        }
        // 6.
        dbBackup->Params().Clear();
        dbBackup->Params().SetValue(QStringLiteral("user_name"), edUsuario->text());
        dbBackup->Params().SetValue(QStringLiteral("password"), edSenha->text());
        // 7.
        dbBackup->SetLoginPrompt(false);
        dbBackup->SetOptions({});
        // 8.
        dbBackup->BackupFile().Clear();
        dbBackup->BackupFile().Add(BackupFileName(ProgramDirectory(), edCaminho->text(), Today()));
        // 9.
        dbBackup->SetDatabaseName(edCaminho->text());
        dbBackup->SetVerbose(true);
        // 10. A failed attach leaves the run for the top-level error report.
        dbBackup->Attach();
        // 11.
        try {
            dbBackup->ServiceStart();
            ReadBackupOutput(*dbBackup, *mmBackup);
        } catch (const Exception& failure) {
            ShowMessageBox(BackupFailedText + TwoCarriageReturns + QStringLiteral("Erro:") + failure.Message(),
                AttentionCaption, TMessageKind::Warning);
            cleanUp.Now();
            return;
        }
        // 12.
        cleanUp.Now();
    }
    // The output reached its end: this file has proved itself (see the restore).
    const QString backupFile = dbBackup->BackupFile()[0];
    FBackupJustMade = backupFile;
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

void TfrmPrincipal::btnRestoreClick()
{
    TRunGuard run(*this);
    // 1.
    DB->SetConnected(false);
    // 2. Nothing to restore: the run ends silently.
    const QString backupFile = SelectedBackupPath();
    if (!FileExists(backupFile))
        return;
    // 3.
    dbRestore->SetLoginPrompt(false);
    dbRestore->Params().Clear();
    dbRestore->Params().Add(QStringLiteral("user_name=") + edUsuario->text());
    dbRestore->Params().Add(QStringLiteral("password=") + edSenha->text());
    // 4.
    const QString destination = edCaminho->text();
    dbRestore->DatabaseName().Clear();
    dbRestore->DatabaseName().Add(destination);
    // 5.
    dbRestore->BackupFile().Clear();
    dbRestore->BackupFile().Add(backupFile);
    // 6.
    dbRestore->SetServerName(RestoreServerName(edServidor->text()));
    if (!dbRestore->ServerName().isEmpty())
        dbRestore->SetProtocol(TCP);
    // 7.
    dbRestore->SetActive(false);
    const TDatabaseLogin login{edServidor->text(), edUsuario->text(), edSenha->text()};
    {
        // 8. From here on every way out passes through the clean-up of step
        // 11: the service detached, then the default cursor.
        mmRestore->setFocus();
        TBusyCursor hourGlass;
        TDetachOnExit cleanUp(*dbRestore);
        // A restore replaces the database at the destination, and drops it
        // before it reads the backup. A backup other than the one this program
        // run has just written proves itself on a scratch database first.
        if (backupFile != FBackupJustMade && DatabaseMayExist(login, destination)
            && !BackupRestoresCompletely(*dbRestore, *mmRestore, login, destination)) {
            ShowMessageBox(RestoreFailedText, AttentionCaption, TMessageKind::Warning);
            cleanUp.Now();
            return;
        }
        // 9. A failed attach leaves the run for the top-level error report.
        dbRestore->Attach();
        // 10. The output's end is not the restore's success: a backup cut
        // short ends its output as a whole one does, and leaves the database
        // shut down.
        bool restored = false;
        try {
            dbRestore->ServiceStart();
            ReadRestoreOutput(*dbRestore, *mmRestore);
            restored = DatabaseIsOnline(login, destination);
            if (!restored)
                InsertLineAtEnd(*mmRestore, IncompleteRestoreLine);
        } catch (const Exception&) {
            // Reported with the run's fixed text, without the failure's own.
            restored = false;
        }
        if (!restored) {
            ShowMessageBox(RestoreFailedText, AttentionCaption, TMessageKind::Warning);
            cleanUp.Now();
            return;
        }
        // 11.
        cleanUp.Now();
    }
    // 12.1
    lblBase_Restaurada->setText(edCaminho->text());
    // 12.2
    ShowMessageBox(RestoreSucceededText, OkCaption, TMessageKind::Information);
    // 12.3
    btnRestore->setEnabled(false);
}
