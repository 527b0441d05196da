// The controls of the main window: their structure, names, texts and initial
// states, at their places in the window's geometry (Geometry.h), each
// recorded with its place. Their look (frames, fonts, colours, pictures, tab
// order, the geometry scaled to the screen) is given by ApplyAppearance.
//
// Controls aligned as a top band or a fill sit in box layouts without
// spacing, so they follow the window's size; all others keep their place
// from their parent's top-left corner.

#include "window/BackupRestore.h"

#include "core/StartValues.h"
#include "logview/LogView.h"
#include "window/Dialogs.h"
#include "window/Geometry.h"
#include "window/ProgressBar.h"

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

const TWindowGeometry& G = WindowGeometry;

template <class Control>
Control* Create(TPlacedControls& placed, QWidget* parent, const char* name, const TPlace& place)
{
    auto* control = new Control(parent);
    control->setObjectName(QLatin1String(name));
    control->setGeometry(place.left, place.top, place.width, place.height);
    placed.push_back({control, place});
    return control;
}

// A panel aligned in its parent, which a box layout makes it follow.
template <class Panel>
Panel* CreateAligned(TPlacedControls& placed, QWidget* parent, const char* name, const TPlace& place)
{
    auto* panel = new Panel(parent);
    panel->setObjectName(QLatin1String(name));
    placed.push_back({panel, place});
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

QLabel* CreateLabel(
    TPlacedControls& placed, QWidget* parent, const char* name, const QString& text, const TPlace& place)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(place.left, place.top);
    label->adjustSize();
    placed.push_back({label, place});
    return label;
}

} // namespace

void TfrmPrincipal::createControls()
{
    setWindowTitle(QStringLiteral(".: Utilitário de Backup e Restore ::.."));
    resize(G.clientWidth, G.clientHeight);
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
    pnConfig = CreateAligned<QFrame>(FPlaced, this, "pnConfig", G.pnConfig);
    pnConfig->setFixedHeight(G.pnConfig.height);
    createConnectionFields();
    createConnectionTest();
}

void TfrmPrincipal::createConnectionFields()
{
    Label13 = CreateLabel(FPlaced, pnConfig, "Label13", QStringLiteral("DIRETÓRIO DO BANCO DE DADOS"), G.Label13);

    edServidor = Create<QLineEdit>(FPlaced, pnConfig, "edServidor", G.edServidor);
    edServidor->setText(startvalues::Server());

    edCaminho = Create<QLineEdit>(FPlaced, pnConfig, "edCaminho", G.edCaminho);
    edCaminho->setText(startvalues::Database());

    sbAbrir = Create<QToolButton>(FPlaced, pnConfig, "sbAbrir", G.sbAbrir);
    sbAbrir->setAutoRaise(true);
    sbAbrir->setFocusPolicy(Qt::NoFocus);
    sbAbrir->setToolTip(QStringLiteral("Pesquisa Pasta"));

    Label1 = CreateLabel(FPlaced, pnConfig, "Label1", QStringLiteral("USUÁRIO E SENHA"), G.Label1);

    edUsuario = Create<QLineEdit>(FPlaced, pnConfig, "edUsuario", G.edUsuario);
    edUsuario->setValidator(new TUpperCaseValidator(edUsuario));
    edUsuario->setText(startvalues::User());

    edSenha = Create<QLineEdit>(FPlaced, pnConfig, "edSenha", G.edSenha);
    edSenha->setEchoMode(QLineEdit::Password);
    edSenha->setStyleSheet(QStringLiteral("lineedit-password-character: 42")); // "*"
    edSenha->setText(startvalues::Password());
}

