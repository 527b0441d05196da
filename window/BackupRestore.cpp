#include "window/BackupRestore.h"

#include "core/BackupCatalogue.h"
#include "core/SiteConfig.h"
#include "core/Version.h"
#include "ibclient/Database.h"
#include "window/Appearance.h"
#include "window/Dialogs.h"
#include "window/ErrorReport.h"

#include "core/AppPaths.h"
#include "logview/LogView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QTabWidget>

TfrmPrincipal::TfrmPrincipal(QWidget* parent)
    : QWidget(parent)
    , FProgramDirectory(ExecutableDirectory())
{
    setObjectName(QStringLiteral("frmPrincipal"));
    createComponents();
    createControls();
    connectHandlers();
    ApplyAppearance(*this);
    FormCreate();
}

TfrmPrincipal::~TfrmPrincipal() = default;

void TfrmPrincipal::createComponents()
{
    DB = std::make_unique<TIBDatabase>();
    dbTransacao = std::make_unique<TIBTransaction>();
    dbComando = std::make_unique<TIBSQL>();

    DB->SetLoginPrompt(false);
    DB->SetDefaultTransaction(dbTransacao.get());
    dbTransacao->SetDefaultDatabase(DB.get());
    dbComando->SetDatabase(DB.get());
    dbComando->SetTransaction(dbTransacao.get());
}

void TfrmPrincipal::Enter(void (TfrmPrincipal::*handler)())
{
    RunReported([this, handler] { (this->*handler)(); });
}

void TfrmPrincipal::EnterRun(void (TfrmPrincipal::*handler)())
{
    // A run in progress relies on its service and connection staying as it
    // set them: no second run, connection test or browse meanwhile.
    if (FRunning)
        return;
    Enter(handler);
}

void TfrmPrincipal::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Shown by the program (not restored from the task bar by the desktop).
    if (!event->spontaneous())
        Enter(&TfrmPrincipal::FormShow);
}

bool TfrmPrincipal::event(QEvent* event)
{
    const bool result = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate)
        Enter(&TfrmPrincipal::FormActivate);
    return result;
}

void TfrmPrincipal::closeEvent(QCloseEvent* event)
{
    if (FRunning) {
        // The window stays until the run's handler has returned (TRunGuard).
        FCloseRequested = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TfrmPrincipal::FormCreate()
{
}

void TfrmPrincipal::FormShow()
{
    setWindowTitle(windowTitle() + QLatin1String(" v.") + Versao_Executavel());
    lblDestino->setText(FProgramDirectory);
    lblLocal_Restaura->setText(Busca_Diretorio(QStringLiteral("BK"), FProgramDirectory) + QLatin1String("ZUR.FDB"));
    FillCatalogue();
    PageControl1->setCurrentWidget(Backup);
    // What an interrupted run left beside the database the window starts with.
    PutRightBeforeAnything();
}

void TfrmPrincipal::FormActivate()
{
    // The page shown decides which road is looked at.
    if (PageControl1->currentIndex() == 0) {
        if (FRoadPage == TRoadPage::Backup)
            mmBackup->setFocus();
    } else {
        if (FRoadPage == TRoadPage::Restore)
            mmRestore->setFocus();
    }
}

void TfrmPrincipal::sbAbrirClick()
{
    if (!OpenDialog1->Execute())
        return;
    edCaminho->setText(OpenDialog1->FileName());
    lblLocal_Restaura->setText(edCaminho->text());
}

void TfrmPrincipal::mmBackupChange()
{
    UpdateNow();
}

void TfrmPrincipal::mmRestoreChange()
{
    UpdateNow();
}

void TfrmPrincipal::ClearCatalogue()
{
    cmbBackups->clear();
}

void TfrmPrincipal::AddCatalogueEntry(const QString& text, const QString& path)
{
    cmbBackups->addItem(text, path);
}

void TfrmPrincipal::FillCatalogue()
{
    ClearCatalogue();
    for (const TCatalogueEntry& entry : StartupEntries(lblDestino->text()))
        AddCatalogueEntry(entry.text, entry.path);
    AddCatalogueEntry(BrowseEntryText, QString());
    // The last backup listed; none when only the browse entry is there.
    cmbBackups->setCurrentIndex(cmbBackups->count() - 2);
}

void TfrmPrincipal::cmbBackupsChange()
{
    if (cmbBackups->currentText() != BrowseEntryText)
        return;
    if (FRunning)
        return;
    dbDialogo->SetInitialDir(lblDestino->text());
    if (!dbDialogo->Execute())
        return;
    ClearCatalogue();
    for (const TCatalogueEntry& entry : BrowsedEntries(DirectoryOf(dbDialogo->FileName())))
        AddCatalogueEntry(entry.text, entry.path);
    cmbBackups->setCurrentIndex(cmbBackups->count() - 1);
}

void TfrmPrincipal::AppendToCatalogue(const QString& backupFile)
{
    const TCatalogueEntry entry = CatalogueEntryFor(backupFile);
    AddCatalogueEntry(entry.text, entry.path);
    cmbBackups->setCurrentIndex(cmbBackups->count() - 1);
}

QString TfrmPrincipal::SelectedBackupPath() const
{
    if (cmbBackups->currentIndex() < 0)
        return QString();
    return cmbBackups->currentData().toString();
}

void TfrmPrincipal::AppendLogLine(TLogView& log, const QString& line)
{
    log.appendPlainText(line);
    UpdateNow();
}

void TfrmPrincipal::UpdateNow()
{
    // The window's pending repaint request, carried out now: only the parts
    // marked for repainting are painted again.
    QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
}

void TfrmPrincipal::ProcessMessages()
{
    QCoreApplication::processEvents();
}

TRunGuard::TRunGuard(TfrmPrincipal& window)
    : FWindow(window)
    , FWasRunning(window.FRunning)
{
    FWindow.FRunning = true;
}

TRunGuard::~TRunGuard()
{
    FWindow.FRunning = FWasRunning;
    if (!FWasRunning && FWindow.FCloseRequested) {
        FWindow.FCloseRequested = false;
        // Carried out by the event loop, after the handler has returned.
        QMetaObject::invokeMethod(
            &FWindow, [window = &FWindow] { window->close(); }, Qt::QueuedConnection);
    }
}

TRoadOnPage::TRoadOnPage(TfrmPrincipal& window, TfrmPrincipal::TRoadPage page)
    : FWindow(window)
    , FWas(window.FRoadPage)
{
    FWindow.FRoadPage = page;
}

TRoadOnPage::~TRoadOnPage()
{
    FWindow.FRoadPage = FWas;
}

TBusyCursor::TBusyCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

TBusyCursor::~TBusyCursor()
{
    QApplication::restoreOverrideCursor();
}
