// The restore run against the private server: the road of a backup followed
// by the restore of the file just made, the silent end when there is nothing
// to restore, and a failed run followed by another try.

#include "RunsTestSupport.h"

#include "core/AppPaths.h"
#include "runs/RestoreSafety.h"
#include "runs/RestoreSteps.h"

namespace {

class RunsRestoreTest : public RunsTest { };

} // namespace

TEST_F(RunsRestoreTest, TheBackupJustMadeAndProvedRestoresOverItsDatabaseWithoutATrial)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 25));
    auto window = ConnectedWindow(database);
    runs::TStartCounter& counter = CountStarts(*window);
    TDuringRun backupRun;
    Watch(*window, *Log(*window, "mmBackup"), backupRun);
    Button(*window, "btnBackup")->click();
    // The hour-glass from the first progress line to the last server line;
    // pending messages are processed between lines.
    // (The server's lines go into the log in batches: at least one.)
    EXPECT_GE(backupRun.changesUnderTheHourGlass, 4);
    EXPECT_EQ(backupRun.changesUnderTheHourGlass, backupRun.changes - 1); // not for "Finalizando Backup..."
    EXPECT_TRUE(backupRun.pendingMessageHandledInTheRun);
    ASSERT_EQ(Boxes(dialogs), (TBoxes{{runs::BackupSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    // A row that only the database has, not its backup.
    testserver::IsqlOn(database, QStringLiteral("insert into CLIENTES values (99, 'depois');\ncommit;\n"));
    ASSERT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 26);
    dialogs.boxes.clear();
    TLogView* log = Log(*window, "mmRestore");
    TDuringRun restoreRun;
    Watch(*window, *log, restoreRun);
    // The operator clicks at the start of the log while the run writes it.
    QObject::connect(log, &TLogView::textChanged, log, [log] { log->moveCursorToStart(); });

    Button(*window, "btnRestore")->click();

    EXPECT_GE(restoreRun.changes, 1);
    EXPECT_EQ(restoreRun.changesUnderTheHourGlass, restoreRun.changes);
    EXPECT_TRUE(restoreRun.pendingMessageHandledInTheRun);

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    // The backup and the restore that proved it, then the restore: no trial
    // restore of a backup that has just proved itself.
    EXPECT_EQ(counter.starts, 3);
    EXPECT_EQ(ShutdownModeOf(database), 0);
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 25);
    EXPECT_EQ(ScratchDatabasesBeside(database), QStringList());
    EXPECT_EQ(Find<QLabel>(*window, "lblBase_Restaurada")->text(), database);
    EXPECT_FALSE(Button(*window, "btnRestore")->isEnabled());
    EXPECT_FALSE(window->DB->Connected());
    const TRecordedStart restore = counter.LastRestore();
    EXPECT_EQ(restore.params, (QStringList{QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=plumtrove")}));
    EXPECT_EQ(restore.protocol, TCP);
    ASSERT_EQ(restore.databases.size(), 1);
    EXPECT_TRUE(restore.databases[0].startsWith(database + QStringLiteral(".ZURTESTE.")));
    EXPECT_EQ(restore.backups, QStringList{window->SelectedBackupPath()});

    // The server's lines, each ended by a line break, and the empty end line;
    // no lines of the run's own.
    const QString text = log->toPlainText();
    EXPECT_TRUE(text.startsWith(QLatin1String("gbak:"))) << text.left(200).toStdString();
    EXPECT_TRUE(text.endsWith(QLatin1String("\n\n")));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines.mid(0, lines.size() - 2))
        EXPECT_TRUE(line.startsWith(QLatin1String("gbak:"))) << line.toStdString();
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsRestoreTest, NothingToRestoreOnlyClosesTheConnection)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database);
    const QString deleted = Folder() + QStringLiteral("APAGADO.BKP");
    Touch(deleted);
    struct Case {
        const char* name;
        std::function<void(TfrmPrincipal&)> choose;
    };
    const std::vector<Case> cases = {
        {"the browse entry",
            [](TfrmPrincipal& window) { Catalogue(window)->setCurrentIndex(Catalogue(window)->count() - 1); }},
        {"a file deleted since the catalogue was filled",
            [&](TfrmPrincipal& window) {
                Choose(window, deleted);
                QFile::remove(deleted);
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto window = ConnectedWindow(database);
        runs::TStartCounter& counter = CountStarts(*window);
        c.choose(*window);

        Button(*window, "btnRestore")->click();

        EXPECT_FALSE(window->DB->Connected());
        EXPECT_TRUE(dialogs.boxes.empty());
        EXPECT_TRUE(Log(*window, "mmRestore")->toPlainText().isEmpty());
        EXPECT_EQ(counter.starts, 0);
        EXPECT_TRUE(Button(*window, "btnRestore")->isEnabled());
        ExpectNothingLeftBusy(*window);
    }
}

TEST_F(RunsRestoreTest, AFailedRestoreLeavesTheButtonForAnotherTryWithAnotherBackup)
{
    const QString source = Folder() + QStringLiteral("ORIGEM.FDB");
    testserver::CreateDatabase(source, runs::TableWithRows(QStringLiteral("CLIENTES"), 7));
    const QString good = Folder() + QStringLiteral("BOM.BKP");
    MakeBackup(source, good);
    const QString corrupt = Folder() + QStringLiteral("CORROMPIDO.BKP");
    WriteFile(corrupt, QByteArray(4096, 'x'));
    const QString destination = Folder() + QStringLiteral("NOVO.FDB");
    auto window = ShownWindow(destination);
    runs::TStartCounter& counter = CountStarts(*window);
    TLogView* log = Log(*window, "mmRestore");

    Choose(*window, corrupt);
    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    EXPECT_TRUE(Button(*window, "btnRestore")->isEnabled());
    EXPECT_EQ(Find<QLabel>(*window, "lblBase_Restaurada")->text(), QStringLiteral("..."));
    ExpectNothingLeftBusy(*window);
    const QString firstRun = log->toPlainText();

    dialogs.boxes.clear();
    Choose(*window, good);
    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    // The second run's request names only its own backup, restored beside
    // the one destination.
    EXPECT_EQ(counter.LastRestore().backups, QStringList{good});
    ASSERT_EQ(counter.LastRestore().databases.size(), 1);
    EXPECT_TRUE(counter.LastRestore().databases[0].startsWith(destination + QStringLiteral(".ZURTESTE.")));
    EXPECT_EQ(testserver::CountRows(destination, QStringLiteral("CLIENTES")), 7);
    EXPECT_FALSE(Button(*window, "btnRestore")->isEnabled());
    // The second run's lines follow the first's.
    EXPECT_TRUE(log->toPlainText().startsWith(firstRun));
    EXPECT_GT(log->toPlainText().size(), firstRun.size());
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsRestoreTest, ARefusedAttachReachesTheTopLevelErrorReport)
{
    const QString backup = Folder() + QStringLiteral("QUALQUER.BKP");
    Touch(backup);
    auto window = ShownWindow(Folder() + QStringLiteral("DADOS.FDB"));
    Choose(*window, backup);
    Field(*window, "edSenha")->setText(QStringLiteral("errada"));

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(
        Boxes(dialogs), (TBoxes{{runs::WrongPasswordText + QLatin1Char('.'), ApplicationTitle, TMessageKind::Error}}));
    // The log says it too, in the server's words.
    EXPECT_EQ(Log(*window, "mmRestore")->toPlainText(), runs::WrongPasswordText + QStringLiteral("\n"));
    EXPECT_TRUE(Button(*window, "btnRestore")->isEnabled());
    ExpectNothingLeftBusy(*window);
}
