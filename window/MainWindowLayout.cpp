// The controls of the main window: their structure, names, texts and initial
// states, with a plain placement. Their look (exact geometry, frames, fonts,
// colours, pictures, tab order) is given by ApplyAppearance.
//
// Controls aligned as a top band or a fill sit in box layouts without
// spacing, so they follow the window's size; all others keep their place
// from their parent's top-left corner.

#include "window/BackupRestore.h"

#include "logview/LogView.h"
#include "window/Dialogs.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>

namespace {

// Turns every letter typed (or set) into upper case.
class TUpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& position) const override
    {
        input = input.toUpper();
        if (position > input.size())
            position = static_cast<int>(input.size());
        return Acceptable;
    }
};

template <class Control> Control* Create(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(left, top, width, height);
    return control;
}

QFrame* CreatePanel(QWidget* parent, const char* name)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    return panel;
}

// A layout in which child takes all of parent's client area inside a border.
void Fill(QWidget* parent, QWidget* child, int border)
{
    auto* layout = new QVBoxLayout(parent);
    layout->setContentsMargins(border, border, border, border);
    layout->setSpacing(0);
    layout->addWidget(child);
}

QLabel* CreateLabel(QWidget* parent, const char* name, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

void TfrmPrincipal::createControls()
{
    setWindowTitle(QStringLiteral(".: Utilitário de Backup e Restore ::.."));
    resize(566, 463);
    createConfigPanel();
    createPages();
    createDialogs();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnConfig);
    layout->addWidget(Panel1, 1);
}

void TfrmPrincipal::createConfigPanel()
{
    pnConfig = CreatePanel(this, "pnConfig");
    pnConfig->setFixedHeight(124);
    createConnectionFields();
    createConnectionTest();
}

void TfrmPrincipal::createConnectionFields()
{
    Label13 = CreateLabel(pnConfig, "Label13", QStringLiteral("DIRETÓRIO DO BANCO DE DADOS"), 20, 15);

    edServidor = Create<QLineEdit>(pnConfig, "edServidor", 30, 30, 105, 23);
    edServidor->setText(QStringLiteral("localhost/3055:"));

    edCaminho = Create<QLineEdit>(pnConfig, "edCaminho", 140, 30, 330, 23);
    edCaminho->setText(QStringLiteral("C:\\QRT\\DADOS\\DADOS.FDB"));

    sbAbrir = Create<QToolButton>(pnConfig, "sbAbrir", 470, 28, 29, 28);
    sbAbrir->setAutoRaise(true);
    sbAbrir->setFocusPolicy(Qt::NoFocus);
    sbAbrir->setToolTip(QStringLiteral("Pesquisa Pasta"));

    Label1 = CreateLabel(pnConfig, "Label1", QStringLiteral("USUÁRIO E SENHA"), 20, 70);

    edUsuario = Create<QLineEdit>(pnConfig, "edUsuario", 30, 85, 75, 23);
    edUsuario->setValidator(new TUpperCaseValidator(edUsuario));
    edUsuario->setText(QStringLiteral("SYSDBA"));

    edSenha = Create<QLineEdit>(pnConfig, "edSenha", 110, 85, 80, 23);
    edSenha->setEchoMode(QLineEdit::Password);
    edSenha->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    edSenha->setText(QStringLiteral("plumtrove"));
}

