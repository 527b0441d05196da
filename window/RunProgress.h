#pragma once
// How far along one backup or restore run of the window is, shown while it
// goes: the run's estimate, which the roads feed through the sink, on the
// bar of the run's page and on the taskbar button. A timer shows it about
// every 50 ms (the run processes the window's messages every 10 ms or so, so
// the timer fires), and it is shown once more at each end: Finish, Fail, and
// the destructor, which comes after the run's TProgressRun has said Fail on
// a way out that said neither.

#include "core/JobProgress.h"
#include "window/Taskbar.h"

#include <QTimer>

class TfrmPrincipal;
class TProgressBar;

class TRunProgress {
public:
    // A new run on bar: the bar shows it from nothing.
    TRunProgress(TfrmPrincipal& window, TProgressBar& bar);
    ~TRunProgress();
    TRunProgress(const TRunProgress&) = delete;
    TRunProgress& operator=(const TRunProgress&) = delete;

    // What the run's sink gets.
    TJobProgress& Job() { return FJob; }
    // The run has truly succeeded: the bar full before the operator is told.
    void Finish();
    // The run has failed: the bar stops where it was before the box says so.
    void Fail();
    void Show();

private:
    TfrmPrincipal& FWindow;
    TProgressBar& FBar;
    TJobProgress FJob;
    TTaskbarProgress FTaskbar;
    QTimer FTimer;
};
