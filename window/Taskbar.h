#pragma once
// A run's progress on the window's taskbar button: Windows' taskbar list
// (Taskbar_win.cpp) shows the same figure as the bar, busy without an
// estimate, red after a failure, and nothing once the run has succeeded.
// Elsewhere the desktop has no such button (Taskbar_posix.cpp does nothing).

#include <memory>

class QWidget;
struct TProgressState;

class TTaskbarProgress {
public:
    // For window's button. Without the taskbar list (an old or odd desktop)
    // the run goes on without it, with a warning.
    explicit TTaskbarProgress(QWidget& window);
    ~TTaskbarProgress();
    TTaskbarProgress(const TTaskbarProgress&) = delete;
    TTaskbarProgress& operator=(const TTaskbarProgress&) = delete;

    void Show(const TProgressState& state);

private:
    struct TButton;
    std::unique_ptr<TButton> FButton;
};
