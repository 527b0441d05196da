// The connection test and the backup and restore runs of the main window.

#include "window/BackupRestore.h"

#include "core/AppPaths.h"
#include "core/BackupNaming.h"
#include "core/RunLock.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "logview/LogFeed.h"
#include "logview/LogView.h"
#include "runs/ArchiveRestore.h"
#include "runs/BackupRoad.h"
#include "runs/ConnectionTest.h"
#include "runs/FeedOutput.h"
#include "runs/OutputReader.h"
#include "runs/RestoreRoad.h"
#include "runs/RestoreSafety.h"
#include "runs/RestoreSteps.h"
#include "window/Dialogs.h"
#include "window/ProgressBar.h"
#include "window/RunProgress.h"

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

// What was put right of an interrupted run.
const QString PutRightText
    = QStringLiteral("Uma execução interrompida do programa deixou a base de dados por terminar. O que foi "
                     "encontrado e feito:");

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

// The box that tells what was put right of an interrupted run.
void ShowPutRight(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    ShowMessageBox(PutRightText + TwoCarriageReturns + lines.join(u'\r'), AttentionCaption, TMessageKind::Information);
}

} // namespace

void TfrmPrincipal::PutRightBeforeAnything()
{
    const TRunLog log(*this, *mmBackup, TRunLog::Append);
    TWindowSink sink(log);
    const TConnectionRequest request{edServidor->text(), edCaminho->text(), edUsuario->text(), edSenha->text()};
    ShowPutRight(PutRightBeside(sink, ConnectionLogin(request), request.database));
}

void TfrmPrincipal::SpeedButton1Click()
{
    TRunGuard run(*this);
    // 1.
    imgOk->setVisible(false);
    imgErro->setVisible(true);
    // 2.-3. What an interrupted run left is put right first (its lines in
    // the backup log); then a local server gets the database file checked,
    // and the connection opens.
    const TRunLog log(*this, *mmBackup, TRunLog::Append);
    TWindowSink sink(log);
    const TConnectionOutcome outcome
        = TestConnection({edServidor->text(), edCaminho->text(), edUsuario->text(), edSenha->text()}, *DB, sink);
    ShowPutRight(outcome.putRight);
    if (outcome.result == TConnectionOutcome::DatabaseMissing) {
        ShowMessageBox(DatabaseMissingText, DatabaseMissingCaption, TMessageKind::Warning);
        return;
    }
    if (outcome.result == TConnectionOutcome::Failed) {
        // 4.
        ShowMessageBox(ConnectionFailedText, AttentionCaption, TMessageKind::Warning);
        ShowMessageBox(OriginalMessagePrefix + outcome.failure, ErrorCaption, TMessageKind::Error);
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
    const TRunLog log(*this, *mmBackup, TRunLog::Append);
    TRunProgress progress(*this, *pbBackup);
    // Failed on every way out before the end below.
    TProgressRun progressRun(progress.Job());
    TBackupOutcome outcome;
    {
        // 2. From here on every way out passes through the road's clean-up:
        // the service detached, then the default cursor.
        TBusyCursor hourGlass;
        // 3.
        UpdateNow();
        mmBackup->setFocus();
        // 4.-12. A failed attach leaves the run for the top-level error report.
        TWindowSink sink(log);
        sink.progress = &progress.Job();
        {
            const TRoadOnPage road(*this, TRoadPage::Backup);
            outcome = RunBackupRoad({login, database, backupFile, NewRunMark()}, sink);
        }
        if (!outcome.proved) {
            progress.Fail();
            ShowMessageBox(BackupFailedText + TwoCarriageReturns + QStringLiteral("Erro:") + outcome.failure,
                AttentionCaption, TMessageKind::Warning);
            return;
        }
    }
    FProvenBackup = {backupFile, FileStamp(backupFile), login.target, database, outcome.pageSize, outcome.plan};
    // 13.1
    AppendLogLine(*mmBackup, QStringLiteral("Finalizando Backup..."));
    // 13.2
    DB->SetConnected(false);
    // 13.3
    AppendToCatalogue(backupFile);
    // The backup is proved and in the catalogue: the bar is full as the box says so.
    progress.Finish();
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
    const QString chosen = SelectedBackupPath();
    if (!FileExists(chosen))
        return;
    // The run's own values, read once: what the operator types meanwhile
    // changes nothing of this run.
    const QString destination = edCaminho->text();
    const TDatabaseLogin login{RestoreServiceTarget(edServidor->text()), edUsuario->text(), edSenha->text()};
    const TRunLog log(*this, *mmRestore, TRunLog::InsertAtEnd);
    TRunProgress progress(*this, *pbRestore);
    // Failed on every way out before the end below; a run refused before
    // the road started its estimate leaves the bar at nothing.
    TProgressRun progressRun(progress.Job());
    // An archive: the server restores the backup extracted from it into a
    // file of this run's own, which goes on every way out of the run.
    TExtractedBackup extracted;
    if (IsBackupArchive(chosen)) {
        mmRestore->setFocus();
        TBusyCursor hourGlass;
        if (!ExtractForRestore(
                chosen, login.target, ProgramDirectory(), [&log](const QString& line) { log.Line(line); },
                &TfrmPrincipal::ProcessMessages, extracted)) {
            progress.Fail();
            ShowMessageBox(RestoreFailedText, AttentionCaption, TMessageKind::Warning);
            return;
        }
    }
    const QString backupFile = extracted.Path().isEmpty() ? chosen : extracted.Path();
    // A backup this program run proved on the database it was made of needs
    // no trial over it.
    const bool proved = FProvenBackup.Covers(backupFile, login.target, destination);
    {
        // 8. From here on every way out passes through the clean-up of step
        // 11: the service detached, then the default cursor.
        mmRestore->setFocus();
        TBusyCursor hourGlass;
        TWindowSink sink(log);
        sink.progress = &progress.Job();
        TRestoreRequest request;
        request.login = login;
        request.backupFile = backupFile;
        // The operator's word for it: the archive, where one was chosen.
        request.chosenBackup = chosen;
        request.destination = destination;
        // Never smaller pages than the backup's database had.
        request.pageSize = proved ? FProvenBackup.pageSize : RestorePageSize(BackupPageSize(backupFile));
        request.proved = proved;
        // What the proof restored is what this restore will move.
        if (proved)
            request.plan = FProvenBackup.plan;
        // 9.-11. A failed attach leaves the run for the top-level error report.
        TRestoreOutcome outcome;
        {
            const TRoadOnPage road(*this, TRoadPage::Restore);
            outcome = RunRestoreRoad(request, sink);
        }
        if (!outcome.restored) {
            QString box = RestoreFailedText;
            if (!outcome.boxNote.isEmpty())
                box += TwoCarriageReturns + outcome.boxNote;
            progress.Fail();
            ShowMessageBox(box, AttentionCaption, TMessageKind::Warning);
            return;
        }
    }
    // The server is done with the extracted backup: gone before the box.
    extracted = TExtractedBackup();
    // 12.1 The database this run restored.
    lblBase_Restaurada->setText(destination);
    // The restored database is online at its path: the bar is full as the box says so.
    progress.Finish();
    // 12.2
    ShowMessageBox(RestoreSucceededText, OkCaption, TMessageKind::Information);
    // 12.3
    btnRestore->setEnabled(false);
}
