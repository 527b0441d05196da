// The main window: its controls and components as created, what showing and
// activating it do, the database browse, the text fields, the repaint on log
// changes and the window's behaviour while a run is in progress.

#include "WindowTestSupport.h"

#include "core/AppPaths.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "runs/RunServices.h"

#include "logview/LogView.h"
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

namespace {

const QString FormCaption = QStringLiteral(".: Utilitário de Backup e Restore ::..");

class MainWindowTest : public WindowTest { };

// Counts the paint events that reach a widget.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget* widget)
        : QObject(widget)
    {
        widget->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

const std::vector<const char*> ControlNames = {
    "pnConfig",
    "Label13",
    "edServidor",
    "edCaminho",
    "sbAbrir",
    "Label1",
    "edUsuario",
    "edSenha",
    "SpeedButton1",
    "Panel5",
    "imgOk",
    "imgErro",
    "Panel1",
    "PageControl1",
    "Backup",
    "Panel3",
    "Image1",
    "gbRepositorio",
    "lblDestino",
    "btnBackup",
    "mmBackup",
    "Restore",
    "Panel2",
    "Image2",
    "gbDestino",
    "lblLocal_Restaura",
    "gbArquivo_Restaurar",
    "cmbBackups",
    "btnRestore",
    "mmRestore",
    "GroupBox6",
    "lblBase_Restaurada",
};

} // namespace

TEST_F(MainWindowTest, EveryControlCarriesItsNameAndKind)
{
    auto window = MakeWindow();
    EXPECT_EQ(window->objectName(), QStringLiteral("frmPrincipal"));
    const std::vector<std::pair<const char*, const char*>> controls = {
        {"pnConfig", "QFrame"},
        {"Label13", "QLabel"},
        {"edServidor", "QLineEdit"},
        {"edCaminho", "QLineEdit"},
        {"sbAbrir", "QToolButton"},
        {"Label1", "QLabel"},
        {"edUsuario", "QLineEdit"},
        {"edSenha", "QLineEdit"},
        {"SpeedButton1", "QToolButton"},
        {"Panel5", "QFrame"},
        {"imgOk", "QLabel"},
        {"imgErro", "QLabel"},
        {"Panel1", "QFrame"},
        {"PageControl1", "QTabWidget"},
        {"Backup", "QWidget"},
        {"Panel3", "QFrame"},
        {"Image1", "QLabel"},
        {"gbRepositorio", "QGroupBox"},
        {"lblDestino", "QLabel"},
        {"btnBackup", "QPushButton"},
        {"mmBackup", "TLogView"},
        {"Restore", "QWidget"},
        {"Panel2", "QFrame"},
        {"Image2", "QLabel"},
        {"gbDestino", "QGroupBox"},
        {"lblLocal_Restaura", "QLabel"},
        {"gbArquivo_Restaurar", "QGroupBox"},
        {"cmbBackups", "QComboBox"},
        {"btnRestore", "QPushButton"},
        {"mmRestore", "TLogView"},
        {"GroupBox6", "QGroupBox"},
        {"lblBase_Restaurada", "QLabel"},
        {"OpenDialog1", "TOpenDialog"},
        {"dbDialogo", "TOpenDialog"},
    };
    for (const auto& [name, kind] : controls) {
        const QList<QObject*> found = window->findChildren<QObject*>(QLatin1String(name));
        ASSERT_EQ(found.size(), 1) << name;
        EXPECT_EQ(QString::fromLatin1(found.first()->metaObject()->className()), QLatin1String(kind)) << name;
    }

    // The parents that the panels' roles rely on.
    auto* pnConfig = Find<QFrame>(*window, "pnConfig");
    for (const char* name : {"edServidor", "edCaminho", "sbAbrir", "edUsuario", "edSenha", "SpeedButton1", "imgOk",
             "imgErro", "Label13", "Label1"})
        EXPECT_TRUE(pnConfig->isAncestorOf(Find<QWidget>(*window, name))) << name;
    auto* pages = Find<QTabWidget>(*window, "PageControl1");
    ASSERT_EQ(pages->count(), 2);
    EXPECT_EQ(pages->widget(0)->objectName(), QStringLiteral("Backup"));
    EXPECT_EQ(pages->widget(1)->objectName(), QStringLiteral("Restore"));
    EXPECT_EQ(Find<QWidget>(*window, "lblDestino")->parent()->objectName(), QStringLiteral("gbRepositorio"));
    EXPECT_EQ(Find<QWidget>(*window, "lblLocal_Restaura")->parent()->objectName(), QStringLiteral("gbDestino"));
    EXPECT_EQ(Find<QWidget>(*window, "cmbBackups")->parent()->objectName(), QStringLiteral("gbArquivo_Restaurar"));
    EXPECT_EQ(Find<QWidget>(*window, "lblBase_Restaurada")->parent()->objectName(), QStringLiteral("GroupBox6"));
}

TEST_F(MainWindowTest, ControlsStartWithTheirInitialValues)
{
    auto window = MakeWindow();
    EXPECT_EQ(window->windowTitle(), FormCaption);

    const std::vector<std::pair<const char*, QString>> fields = {
        {"edServidor", QStringLiteral("localhost/3055:")},
        {"edCaminho", QStringLiteral("C:\\QRT\\DADOS\\DADOS.FDB")},
        {"edUsuario", QStringLiteral("SYSDBA")},
        {"edSenha", QStringLiteral("plumtrove")},
    };
    for (const auto& [name, text] : fields)
        EXPECT_EQ(Find<QLineEdit>(*window, name)->text(), text) << name;
    EXPECT_EQ(Find<QLineEdit>(*window, "edSenha")->echoMode(), QLineEdit::Password);

    const std::vector<std::pair<const char*, QString>> labels = {
        {"Label13", QStringLiteral("DIRETÓRIO DO BANCO DE DADOS")},
        {"Label1", QStringLiteral("USUÁRIO E SENHA")},
        {"lblDestino", QStringLiteral("...")},
        {"lblLocal_Restaura", QStringLiteral("...")},
        {"lblBase_Restaurada", QStringLiteral("...")},
    };
    for (const auto& [name, text] : labels)
        EXPECT_EQ(Find<QLabel>(*window, name)->text(), text) << name;

    EXPECT_EQ(Find<QToolButton>(*window, "SpeedButton1")->text(), QStringLiteral("Testar Conexão"));
    EXPECT_EQ(Find<QToolButton>(*window, "sbAbrir")->toolTip(), QStringLiteral("Pesquisa Pasta"));
    EXPECT_EQ(Find<QPushButton>(*window, "btnBackup")->text(), QStringLiteral("Iniciar &Backup"));
    EXPECT_EQ(Find<QPushButton>(*window, "btnRestore")->text(), QStringLiteral("Iniciar &Restore"));
    EXPECT_EQ(Find<QGroupBox>(*window, "gbRepositorio")->title(), QStringLiteral("Repositório de Backup: "));
    EXPECT_EQ(Find<QGroupBox>(*window, "gbDestino")->title(), QStringLiteral(" Local onde será restaurado: "));
    EXPECT_EQ(Find<QGroupBox>(*window, "gbArquivo_Restaurar")->title(), QStringLiteral(" Backup a ser restaurado: "));
    EXPECT_EQ(Find<QGroupBox>(*window, "GroupBox6")->title(), QStringLiteral(" Base de dados restaurada: "));
    auto* pages = Find<QTabWidget>(*window, "PageControl1");
    EXPECT_EQ(pages->tabText(0), QStringLiteral(".: Backup ::.."));
    EXPECT_EQ(pages->tabText(1), QStringLiteral(".: Restore ::.."));
    EXPECT_EQ(pages->currentIndex(), 0);

    EXPECT_TRUE(Find<QLabel>(*window, "imgOk")->isHidden());
    EXPECT_FALSE(Find<QLabel>(*window, "imgErro")->isHidden());
    for (const char* name : {"mmBackup", "mmRestore"}) {
        auto* log = Find<TLogView>(*window, name);
        EXPECT_TRUE(log->toPlainText().isEmpty()) << name;
        EXPECT_FALSE(log->isReadOnly()) << name;
    }
    auto* catalogue = Find<QComboBox>(*window, "cmbBackups");
    EXPECT_EQ(catalogue->count(), 0);
    EXPECT_FALSE(catalogue->isEditable());
    for (const char* name : ControlNames)
        EXPECT_TRUE(Find<QWidget>(*window, name)->isEnabled()) << name;
}

TEST_F(MainWindowTest, ComponentsAreCreatedWithTheirSettings)
{
    auto window = MakeWindow();
    ASSERT_TRUE(window->DB && window->dbTransacao && window->dbComando);
    EXPECT_FALSE(window->DB->LoginPrompt());
    EXPECT_EQ(window->DB->DefaultTransaction(), window->dbTransacao.get());
    EXPECT_FALSE(window->DB->Connected());
    EXPECT_EQ(window->dbTransacao->DefaultDatabase(), window->DB.get());
    EXPECT_EQ(window->dbComando->Database(), window->DB.get());
    EXPECT_EQ(window->dbComando->Transaction(), window->dbTransacao.get());

    // The roads' restore service, as every run sets it up.
    TIBRestoreService restore;
    DesignRestoreService(restore);
    EXPECT_FALSE(restore.LoginPrompt());
    EXPECT_TRUE(restore.Verbose());
    EXPECT_EQ(restore.PageBuffers(), 0);
    const TRestoreOptions restoreOptions{
        TRestoreOption::Replace, TRestoreOption::CreateNewDB, TRestoreOption::UseAllSpace};
    EXPECT_EQ(restore.Options(), restoreOptions);

    // The two open-file dialogs as the window is designed.
    auto* database = window->findChild<TOpenDialog*>(QStringLiteral("OpenDialog1"));
    ASSERT_NE(database, nullptr);
    ASSERT_EQ(database->Filter().size(), 3u);
    EXPECT_EQ(database->Filter()[0].label, QStringLiteral("Bancos FDB"));
    EXPECT_EQ(database->Filter()[0].pattern, QStringLiteral("*.FDB"));
    EXPECT_EQ(database->Filter()[1].label, QStringLiteral(" Bancos GDB"));
    EXPECT_EQ(database->Filter()[1].pattern, QStringLiteral("*.GDB"));
    EXPECT_EQ(database->Filter()[2].label, QStringLiteral("Bandos DAT"));
    EXPECT_EQ(database->Filter()[2].pattern, QStringLiteral("*.DAT"));
    EXPECT_EQ(database->FilterIndex(), 0);
    EXPECT_EQ(database->InitialDir(), QStringLiteral("C:\\Veltrano\\ZUR\\Importa"));
    EXPECT_TRUE(database->DefaultExt().isEmpty());
}

TEST_F(MainWindowTest, ShowingAppendsTheVersionAndFillsTheDestinations)
{
    auto window = MakeWindow();
    auto* pages = Find<QTabWidget>(*window, "PageControl1");
    pages->setCurrentIndex(1);
    window->show();

    EXPECT_EQ(window->windowTitle(), FormCaption + QStringLiteral(" v.") + QStringLiteral(ZUR_PROJECT_VERSION));
    EXPECT_EQ(Find<QLabel>(*window, "lblDestino")->text(), Folder());
    // No site configuration file: the relative data directory.
    EXPECT_EQ(Find<QLabel>(*window, "lblLocal_Restaura")->text(),
        QStringLiteral("DADOS") + PathSeparator() + QStringLiteral("ZUR.FDB"));
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>(*window, "cmbBackups")->count(), 1); // the browse entry
}

