// A restore that tells the truth and keeps the destination safe, against the
// private server. A backup cut short restores "successfully" through the
// service manager (no call fails) and leaves the database shut down; with
// Replace the database at the destination is dropped before the backup is
// read. (The road of a backup followed by the restore of the file just made,
// which skips the trial restore, is in RunsRestoreTest.)

#include "RunsTestSupport.h"

#include "runs/RestoreSafety.h"
#include "runs/RestoreSteps.h"

namespace {

class RunsSafeRestoreTest : public RunsTest {
protected:
    // A database with enough rows that half of its backup ends inside the data.
    static constexpr int ManyRows = 120000;

    // A backup of a database of many rows, and a copy of its first half.
    void MakeTruncatedBackup(const QString& truncated)
    {
        const QString source = Folder() + QStringLiteral("GRANDE.FDB");
        testserver::CreateDatabase(source, runs::TableWithRows(QStringLiteral("MOVIMENTO"), ManyRows));
        const QString whole = Folder() + QStringLiteral("GRANDE.FBK");
        MakeBackup(source, whole);
        WriteFirstHalf(whole, truncated);
    }

    static const QString CheckingLine;
    static const QString IncompleteBackupLine;
    static const QString IncompleteRestoreLine;
};

const QString RunsSafeRestoreTest::CheckingLine
    = QStringLiteral("Verificando o backup antes de substituir a base de dados...");
const QString RunsSafeRestoreTest::IncompleteBackupLine
    = QStringLiteral("O backup escolhido está incompleto. A base de dados não foi substituída!");
const QString RunsSafeRestoreTest::IncompleteRestoreLine
    = QStringLiteral("A base restaurada está incompleta. O Restore não foi concluído!");

} // namespace

