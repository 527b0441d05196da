// What the progress bar and the command line say of a job's state.

#include "core/JobProgress.h"

#include <algorithm>
#include <cmath>

namespace {

QString TwoDigits(long value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// The time left, rounded as an estimate deserves: to 5 s under a minute, to
// the minute under an hour.
QString LeftText(double seconds)
{
    if (seconds < 60) {
        const long rounded = std::max(5L, std::lround(seconds / 5) * 5);
        if (rounded < 60)
            return QStringLiteral("cerca de %1 s restantes").arg(rounded);
        return QStringLiteral("cerca de 1 min restante");
    }
    const long minutes = std::lround(seconds / 60);
    if (minutes < 60)
        return minutes == 1 ? QStringLiteral("cerca de 1 min restante")
                            : QStringLiteral("cerca de %1 min restantes").arg(minutes);
    return QStringLiteral("cerca de %1 h %2 min restantes").arg(minutes / 60).arg(TwoDigits(minutes % 60));
}

QString Percent(double fraction)
{
    // Never rounded up to a figure not reached: 99.6% is "99%".
    return QStringLiteral("%1%").arg(static_cast<long>(std::floor(fraction * 100)));
}

} // namespace

QString DurationText(double seconds)
{
    const long whole = std::max(0L, static_cast<long>(std::floor(seconds)));
    if (whole < 60)
        return QStringLiteral("%1 s").arg(whole);
    if (whole < 3600)
        return QStringLiteral("%1 min %2 s").arg(whole / 60).arg(TwoDigits(whole % 60));
    return QStringLiteral("%1 h %2 min").arg(whole / 3600).arg(TwoDigits(whole / 60 % 60));
}

QString ProgressText(const TProgressState& state)
{
    using TKind = TProgressState::TKind;
    const QString dash = QStringLiteral(" — ");
    switch (state.kind) {
    case TKind::NotStarted:
        return QString();
    case TKind::Indeterminate:
        return QStringLiteral("Sem estimativa") + dash + DurationText(state.elapsed) + QStringLiteral(" decorridos");
    case TKind::Estimated:
        if (state.left < 0)
            return Percent(state.fraction) + dash + QStringLiteral("calculando o tempo restante");
        return Percent(state.fraction) + dash + LeftText(state.left);
    case TKind::Done:
        return QStringLiteral("100%") + dash + QStringLiteral("concluído em ") + DurationText(state.elapsed);
    case TKind::Failed:
        return QStringLiteral("Falhou") + dash + QStringLiteral("parou em ") + Percent(state.fraction)
            + QStringLiteral(" após ") + DurationText(state.elapsed);
    }
    return QString();
}
