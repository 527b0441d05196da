#include "window/RunProgress.h"

#include "window/BackupRestore.h"
#include "window/ProgressBar.h"

namespace {

constexpr int ShowEveryMilliseconds = 50;

} // namespace

TRunProgress::TRunProgress(TfrmPrincipal& window, TProgressBar& bar)
    : FWindow(window)
    , FBar(bar)
    , FTaskbar(window)
{
    FBar.setVisible(true);
    Show();
    FTimer.setInterval(ShowEveryMilliseconds);
    QObject::connect(&FTimer, &QTimer::timeout, &FBar, [this] { Show(); });
    FTimer.start();
}

TRunProgress::~TRunProgress()
{
    FTimer.stop();
    Show();
}

void TRunProgress::Finish()
{
    FJob.Finish();
    Show();
}

void TRunProgress::Fail()
{
    FJob.Fail();
    Show();
}

void TRunProgress::Show()
{
    const TProgressState state = FJob.State();
    FBar.ShowState(state);
    FTaskbar.Show(state);
    if (FWindow.progressShown)
        FWindow.progressShown(state);
}
