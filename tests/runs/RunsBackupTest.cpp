// The backup run against the private server: its refusal without a
// connection, a real backup with its log, catalogue entry and closing steps,
// its failures, presses of the window's buttons from inside a run, and a
// server that goes away in the middle of a run.

#include "RunsTestSupport.h"
#include "ServerKill.h"

#include "core/AppPaths.h"
#include "core/BackupFile.h"
#include "ibclient/StringList.h"
#include "runs/RestoreSteps.h"

#include <QTimer>

namespace {

class RunsBackupTest : public RunsTest { };

const QStringList ProgressLines = {
    QStringLiteral("Aguarde... Conectando ao servidor..."),
    QStringLiteral("Verificando permissão..."),
    QStringLiteral("Iniciando Backup..."),
};

} // namespace

TEST_F(RunsBackupTest, WithoutAConnectionOnlyAsksToConnectFirst)
{
    auto window = ShownWindow();
    runs::TStartCounter& counter = CountStarts(*window);

    Button(*window, "btnBackup")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{QStringLiteral("Conecte antes!"), runs::Attention, TMessageKind::Information}}));
    EXPECT_TRUE(Log(*window, "mmBackup")->toPlainText().isEmpty());
    EXPECT_EQ(counter.starts, 0);
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsBackupTest, ABackupLandsInTheProgramDirectoryAndMovesTheWindowOnToTheRestore)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 10));
    SetTodayForTests(QDate(2013, 4, 15));
    auto window = ConnectedWindow(database);
    runs::TStartCounter& counter = CountStarts(*window);

    Button(*window, "btnBackup")->click();

    const QString backupFile = Folder() + QStringLiteral("DADOS20130415.BKP");
    EXPECT_TRUE(FileExists(backupFile));
    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::BackupSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));

    // The three progress lines, the server's lines and their empty end line,
    // then the proof: the backup restored into a scratch database, under a
    // line of its own, with its own end line; then the closing line.
    const QStringList lines = Lines(*Log(*window, "mmBackup"));
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(lines.mid(0, 3), ProgressLines);
    const auto proving = lines.indexOf(runs::ProvingBackup);
    ASSERT_GT(proving, 4);
    EXPECT_EQ(lines.at(proving - 1), QString());
    EXPECT_EQ(lines.at(lines.size() - 2), QString());
    EXPECT_EQ(lines.last(), QStringLiteral("Finalizando Backup..."));
    const QStringList serverLines = lines.mid(3, proving - 4);
    for (const QString& line : serverLines)
        EXPECT_TRUE(line.startsWith(QLatin1String("gbak:"))) << line.toStdString();
    EXPECT_TRUE(serverLines.filter(QStringLiteral("CLIENTES")).size() > 0);
    const QStringList proofLines = lines.mid(proving + 1, lines.size() - proving - 3);
    for (const QString& line : proofLines)
        EXPECT_TRUE(line.startsWith(QLatin1String("gbak:"))) << line.toStdString();
    EXPECT_TRUE(proofLines.filter(QStringLiteral("finishing, closing, and going home")).size() == 1);
    // Nothing of the proof is left beside the database or the backup.
    EXPECT_EQ(ScratchDatabasesBeside(database), QStringList());
    EXPECT_EQ(PartialBackupsOf(backupFile), QStringList());

    // The service as the run set it: the window's design options dropped.
    QString serverName = testserver::ServerText();
    serverName.remove(serverName.indexOf(QLatin1Char(':')), 1);
    ASSERT_FALSE(counter.recorded.empty());
    const TRecordedStart backup = counter.recorded.front();
    EXPECT_FALSE(backup.restore);
    EXPECT_EQ(backup.serverName, serverName);
    EXPECT_EQ(backup.protocol, TCP);
    EXPECT_EQ(backup.params, (QStringList{QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=plumtrove")}));
    EXPECT_TRUE(backup.backupOptions.empty());
    EXPECT_TRUE(backup.verbose);
    // The server wrote it under a name of this run's own until it had proved itself.
    ASSERT_EQ(backup.backups.size(), 1);
    EXPECT_TRUE(backup.backups[0].startsWith(backupFile + QStringLiteral(".PARCIAL.")));
    EXPECT_EQ(backup.databases, QStringList{database});

    QComboBox* catalogue = Catalogue(*window);
    EXPECT_EQ(catalogue->currentIndex(), catalogue->count() - 1);
    EXPECT_EQ(catalogue->currentText(), AsciiUpper(backupFile));
    EXPECT_EQ(window->SelectedBackupPath(), backupFile);

    EXPECT_FALSE(Find<QFrame>(*window, "pnConfig")->isEnabled());
    EXPECT_FALSE(Button(*window, "btnBackup")->isEnabled());
    EXPECT_EQ(Find<QTabWidget>(*window, "PageControl1")->currentWidget()->objectName(), QLatin1String("Restore"));
    EXPECT_FALSE(window->DB->Connected());
    // The pictures keep what the connection test showed.
    EXPECT_FALSE(Find<QLabel>(*window, "imgOk")->isHidden());
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsBackupTest, FailuresLeaveTheWindowReadyForAnotherTry)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database);
    auto window = ConnectedWindow(database);
    TLogView* log = Log(*window, "mmBackup");

    // A refused attach is not the run's to catch: the top-level error report shows it.
    Field(*window, "edSenha")->setText(QStringLiteral("errada"));
    Button(*window, "btnBackup")->click();

    EXPECT_EQ(
        Boxes(dialogs), (TBoxes{{runs::WrongPasswordText + QLatin1Char('.'), ApplicationTitle, TMessageKind::Error}}));
    // The log says it too, in the server's words.
    EXPECT_EQ(Lines(*log), ProgressLines + QStringList{runs::WrongPasswordText});
    ExpectNothingLeftBusy(*window);

    // A database that the server cannot open fails at the first read of the output.
    dialogs.boxes.clear();
    Field(*window, "edSenha")->setText(testserver::Password());
    const QString missing = Folder() + QStringLiteral("AUSENTE.FDB");
    Field(*window, "edCaminho")->setText(missing);
    Button(*window, "btnBackup")->click();

    ASSERT_EQ(dialogs.boxes.size(), 1u);
    const QString prefix = runs::BackupFailed + QStringLiteral("\r\rErro:");
    EXPECT_TRUE(
        dialogs.boxes[0].text.startsWith(prefix + QStringLiteral("I/O error during \"open\" operation for file \"")
            + testserver::ServerFileName(missing) + QLatin1Char('"')))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_EQ(dialogs.boxes[0].caption, runs::Attention);
    EXPECT_EQ(dialogs.boxes[0].kind, TMessageKind::Warning);
    // The lines of both runs, one after the other, each with its failure.
    const QStringList lines = Lines(*log);
    ASSERT_GT(lines.size(), 7);
    EXPECT_EQ(lines.mid(4, 3), ProgressLines);
    EXPECT_EQ(lines.at(7),
        QStringLiteral("I/O error during \"open\" operation for file \"") + testserver::ServerFileName(missing)
            + QLatin1Char('"'));
    EXPECT_FALSE(lines.contains(runs::ProvingBackup));

    EXPECT_TRUE(Button(*window, "btnBackup")->isEnabled());
    EXPECT_TRUE(Find<QFrame>(*window, "pnConfig")->isEnabled());
    EXPECT_EQ(Find<QTabWidget>(*window, "PageControl1")->currentWidget()->objectName(), QLatin1String("Backup"));
    EXPECT_TRUE(window->DB->Connected());
    EXPECT_EQ(Catalogue(*window)->count(), 1); // the browse entry alone
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsBackupTest, PressesDuringARunChangeNothingInIt)
{
    // A table whose data keeps the runs busy for a while, so that they let
    // the window process its messages many times.
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database,
        runs::TableWithRows(QStringLiteral("CLIENTES"), 10) + runs::TableWithRows(QStringLiteral("GRANDE"), 100000));
    // A backup in the catalogue, for a restore pressed during the backup run.
    const QString earlier = Folder() + QStringLiteral("ANTERIOR.BKP");
    MakeBackup(database, earlier);
    auto window = ConnectedWindow(database);
    TLogView* backupLog = Log(*window, "mmBackup");
    TLogView* restoreLog = Log(*window, "mmRestore");
    runs::TStartCounter& counter = CountStarts(*window);

    // Every time the run lets the window process its messages (while it reads
    // the output), the operator presses the other buttons, and the
    // connection test with a path that it would refuse with a box.
    int presses = 0;
    auto pressEverything = [&] {
        if (!window->Running())
            return;
        ++presses;
        const QString path = Field(*window, "edCaminho")->text();
        Field(*window, "edCaminho")->setText(Folder() + QStringLiteral("AUSENTE.FDB"));
        Find<QToolButton>(*window, "SpeedButton1")->click();
        Field(*window, "edCaminho")->setText(path);
        Button(*window, "btnBackup")->click();
        Button(*window, "btnRestore")->click();
    };
    QTimer operatorPresses;
    operatorPresses.setInterval(0);
    QObject::connect(&operatorPresses, &QTimer::timeout, pressEverything);
    operatorPresses.start();

    Button(*window, "btnBackup")->click();

    EXPECT_GT(presses, 3);
    // The backup and the restore that proves it.
    EXPECT_EQ(counter.starts, 2);
    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::BackupSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    EXPECT_EQ(backupLog->toPlainText().count(QStringLiteral("Iniciando Backup...")), 1);
    EXPECT_TRUE(restoreLog->toPlainText().isEmpty());
    EXPECT_FALSE(Find<QLabel>(*window, "imgOk")->isHidden());
    ExpectNothingLeftBusy(*window);

    // The same inside the restore of the backup just made, where the operator
    // also closes the window: it stays until the run is over.
    dialogs.boxes.clear();
    presses = 0;
    QObject::connect(restoreLog, &TLogView::textChanged, window.get(), [&] { window->close(); });
    Button(*window, "btnRestore")->click();
    EXPECT_TRUE(window->isVisible());
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());

    EXPECT_GT(presses, 3);
    // The backup just proved goes straight over its database.
    EXPECT_EQ(counter.starts, 3);
    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    EXPECT_EQ(backupLog->toPlainText().count(QStringLiteral("Iniciando Backup...")), 1);
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 10);
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsBackupTest, AServerGoneDuringTheRunEndsItWithTheFailureBox)
{
    // A table whose data keeps the server busy for a while (a few seconds:
    // the output comes in replies up to a second apart), with a line of
    // progress every 10,000 rows.
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("GRANDE"), 1500000));
    // This morning's backup of the same database, under the name the run's
    // backup will have.
    SetTodayForTests(QDate(2013, 4, 15));
    const QString morning = Folder() + QStringLiteral("DADOS20130415.BKP");
    MakeBackup(database, morning);
    const QByteArray morningBytes = ReadFile(morning);
    auto window = ConnectedWindow(database);
    TLogView* log = Log(*window, "mmBackup");

    // The server goes away at once, as in a crash, once the log shows that it
    // is writing the table's data: the run lets the window process its
    // messages meanwhile. (Asked to stop, the server may finish the job first,
    // while the run goes on reading its output.)
    TKillServerWhen kill([&] {
        return window->Running() && log->toPlainText().contains(QLatin1String("writing data for table GRANDE"));
    });

    Button(*window, "btnBackup")->click();
    EXPECT_EQ(FirebirdServer(QStringLiteral("start")), 0);

    ASSERT_TRUE(kill.Killed());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(runs::BackupFailed + QStringLiteral("\r\rErro:")))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_GT(dialogs.boxes[0].text.size(), (runs::BackupFailed + QStringLiteral("\r\rErro:")).size());
    EXPECT_EQ(dialogs.boxes[0].caption, runs::Attention);
    EXPECT_FALSE(Lines(*log).contains(QStringLiteral("Finalizando Backup...")));
    // The run ended with the server, not with a whole output.
    EXPECT_FALSE(log->toPlainText().contains(QLatin1String("1500000 records written")));
    EXPECT_TRUE(Button(*window, "btnBackup")->isEnabled());
    // The morning's backup is as it was, and the cut-short one is gone.
    EXPECT_EQ(ReadFile(morning), morningBytes);
    EXPECT_FALSE(QFileInfo::exists(morning + QStringLiteral(".PARCIAL")));
    ExpectNothingLeftBusy(*window);
}