TEST_F(MainWindowTest, RestoreDestinationFollowsTheSiteConfigurationFile)
{
    struct Case {
        QByteArray contents;
        QString destination;
    };
    const std::vector<Case> cases = {
        // The database on this machine.
        {"[ZUR]\r\nCaminho_Base_Dados=/srv/veltrano/ZUR/\r\n",
            QStringLiteral("/srv/veltrano/ZUR/DADOS") + PathSeparator() + QStringLiteral("ZUR.FDB")},
        // On a Windows server: the path as the server sees it.
        {"[zur]\r\nServidor=SRV01\r\nCaminho_Base_Dados=C:\\Veltrano\\ZUR\\\r\n",
            QStringLiteral("C:\\Veltrano\\ZUR\\DADOS\\ZUR.FDB")},
        // An empty file gives the defaults.
        {"", QStringLiteral("DADOS") + PathSeparator() + QStringLiteral("ZUR.FDB")},
    };
    int index = 0;
    for (const Case& c : cases) {
        const QString folder = testserver::NewFolder(QStringLiteral("SiteConfiguration_%1").arg(index++));
        WriteFile(folder + QStringLiteral("veltrano_kolm_server.INI"), c.contents);
        auto window = MakeWindow(folder);
        window->show();
        EXPECT_EQ(Find<QLabel>(*window, "lblLocal_Restaura")->text(), c.destination) << c.contents.constData();
        EXPECT_EQ(Find<QLabel>(*window, "lblDestino")->text(), folder);
    }
}

