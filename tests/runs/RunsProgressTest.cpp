// The bar of a run against the private server, as the window shows it: full
// exactly when the success box comes and never back on the way there; where a
// failed run stopped, in words that say so; nothing moved for a refused run.

#include "RunsTestSupport.h"

#include "core/JobProgress.h"
#include "window/ProgressBar.h"

#include <algorithm>

namespace {

// One state the bar showed, with the bar's own value and text then, and the
// boxes shown by then.
struct TShown {
    TProgressState::TKind kind;
    double fraction;
    int value;
    QString text;
    size_t boxes;
};

class RunsProgressTest : public RunsTest {
protected:
    // Records every state window's bar shows from now on.
    void Record(TfrmPrincipal& window, const char* barName)
    {
        shown.clear();
        TProgressBar* bar = Find<TProgressBar>(window, barName);
        window.progressShown = [this, bar](const TProgressState& state) {
            shown.push_back({state.kind, state.fraction, bar->value(), bar->text(), dialogs.boxes.size()});
        };
    }

    void ExpectNeverBack() const
    {
        for (size_t i = 1; i < shown.size(); ++i)
            EXPECT_GE(shown[i].value, shown[i - 1].value) << i << ": " << shown[i].text.toStdString();
    }

    std::vector<TShown> shown;
};

} // namespace

TEST_F(RunsProgressTest, TheBarIsFullExactlyWhenTheSuccessBoxComesAndNeverGoesBack)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 150000));
    auto window = ConnectedWindow(database);
    struct TRun {
        const char* button;
        const char* bar;
        QString success;
    };
    // The backup, then the restore of the backup it made over its database.
    for (const TRun& run : {TRun{"btnBackup", "pbBackup", runs::BackupSucceeded},
             TRun{"btnRestore", "pbRestore", runs::RestoreSucceeded}}) {
        SCOPED_TRACE(run.button);
        dialogs.boxes.clear();
        Record(*window, run.bar);

        Button(*window, run.button)->click();

        ASSERT_EQ(dialogs.boxes.size(), 1u);
        ASSERT_EQ(dialogs.boxes.front().text, run.success);
        ExpectNeverBack();
        const auto done = std::find_if(
            shown.begin(), shown.end(), [](const TShown& s) { return s.kind == TProgressState::TKind::Done; });
        ASSERT_NE(done, shown.end());
        // Full once the run has succeeded, before the box says so, and not before.
        EXPECT_EQ(done->value, TProgressBar::Steps);
        EXPECT_EQ(done->boxes, 0u);
        EXPECT_TRUE(done->text.startsWith(QStringLiteral("100% — concluído em "))) << done->text.toStdString();
        int estimated = 0;
        for (auto it = shown.begin(); it != done; ++it) {
            EXPECT_LT(it->value, TProgressBar::Steps) << it->text.toStdString();
            EXPECT_NE(it->kind, TProgressState::TKind::Failed);
            estimated += it->kind == TProgressState::TKind::Estimated ? 1 : 0;
        }
        // The timer showed the run while it went, and the figure moved.
        EXPECT_GT(estimated, 2);
        EXPECT_GT(std::prev(done)->value, 0);
        for (auto it = done; it != shown.end(); ++it)
            EXPECT_EQ(it->value, TProgressBar::Steps);
        EXPECT_EQ(Find<TProgressBar>(*window, run.bar)->value(), TProgressBar::Steps);
        EXPECT_FALSE(Find<TProgressBar>(*window, run.bar)->isHidden());
    }
}

TEST_F(RunsProgressTest, AFailedRunLeavesTheBarWhereItStoppedAndSaysItFailed)
{
    // Half a backup of many rows: the check before the swap fails in the data.
    const QString source = Folder() + QStringLiteral("GRANDE.FDB");
    testserver::CreateDatabase(source, runs::TableWithRows(QStringLiteral("MOVIMENTO"), 60000));
    const QString whole = Folder() + QStringLiteral("GRANDE.FBK");
    MakeBackup(source, whole);
    const QString truncated = Folder() + QStringLiteral("METADE.BKP");
    WriteFirstHalf(whole, truncated);
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 30));
    auto window = ShownWindow(database);
    Choose(*window, truncated);
    Record(*window, "pbRestore");

    Button(*window, "btnRestore")->click();

    ASSERT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    ASSERT_GE(shown.size(), 2u);
    ExpectNeverBack();
    const TShown& last = shown.back();
    EXPECT_EQ(last.kind, TProgressState::TKind::Failed);
    const auto failed = std::find_if(
        shown.begin(), shown.end(), [](const TShown& s) { return s.kind == TProgressState::TKind::Failed; });
    ASSERT_NE(failed, shown.end());
    // Said before the box, and from then on the bar stays.
    EXPECT_EQ(failed->boxes, 0u);
    ASSERT_NE(failed, shown.begin());
    EXPECT_GT(failed->value, 0);
    EXPECT_LT(failed->value, TProgressBar::Steps);
    for (auto it = failed; it != shown.end(); ++it) {
        EXPECT_EQ(it->value, failed->value);
        EXPECT_TRUE(it->text.startsWith(QStringLiteral("Falhou — parou em "))) << it->text.toStdString();
    }
    for (const TShown& s : shown)
        EXPECT_NE(s.kind, TProgressState::TKind::Done);
    EXPECT_EQ(Find<TProgressBar>(*window, "pbRestore")->value(), failed->value);
}

TEST_F(RunsProgressTest, ARefusedRunMovesNothing)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 40));
    const QString backup = Folder() + QStringLiteral("DADOS.BKP");
    MakeBackup(database, backup);
    // Another program has the database open: the restore is refused.
    TIBDatabase user;
    user.SetLoginPrompt(false);
    user.Params().Add(QStringLiteral("user_name=") + testserver::User());
    user.Params().Add(QStringLiteral("password=") + testserver::Password());
    user.SetDatabaseName(testserver::ServerText() + database);
    user.SetConnected(true);
    auto window = ShownWindow(database);
    Choose(*window, backup);
    Record(*window, "pbRestore");

    Button(*window, "btnRestore")->click();

    ASSERT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    ASSERT_FALSE(shown.empty());
    for (const TShown& s : shown) {
        EXPECT_EQ(s.value, 0) << s.text.toStdString();
        EXPECT_EQ(s.fraction, 0.0);
        EXPECT_NE(s.kind, TProgressState::TKind::Done);
    }
    EXPECT_EQ(Find<TProgressBar>(*window, "pbRestore")->value(), 0);
    user.SetConnected(false);

    // A backup without a connection asks for one and shows no bar at all.
    dialogs.boxes.clear();
    Record(*window, "pbBackup");
    Button(*window, "btnBackup")->click();
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(Find<TProgressBar>(*window, "pbBackup")->isHidden());
}
