// The bar of a run's page: how it shows each state of a run's progress, and
// where it sits on its page.

#include "AppearanceTestSupport.h"

#include "core/JobProgress.h"
#include "window/ProgressBar.h"

namespace {

TProgressState State(TProgressState::TKind kind, double fraction, double elapsed, double left = -1)
{
    TProgressState state;
    state.kind = kind;
    state.fraction = fraction;
    state.elapsed = elapsed;
    state.left = left;
    return state;
}

} // namespace

TEST_F(WindowTest, TheBarShowsEachStateOfARunWithItsWords)
{
    using TKind = TProgressState::TKind;
    struct TCase {
        TProgressState state;
        int maximum;
        int value;
        QString text;
    };
    const TCase cases[] = {
        {State(TKind::NotStarted, 0, 0), 1000, 0, QString()},
        // Nothing to estimate from: busy, with the time gone by in words all the same.
        {State(TKind::Indeterminate, 0, 65), 0, 0, QStringLiteral("Sem estimativa — 1 min 05 s decorridos")},
        {State(TKind::Estimated, 0.4329, 90, 118), 1000, 432, QStringLiteral("43% — cerca de 2 min restantes")},
        // Never full before the run is done.
        {State(TKind::Estimated, 0.9999, 300, 1), 1000, 999, QStringLiteral("99% — cerca de 5 s restantes")},
        {State(TKind::Failed, 0.4329, 95), 1000, 432, QStringLiteral("Falhou — parou em 43% após 1 min 35 s")},
        {State(TKind::Done, 1, 301, 0), 1000, 1000, QStringLiteral("100% — concluído em 5 min 01 s")},
    };
    TProgressBar bar;
    const QColor normal = bar.palette().color(QPalette::Highlight);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        bar.ShowState(c.state);
        EXPECT_EQ(bar.minimum(), 0);
        EXPECT_EQ(bar.maximum(), c.maximum);
        if (c.maximum > 0) {
            EXPECT_EQ(bar.value(), c.value);
        }
        EXPECT_EQ(bar.text(), c.text);
        EXPECT_EQ(bar.text(), ProgressText(c.state));
        // A failure has a look of its own, which the next run's states lose.
        EXPECT_EQ(bar.palette().color(QPalette::Highlight) != normal, c.state.kind == TKind::Failed);
    }
}

TEST_F(AppearanceTest, EachPageHasItsBarInItsFreeRoomHiddenUntilARun)
{
    auto window = ShowWindow();
    struct TPage {
        int index;
        const char* bar;
        const char* panel;
    };
    auto* tabs = Find<QTabWidget>(*window, "PageControl1");
    for (const TPage& page : {TPage{0, "pbBackup", "Panel3"}, TPage{1, "pbRestore", "Panel2"}}) {
        SCOPED_TRACE(page.bar);
        tabs->setCurrentIndex(page.index);
        QCoreApplication::processEvents();
        auto* bar = Find<TProgressBar>(*window, page.bar);
        auto* panel = Find<QWidget>(*window, page.panel);
        ASSERT_EQ(bar->parentWidget(), panel);
        EXPECT_FALSE(bar->isVisible());
        bar->setVisible(true);
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->focusPolicy(), Qt::NoFocus);
        EXPECT_TRUE(panel->contentsRect().contains(bar->geometry()));
        // On nothing else of the page: the room beside the page's button.
        for (QWidget* other : panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (other != bar && other->isVisible()) {
                EXPECT_FALSE(other->geometry().intersects(bar->geometry())) << other->objectName().toStdString();
            }
        }
    }
    // Every other control is where it was, the bars shown.
    ExpectPlaces(*window);
}