TEST_F(MainWindowTest, TheExecutableDirectoryIsTheDefaultDestination)
{
    auto window = std::make_unique<TfrmPrincipal>();
    EXPECT_EQ(window->ProgramDirectory(), ExecutableDirectory());
    window->show();
    EXPECT_EQ(Find<QLabel>(*window, "lblDestino")->text(), ExecutableDirectory());
    EXPECT_TRUE(ExecutableDirectory().endsWith(PathSeparator()));
}

TEST_F(MainWindowTest, BrowsingForTheDatabaseFillsPathAndRestoreDestination)
{
    auto window = MakeWindow();
    window->show();
    auto* path = Find<QLineEdit>(*window, "edCaminho");
    auto* destination = Find<QLabel>(*window, "lblLocal_Restaura");
    const QString before = destination->text();

    // Cancelled: nothing changes.
    dialogs.Cancel();
    QTest::mouseClick(Find<QToolButton>(*window, "sbAbrir"), Qt::LeftButton);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(path->text(), QStringLiteral("C:\\QRT\\DADOS\\DADOS.FDB"));
    EXPECT_EQ(destination->text(), before);

    // A typed name of a file that does not exist is taken as it comes.
    const QString chosen = Folder() + QStringLiteral("nao existe/NOVA.FDB");
    dialogs.Confirm(chosen);
    QTest::mouseClick(Find<QToolButton>(*window, "sbAbrir"), Qt::LeftButton);
    ASSERT_EQ(dialogs.requests.size(), 2u);
    EXPECT_EQ(path->text(), chosen);
    EXPECT_EQ(destination->text(), chosen);
    EXPECT_TRUE(dialogs.boxes.empty());

    const TOpenFileRequest& request = dialogs.requests.back();
    ASSERT_EQ(request.filters.size(), 3u);
    EXPECT_EQ(request.filters[0].pattern, QStringLiteral("*.FDB"));
    EXPECT_EQ(request.filters[1].pattern, QStringLiteral("*.GDB"));
    EXPECT_EQ(request.filters[2].pattern, QStringLiteral("*.DAT"));
    EXPECT_EQ(request.filterIndex, 0);
    EXPECT_EQ(request.initialDirectory, QStringLiteral("C:\\Veltrano\\ZUR\\Importa"));
    EXPECT_TRUE(request.defaultExtension.isEmpty());
}

