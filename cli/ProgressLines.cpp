#include "cli/ProgressLines.h"

#include "core/JobProgress.h"

#include <QElapsedTimer>

namespace {

constexpr double LineEverySeconds = 1.0;
// A verbose job has tens of thousands of lines: the state (which weighs every
// table) is looked at this often at most, the clock at every line.
constexpr double LookEverySeconds = 0.05;

double Now()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

} // namespace

QString ProgressLine(const QString& text)
{
    return QStringLiteral("Progresso: ") + text;
}

TProgressLines::TProgressLines(const TJobProgress& progress, TPrint print, TClock clock)
    : FProgress(progress)
    , FPrint(std::move(print))
    , FClock(clock ? std::move(clock) : TClock(&Now))
{
}

void TProgressLines::Tick()
{
    if (!FProgress.Running())
        return;
    const double now = FClock();
    // Looked at often, as the window's bar is (the figure catches up with
    // the estimate a little at each look), printed at most once a second.
    if (FLastLook >= 0 && now - FLastLook < LookEverySeconds)
        return;
    FLastLook = now;
    const TProgressState state = FProgress.State();
    if (FLastPrint >= 0 && now - FLastPrint < LineEverySeconds)
        return;
    const QString text = ProgressText(state);
    // The same words again tell nothing new.
    if (text == FLastText)
        return;
    FLastText = text;
    FLastPrint = now;
    FPrint(ProgressLine(text));
}

void TProgressLines::Final()
{
    const TProgressState state = FProgress.State();
    if (state.kind == TProgressState::TKind::NotStarted)
        return;
    FPrint(ProgressLine(ProgressText(state)));
}
