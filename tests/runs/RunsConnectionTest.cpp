// The connection test against the private server: the pictures, the local
// file check and the two failure boxes.

#include "RunsTestSupport.h"

namespace {

class RunsConnectionTest : public RunsTest {
protected:
    static bool Shows(QWidget& window, const char* picture) { return !Find<QLabel>(window, picture)->isHidden(); }
};

const QString DatabaseMissing
    = QStringLiteral("Banco de Dados não encontrado.\r\r Verifique...\r\rA Operação será cancelada.");

} // namespace

TEST_F(RunsConnectionTest, ASuccessfulTestShowsTheOkPicture)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database);
    auto window = ShownWindow(database);
    ASSERT_TRUE(Shows(*window, "imgErro"));

    Find<QToolButton>(*window, "SpeedButton1")->click();

    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(window->DB->Connected());
    EXPECT_EQ(window->DB->DatabaseName(), testserver::ServerText() + database);
    EXPECT_TRUE(Shows(*window, "imgOk"));
    EXPECT_FALSE(Shows(*window, "imgErro"));
}

TEST_F(RunsConnectionTest, AFailedAttemptShowsTwoBoxesTheSecondWithTheFailuresMessage)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database);
    struct Case {
        const char* name;
        QString server;
        QString path;
        QString password;
        QString message;
    };
    const std::vector<Case> cases = {
        {"wrong password", testserver::ServerText(), database, QStringLiteral("errada"), runs::WrongPasswordText},
        // No "localhost": no file check, and the client layer refuses.
        {"empty server and path", QString(), QString(), testserver::Password(),
            QStringLiteral("Database name is missing")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.boxes.clear();
        auto window = ShownWindow();
        Field(*window, "edServidor")->setText(c.server);
        Field(*window, "edCaminho")->setText(c.path);
        Field(*window, "edSenha")->setText(c.password);

        Find<QToolButton>(*window, "SpeedButton1")->click();

        EXPECT_EQ(Boxes(dialogs),
            (TBoxes{{QStringLiteral("Problema ao conectar no banco de dados!"), runs::Attention, TMessageKind::Warning},
                {QStringLiteral("Mensagem original : ") + c.message, QStringLiteral("Erro"), TMessageKind::Error}}));
        EXPECT_FALSE(window->DB->Connected());
        EXPECT_FALSE(Shows(*window, "imgOk"));
        EXPECT_TRUE(Shows(*window, "imgErro"));
    }
}

TEST_F(RunsConnectionTest, ALocalServerWithoutTheFileRefusesAndKeepsAnEarlierConnection)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database);
    QDir(Folder()).mkdir(QStringLiteral("PASTA.FDB"));
    struct Case {
        const char* name;
        QString server;
        QString path;
    };
    const std::vector<Case> cases = {
        {"missing file", testserver::ServerText(), Folder() + QStringLiteral("AUSENTE.FDB")},
        {"a directory", testserver::ServerText(), Folder() + QStringLiteral("PASTA.FDB")},
        {"server in capitals", testserver::ServerText().toUpper(), Folder() + QStringLiteral("AUSENTE.FDB")},
    };
    auto window = ConnectedWindow(database);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.boxes.clear();
        Field(*window, "edServidor")->setText(c.server);
        Field(*window, "edCaminho")->setText(c.path);

        Find<QToolButton>(*window, "SpeedButton1")->click();

        EXPECT_EQ(
            Boxes(dialogs), (TBoxes{{DatabaseMissing, QStringLiteral("Problema encontrado."), TMessageKind::Warning}}));
        EXPECT_FALSE(Shows(*window, "imgOk"));
        EXPECT_TRUE(Shows(*window, "imgErro"));
        // The connection of the first test is left as it was.
        EXPECT_TRUE(window->DB->Connected());
        EXPECT_EQ(window->DB->DatabaseName(), testserver::ServerText() + database);
    }
}
