#pragma once
// The program's one window: the connection settings, the backup page, the
// restore page with the catalogue of backups, and the components that talk to
// the server.

#include "runs/RestoreSafety.h"
#include "window/Geometry.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class TLogView;
class QPushButton;
class QTabWidget;
class QToolButton;

class TIBDatabase;
class TIBTransaction;
class TIBSQL;
class TOpenDialog;
class TProgressBar;
struct TProgressState;

class TfrmPrincipal : public QWidget {
    Q_OBJECT
public:
    // Creates the components (the first of them loads the client library:
    // without one this throws EIBClientError 1), then the controls.
    explicit TfrmPrincipal(QWidget* parent = nullptr);
    ~TfrmPrincipal() override;

    // Controls, owned by their parents; each carries its name as object name.
    QFrame* pnConfig = nullptr;
    QLabel* Label13 = nullptr;
    QLineEdit* edServidor = nullptr;
    QLineEdit* edCaminho = nullptr;
    QToolButton* sbAbrir = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* edUsuario = nullptr;
    QLineEdit* edSenha = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QFrame* Panel5 = nullptr;
    QLabel* imgOk = nullptr;
    QLabel* imgErro = nullptr;
    QFrame* Panel1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QWidget* Backup = nullptr;
    QFrame* Panel3 = nullptr;
    QLabel* Image1 = nullptr;
    QGroupBox* gbRepositorio = nullptr;
    QLabel* lblDestino = nullptr;
    QPushButton* btnBackup = nullptr;
    TLogView* mmBackup = nullptr;
    // How far along the page's run is; hidden until the page's first run.
    TProgressBar* pbBackup = nullptr;
    QWidget* Restore = nullptr;
    QFrame* Panel2 = nullptr;
    QLabel* Image2 = nullptr;
    QGroupBox* gbDestino = nullptr;
    QLabel* lblLocal_Restaura = nullptr;
    QGroupBox* gbArquivo_Restaurar = nullptr;
    QComboBox* cmbBackups = nullptr;
    QPushButton* btnRestore = nullptr;
    TLogView* mmRestore = nullptr;
    TProgressBar* pbRestore = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QLabel* lblBase_Restaurada = nullptr;
    TOpenDialog* OpenDialog1 = nullptr;
    TOpenDialog* dbDialogo = nullptr;
    // The controls with their places in the window's geometry, parent before
    // child, as MainWindowLayout.cpp made them.
    const TPlacedControls& PlacedControls() const { return FPlaced; }

    // Components, created in this order and destroyed in the reverse one.
    // The connection opened by the connection test; the backup and restore
    // services are the roads' own (runs/), made and ended by each run.
    std::unique_ptr<TIBDatabase> DB;
    std::unique_ptr<TIBTransaction> dbTransacao;
    std::unique_ptr<TIBSQL> dbComando;

    // Handlers. The window enters each of them through the top-level error
    // report (ErrorReport.h); called directly, a failure leaves them.
    void FormCreate();
    void FormShow();
    void FormActivate();
    void sbAbrirClick();
    void mmBackupChange();
    void mmRestoreChange();
    void cmbBackupsChange();
    // The runs (Runs.cpp). While one is in progress the window does not enter
    // any of them, nor the browse of the catalogue.
    void SpeedButton1Click();
    void btnBackupClick();
    void btnRestoreClick();
    // Puts right what an interrupted run left beside the database of the
    // fields (Runs.cpp): its lines in the backup log, one box when there was
    // anything.
    void PutRightBeforeAnything();

    // The catalogue of backups in cmbBackups. Each entry shows the path
    // upper-cased and keeps the path as listed in its item data.
    // The start-up fill from the directory in lblDestino, with its selection.
    void FillCatalogue();
    // Adds a new backup file at the end and selects it.
    void AppendToCatalogue(const QString& backupFile);
    // The file of the selected entry as listed; empty when nothing or the
    // browse entry is selected.
    QString SelectedBackupPath() const;

    // The directory the window takes for the executable's: where backups are
    // written and looked for, and where the site configuration file lies.
    // Tests point it at a folder of their own before the window is shown.
    QString ProgramDirectory() const { return FProgramDirectory; }
    void SetProgramDirectory(const QString& directory) { FProgramDirectory = directory; }

    // Told of every state a run's bar shows, as it shows it (tests and the
    // bench record them); nobody is told when it is empty.
    std::function<void(const TProgressState&)> progressShown;

    // Helpers of the runs.
    // Whether a run is in progress (set by TRunGuard).
    bool Running() const { return FRunning; }
    // The page whose road is talking to the server (its service attached),
    // set by TRoadOnPage; none otherwise.
    enum class TRoadPage { None, Backup, Restore };
    TRoadPage RoadInProgress() const { return FRoadPage; }
    // Adds a line at the end of a log and shows it at once.
    void AppendLogLine(TLogView& log, const QString& line);
    // Repaints at once whatever part of the window waits to be repainted.
    void UpdateNow();
    // Lets the window system process the pending messages once.
    static void ProcessMessages();

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class TRunGuard;
    friend class TRoadOnPage;

    // MainWindowLayout.cpp: the controls, built in small steps.
    void createControls();
    void createConfigPanel();
    void createConnectionFields();
    void createConnectionTest();
    void createPages();
    void createBackupPage();
    void createRestorePage();
    void createDialogs();
    void connectHandlers();

    void createComponents();
    // Enters a handler through the top-level error report.
    void Enter(void (TfrmPrincipal::*handler)());
    // The same for a run's handler, which is not entered while a run is in progress.
    void EnterRun(void (TfrmPrincipal::*handler)());
    void ClearCatalogue();
    void AddCatalogueEntry(const QString& text, const QString& path);

    TPlacedControls FPlaced;
    QString FProgramDirectory;
    // The backup that the last successful backup run of this program run
    // wrote and proved (Runs.cpp); empty until then.
    TProvenBackup FProvenBackup;
    bool FRunning = false;
    bool FCloseRequested = false;
    TRoadPage FRoadPage = TRoadPage::None;
};

// Marks the road of a page at work for its lifetime.
class TRoadOnPage {
public:
    TRoadOnPage(TfrmPrincipal& window, TfrmPrincipal::TRoadPage page);
    ~TRoadOnPage();
    TRoadOnPage(const TRoadOnPage&) = delete;
    TRoadOnPage& operator=(const TRoadOnPage&) = delete;

private:
    TfrmPrincipal& FWindow;
    TfrmPrincipal::TRoadPage FWas;
};

// Marks a run in progress for its lifetime. A close of the window asked for
// meanwhile is carried out once the run's handler has returned.
class TRunGuard {
public:
    explicit TRunGuard(TfrmPrincipal& window);
    ~TRunGuard();
    TRunGuard(const TRunGuard&) = delete;
    TRunGuard& operator=(const TRunGuard&) = delete;

private:
    TfrmPrincipal& FWindow;
    bool FWasRunning;
};

// The hour-glass cursor for the whole screen for its lifetime; the default
// cursor again afterwards, on every way out.
class TBusyCursor {
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};