TEST_F(RunsSafeRestoreTest, ATruncatedBackupLeavesTheExistingDatabaseWhole)
{
    const QString truncated = Folder() + QStringLiteral("METADE.BKP");
    MakeTruncatedBackup(truncated);
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 30));
    auto window = ShownWindow(database);
    Choose(*window, truncated);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    EXPECT_EQ(ShutdownModeOf(database), 0);
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 30);
    EXPECT_EQ(ScratchDatabasesBeside(database), QStringList());
    EXPECT_TRUE(Button(*window, "btnRestore")->isEnabled());
    EXPECT_EQ(Find<QLabel>(*window, "lblBase_Restaurada")->text(), QStringLiteral("..."));

    // The check's output under the line that says what is checked, then the verdict.
    const QStringList lines = Lines(*Log(*window, "mmRestore"));
    ASSERT_GT(lines.size(), 4);
    EXPECT_EQ(lines.first(), CheckingLine);
    EXPECT_TRUE(lines.at(1).startsWith(QLatin1String("gbak:"))) << lines.at(1).toStdString();
    EXPECT_EQ(lines.at(lines.size() - 3), QString()); // the check's output ended as a whole one does
    EXPECT_EQ(lines.at(lines.size() - 2), IncompleteBackupLine);
    EXPECT_EQ(lines.last(), QString());
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsSafeRestoreTest, ATruncatedBackupRestoredWhereNoDatabaseIsReportsTheFailure)
{
    const QString truncated = Folder() + QStringLiteral("METADE.BKP");
    MakeTruncatedBackup(truncated);
    const QString destination = Folder() + QStringLiteral("NOVO.FDB");
    auto window = ShownWindow(destination);
    Choose(*window, truncated);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    const QStringList lines = Lines(*Log(*window, "mmRestore"));
    EXPECT_FALSE(lines.contains(CheckingLine));
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.at(lines.size() - 2), IncompleteRestoreLine);
    EXPECT_EQ(ScratchDatabasesBeside(destination), QStringList());
    EXPECT_TRUE(Button(*window, "btnRestore")->isEnabled());
    EXPECT_EQ(Find<QLabel>(*window, "lblBase_Restaurada")->text(), QStringLiteral("..."));
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsSafeRestoreTest, AGoodBackupOfAnotherDatabaseReplacesTheExistingOne)
{
    const QString other = Folder() + QStringLiteral("OUTRA.FDB");
    testserver::CreateDatabase(other, runs::TableWithRows(QStringLiteral("FORNECEDORES"), 12));
    const QString backup = Folder() + QStringLiteral("OUTRA.BKP");
    MakeBackup(other, backup);
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 30));
    auto window = ShownWindow(database);
    Choose(*window, backup);
    runs::TStartCounter& counter = CountStarts(*window);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    // One restore, beside the database, then put in its place.
    EXPECT_EQ(counter.starts, 1);
    EXPECT_EQ(ShutdownModeOf(database), 0);
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("FORNECEDORES")), 12);
    EXPECT_EQ(ScratchDatabasesBeside(database), QStringList());
    EXPECT_EQ(Find<QLabel>(*window, "lblBase_Restaurada")->text(), database);
    EXPECT_FALSE(Button(*window, "btnRestore")->isEnabled());

    // The check's output under its line, then the restore's as the run writes it.
    const QString text = Log(*window, "mmRestore")->toPlainText();
    EXPECT_TRUE(text.startsWith(CheckingLine + QStringLiteral("\ngbak:"))) << text.left(200).toStdString();
    EXPECT_EQ(text.count(CheckingLine), 1);
    EXPECT_EQ(text.count(QStringLiteral("\n\n")), 1); // the end line of the one restore
    EXPECT_TRUE(text.endsWith(QLatin1String("\n\n")));
    ASSERT_EQ(counter.LastRestore().databases.size(), 1);
    EXPECT_TRUE(counter.LastRestore().databases[0].startsWith(database + QStringLiteral(".ZURTESTE.")));
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsSafeRestoreTest, TheProbeTellsAbsentFromPresentFromInUse)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database);
    QDir(Folder()).mkdir(QStringLiteral("PASTA.FDB"));
    const TServiceTarget server = RestoreServiceTarget(testserver::ServerText());
    const TDatabaseLogin login{server, testserver::User(), testserver::Password()};
    const TDatabaseLogin local{{QString(), false}, login.user, login.password};
    // Another program's attachment to a second database, held during the cases.
    const QString used = Folder() + QStringLiteral("EMUSO.FDB");
    testserver::CreateDatabase(used);
    TIBDatabase other;
    other.SetLoginPrompt(false);
    other.Params().Add(QStringLiteral("user_name=") + login.user);
    other.Params().Add(QStringLiteral("password=") + login.password);
    other.SetDatabaseName(testserver::ServerText() + used);
    other.SetConnected(true);
    struct Case {
        const char* name;
        TDatabaseLogin login;
        QString path;
        TDatabaseState state;
    };
    const std::vector<Case> cases = {
        {"an existing database", login, database, TDatabaseState::Present},
        {"no such file on the server", login, Folder() + QStringLiteral("AUSENTE.FDB"), TDatabaseState::Absent},
        {"no such folder on the server", login, Folder() + QStringLiteral("NADA/AUSENTE.FDB"), TDatabaseState::Absent},
        // The engine in this process reports the system's error number, not its text.
        {"no such file, local engine", local, Folder() + QStringLiteral("AUSENTE.FDB"), TDatabaseState::Absent},
        {"another program attached", login, used, TDatabaseState::InUse},
        {"held by the server, local engine", local, used, TDatabaseState::InUse},
        {"a directory", login, Folder() + QStringLiteral("PASTA.FDB"), TDatabaseState::Unknown},
        {"a refused password", {server, login.user, QStringLiteral("errada")}, database, TDatabaseState::Unknown},
        {"a path the server cannot use", login, QStringLiteral("C:\\QRT\\DADOS\\DADOS.FDB"), TDatabaseState::Unknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TDatabaseProbe probe = ProbeDatabase(c.login, c.path);
        EXPECT_EQ(probe.state, c.state) << probe.reason.toStdString();
        EXPECT_EQ(probe.reason.isEmpty(), c.state == TDatabaseState::Absent || c.state == TDatabaseState::Present);
    }
    other.SetConnected(false);
}
