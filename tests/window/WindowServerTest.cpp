// The focus rules of the window's activation while a page's road talks to the
// server (its service attached), as during a run.

#include "ServerAttach.h"
#include "WindowTestSupport.h"

#include <optional>

#include "logview/LogView.h"
#include <QLineEdit>
#include <QTabWidget>

namespace {

class WindowServerTest : public WindowTest {
protected:
    // The operator turns to another window and back.
    static void Reactivate(QWidget& window)
    {
        QWidget other;
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

} // namespace

TEST_F(WindowServerTest, ActivationGivesTheFocusToTheLogOfTheShownPagesAttachedService)
{
    struct Case {
        int page;
        bool backupAttached;
        bool restoreAttached;
        const char* focused;
    };
    const std::vector<Case> cases = {
        {0, true, false, "mmBackup"},
        {1, true, false, "edCaminho"},
        {1, false, true, "mmRestore"},
        {0, false, true, "edCaminho"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        SCOPED_TRACE(c.focused);
        auto window = MakeWindow();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        std::optional<TRoadOnPage> road;
        if (c.backupAttached)
            road.emplace(*window, TfrmPrincipal::TRoadPage::Backup);
        if (c.restoreAttached)
            road.emplace(*window, TfrmPrincipal::TRoadPage::Restore);
        Find<QTabWidget>(*window, "PageControl1")->setCurrentIndex(c.page);
        Find<QLineEdit>(*window, "edCaminho")->setFocus();

        Reactivate(*window);

        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QLatin1String(c.focused));
    }
}