void TfrmPrincipal::createConnectionTest()
{
    SpeedButton1 = Create<QToolButton>(FPlaced, pnConfig, "SpeedButton1", G.SpeedButton1);
    SpeedButton1->setText(QStringLiteral("Testar Conexão"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);

    Panel5 = Create<QFrame>(FPlaced, pnConfig, "Panel5", G.Panel5);
    imgOk = Create<QLabel>(FPlaced, Panel5, "imgOk", G.imgOk);
    imgOk->setVisible(false);
    imgErro = Create<QLabel>(FPlaced, Panel5, "imgErro", G.imgErro);
}

void TfrmPrincipal::createPages()
{
    Panel1 = CreateAligned<QFrame>(FPlaced, this, "Panel1", G.Panel1);
    PageControl1 = CreateAligned<QTabWidget>(FPlaced, Panel1, "PageControl1", G.PageControl1);
    Fill(Panel1, PageControl1, 0);
    createBackupPage();
    createRestorePage();
    PageControl1->setCurrentWidget(Backup);
}

void TfrmPrincipal::createBackupPage()
{
    Backup = new QWidget;
    Backup->setObjectName(QStringLiteral("Backup"));
    PageControl1->addTab(Backup, QStringLiteral(".: Backup ::.."));
    Panel3 = CreateAligned<QFrame>(FPlaced, Backup, "Panel3", G.Panel3);
    Fill(Backup, Panel3, G.pageBorder);

    Image1 = Create<QLabel>(FPlaced, Panel3, "Image1", G.Image1);

    gbRepositorio = Create<QGroupBox>(FPlaced, Panel3, "gbRepositorio", G.gbRepositorio);
    gbRepositorio->setTitle(QStringLiteral("Repositório de Backup: "));
    lblDestino = CreateLabel(FPlaced, gbRepositorio, "lblDestino", QStringLiteral("..."), G.lblDestino);

    btnBackup = Create<QPushButton>(FPlaced, Panel3, "btnBackup", G.btnBackup);
    btnBackup->setText(QStringLiteral("Iniciar &Backup"));

    mmBackup = Create<TLogView>(FPlaced, Panel3, "mmBackup", G.mmBackup);

    pbBackup = Create<TProgressBar>(FPlaced, Panel3, "pbBackup", G.pbBackup);
    pbBackup->setVisible(false);
}

void TfrmPrincipal::createRestorePage()
{
    Restore = new QWidget;
    Restore->setObjectName(QStringLiteral("Restore"));
    PageControl1->addTab(Restore, QStringLiteral(".: Restore ::.."));
    Panel2 = CreateAligned<QFrame>(FPlaced, Restore, "Panel2", G.Panel2);
    Fill(Restore, Panel2, G.pageBorder);

    Image2 = Create<QLabel>(FPlaced, Panel2, "Image2", G.Image2);

    gbDestino = Create<QGroupBox>(FPlaced, Panel2, "gbDestino", G.gbDestino);
    gbDestino->setTitle(QStringLiteral(" Local onde será restaurado: "));
    lblLocal_Restaura
        = CreateLabel(FPlaced, gbDestino, "lblLocal_Restaura", QStringLiteral("..."), G.lblLocal_Restaura);

    gbArquivo_Restaurar = Create<QGroupBox>(FPlaced, Panel2, "gbArquivo_Restaurar", G.gbArquivo_Restaurar);
    gbArquivo_Restaurar->setTitle(QStringLiteral(" Backup a ser restaurado: "));
    cmbBackups = Create<QComboBox>(FPlaced, gbArquivo_Restaurar, "cmbBackups", G.cmbBackups);
    cmbBackups->setEditable(false);

    btnRestore = Create<QPushButton>(FPlaced, Panel2, "btnRestore", G.btnRestore);
    btnRestore->setText(QStringLiteral("Iniciar &Restore"));

    mmRestore = Create<TLogView>(FPlaced, Panel2, "mmRestore", G.mmRestore);

    pbRestore = Create<TProgressBar>(FPlaced, Panel2, "pbRestore", G.pbRestore);
    pbRestore->setVisible(false);

    GroupBox6 = Create<QGroupBox>(FPlaced, Panel2, "GroupBox6", G.GroupBox6);
    GroupBox6->setTitle(QStringLiteral(" Base de dados restaurada: "));
    lblBase_Restaurada
        = CreateLabel(FPlaced, GroupBox6, "lblBase_Restaurada", QStringLiteral("..."), G.lblBase_Restaurada);
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