void TfrmPrincipal::createConnectionTest()
{
    SpeedButton1 = Create<QToolButton>(pnConfig, "SpeedButton1", 244, 81, 150, 29);
    SpeedButton1->setText(QStringLiteral("Testar Conexão"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);

    Panel5 = Create<QFrame>(pnConfig, "Panel5", 400, 77, 39, 33);
    imgOk = Create<QLabel>(Panel5, "imgOk", 2, 2, 31, 29);
    imgOk->setVisible(false);
    imgErro = Create<QLabel>(Panel5, "imgErro", 2, 2, 31, 29);
}

void TfrmPrincipal::createPages()
{
    Panel1 = CreatePanel(this, "Panel1");
    PageControl1 = new QTabWidget(Panel1);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    Fill(Panel1, PageControl1, 2);
    createBackupPage();
    createRestorePage();
    PageControl1->setCurrentWidget(Backup);
}

void TfrmPrincipal::createBackupPage()
{
    Backup = new QWidget;
    Backup->setObjectName(QStringLiteral("Backup"));
    PageControl1->addTab(Backup, QStringLiteral(".: Backup ::.."));
    Panel3 = CreatePanel(Backup, "Panel3");
    Fill(Backup, Panel3, 5);

    Image1 = Create<QLabel>(Panel3, "Image1", 425, 16, 100, 100);

    gbRepositorio = Create<QGroupBox>(Panel3, "gbRepositorio", 16, 16, 404, 41);
    gbRepositorio->setTitle(QStringLiteral("Repositório de Backup: "));
    lblDestino = CreateLabel(gbRepositorio, "lblDestino", QStringLiteral("..."), 10, 19);

    btnBackup = Create<QPushButton>(Panel3, "btnBackup", 16, 68, 145, 41);
    btnBackup->setText(QStringLiteral("Iniciar &Backup"));

    mmBackup = Create<TLogView>(Panel3, "mmBackup", 16, 120, 505, 167);
}

void TfrmPrincipal::createRestorePage()
{
    Restore = new QWidget;
    Restore->setObjectName(QStringLiteral("Restore"));
    PageControl1->addTab(Restore, QStringLiteral(".: Restore ::.."));
    Panel2 = CreatePanel(Restore, "Panel2");
    Fill(Restore, Panel2, 5);

    Image2 = Create<QLabel>(Panel2, "Image2", 11, 12, 100, 100);

    gbDestino = Create<QGroupBox>(Panel2, "gbDestino", 117, 16, 404, 41);
    gbDestino->setTitle(QStringLiteral(" Local onde será restaurado: "));
    lblLocal_Restaura = CreateLabel(gbDestino, "lblLocal_Restaura", QStringLiteral("..."), 10, 19);

    gbArquivo_Restaurar = Create<QGroupBox>(Panel2, "gbArquivo_Restaurar", 117, 64, 404, 49);
    gbArquivo_Restaurar->setTitle(QStringLiteral(" Backup a ser restaurado: "));
    cmbBackups = Create<QComboBox>(gbArquivo_Restaurar, "cmbBackups", 8, 19, 377, 21);
    cmbBackups->setEditable(false);

    btnRestore = Create<QPushButton>(Panel2, "btnRestore", 16, 128, 145, 41);
    btnRestore->setText(QStringLiteral("Iniciar &Restore"));

    mmRestore = Create<TLogView>(Panel2, "mmRestore", 16, 175, 505, 113);

    GroupBox6 = Create<QGroupBox>(Panel2, "GroupBox6", 16, 295, 505, 41);
    GroupBox6->setTitle(QStringLiteral(" Base de dados restaurada: "));
    lblBase_Restaurada = CreateLabel(GroupBox6, "lblBase_Restaurada", QStringLiteral("..."), 10, 19);
}

void TfrmPrincipal::createDialogs()
{
    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->SetFilter({{QStringLiteral("Bancos FDB"), QStringLiteral("*.FDB")},
        {QStringLiteral(" Bancos GDB"), QStringLiteral("*.GDB")},
        {QStringLiteral("Bandos DAT"), QStringLiteral("*.DAT")}});
    OpenDialog1->SetFilterIndex(0);
    OpenDialog1->SetInitialDir(QStringLiteral("C:\\Veltrano\\ZUR\\Importa"));

    dbDialogo = new TOpenDialog(this);
    dbDialogo->setObjectName(QStringLiteral("dbDialogo"));
    dbDialogo->SetFilter({{QStringLiteral("Backup's FireBird"), QStringLiteral("*.FBK")},
        {QStringLiteral("Backup's Compactados"), QStringLiteral("*.ZIP")}});
    dbDialogo->SetFilterIndex(0);
    dbDialogo->SetDefaultExt(QStringLiteral("ZIP"));
}

void TfrmPrincipal::connectHandlers()
{
    connect(sbAbrir, &QToolButton::clicked, this, [this] { EnterRun(&TfrmPrincipal::sbAbrirClick); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { EnterRun(&TfrmPrincipal::SpeedButton1Click); });
    connect(btnBackup, &QPushButton::clicked, this, [this] { EnterRun(&TfrmPrincipal::btnBackupClick); });
    connect(btnRestore, &QPushButton::clicked, this, [this] { EnterRun(&TfrmPrincipal::btnRestoreClick); });
    connect(mmBackup, &TLogView::textChanged, this, [this] { Enter(&TfrmPrincipal::mmBackupChange); });
    connect(mmRestore, &TLogView::textChanged, this, [this] { Enter(&TfrmPrincipal::mmRestoreChange); });
    // Only the operator's choice, not a selection set by the program.
    connect(
        cmbBackups, qOverload<int>(&QComboBox::activated), this, [this] { Enter(&TfrmPrincipal::cmbBackupsChange); });
}