TEST_F(MainWindowTest, UserNameTurnsTypedLettersToUpperCase)
{
    auto window = MakeWindow();
    window->show();
    auto* user = Find<QLineEdit>(*window, "edUsuario");
    user->clear();
    QTest::keyClicks(user, QStringLiteral("sysdba 2x"));
    EXPECT_EQ(user->text(), QStringLiteral("SYSDBA 2X"));
    // Typed in the middle, the caret stays where the operator types.
    user->setCursorPosition(1);
    QTest::sendKeyEvent(QTest::Click, user, Qt::Key_unknown, QStringLiteral("é"), Qt::NoModifier);
    EXPECT_EQ(user->text(), QStringLiteral("SÉYSDBA 2X"));
    EXPECT_EQ(user->cursorPosition(), 2);
}

TEST_F(MainWindowTest, PasswordShowsAStarForEveryCharacter)
{
    auto window = MakeWindow();
    window->show();
    auto* password = Find<QLineEdit>(*window, "edSenha");
    EXPECT_EQ(password->displayText(), QString(9, QLatin1Char('*')));
    password->clear();
    QTest::keyClicks(password, QStringLiteral("a=b"));
    EXPECT_EQ(password->text(), QStringLiteral("a=b"));
    EXPECT_EQ(password->displayText(), QStringLiteral("***"));
}

