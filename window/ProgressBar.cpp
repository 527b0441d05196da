#include "window/ProgressBar.h"

#include "core/JobProgress.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

// Whole steps reached, never rounded up: the bar is full only when the run is done.
int StepsOf(double fraction)
{
    return std::clamp(static_cast<int>(std::floor(fraction * TProgressBar::Steps)), 0, TProgressBar::Steps);
}

} // namespace

TProgressBar::TProgressBar(QWidget* parent)
    : QProgressBar(parent)
{
    setRange(0, Steps);
    setValue(0);
    // Inside the bar: some styles put a left-aligned text beside it, where
    // the page has no room.
    setAlignment(Qt::AlignCenter);
    setTextVisible(true);
    setFocusPolicy(Qt::NoFocus);
}

void TProgressBar::ShowState(const TProgressState& state)
{
    using TKind = TProgressState::TKind;
    if (state.kind == TKind::Indeterminate) {
        setRange(0, 0);
    } else {
        setRange(0, Steps);
        setValue(state.kind == TKind::Done ? Steps : StepsOf(state.fraction));
    }
    const bool failed = state.kind == TKind::Failed;
    if (failed != FFailedLook) {
        FFailedLook = failed;
        if (failed) {
            QPalette red = palette();
            red.setColor(QPalette::Highlight, QColor(192, 0, 0));
            setPalette(red);
        } else {
            setPalette(QPalette());
        }
    }
    const QString text = ProgressText(state);
    if (text != FText) {
        FText = text;
        update();
    }
}