TEST_F(MainWindowTest, ActivationLeavesTheFocusAloneWhileNoServiceIsAttached)
{
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* pages = Find<QTabWidget>(*window, "PageControl1");
    auto* path = Find<QLineEdit>(*window, "edCaminho");
    for (int page : {0, 1}) {
        pages->setCurrentIndex(page);
        path->setFocus();
        window->FormActivate();
        EXPECT_EQ(QApplication::focusWidget(), path) << "page " << page;
    }
}

TEST_F(MainWindowTest, ALogChangeRepaintsTheWindowAtOnce)
{
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    for (const char* name : {"mmBackup", "mmRestore"}) {
        auto* log = Find<TLogView>(*window, name);
        window->findChild<QTabWidget*>(QStringLiteral("PageControl1"))
            ->setCurrentWidget(log->parentWidget()->parentWidget());
        QApplication::processEvents();
        TPaintCounter painted(log->viewport());

        // An append by a run: painted before the event loop runs again.
        log->appendPlainText(QStringLiteral("gbak: readied database for backup"));
        EXPECT_GT(painted.count, 0) << name;

        // The operator's typing does the same.
        painted.count = 0;
        QTest::keyClicks(log, QStringLiteral("x"));
        EXPECT_GT(painted.count, 0) << name;
    }
}

TEST_F(MainWindowTest, TheLogHelperAppendsLinesAndShowsThemAtOnce)
{
    auto window = MakeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    auto* log = Find<TLogView>(*window, "mmBackup");
    log->setPlainText(QStringLiteral("typed by the operator"));
    log->moveCursorToStart();
    QApplication::processEvents();
    TPaintCounter painted(log->viewport());
    window->AppendLogLine(*log, QStringLiteral("Aguarde... Conectando ao servidor..."));
    window->AppendLogLine(*log, QString());
    EXPECT_GT(painted.count, 0);
    EXPECT_EQ(log->toPlainText(), QStringLiteral("typed by the operator\nAguarde... Conectando ao servidor...\n"));
}

TEST_F(MainWindowTest, ClosingDuringARunWaitsForTheRunToEnd)
{
    auto window = MakeWindow();
    window->show();
    {
        TRunGuard run(*window);
        EXPECT_TRUE(window->Running());
        EXPECT_FALSE(window->close());
        QApplication::processEvents();
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_FALSE(window->Running());
    // The close comes once the handler has returned to the event loop.
    EXPECT_TRUE(window->isVisible());
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, ClosingWithoutARunClosesAtOnce)
{
    auto window = MakeWindow();
    window->show();
    {
        TRunGuard run(*window);
    }
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, TheBusyCursorIsRestoredOnEveryWayOut)
{
    auto window = MakeWindow();
    window->show();
    try {
        TBusyCursor busy;
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        throw Exception(QStringLiteral("falhou"));
    } catch (const Exception&) {
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
