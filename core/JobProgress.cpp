#include "core/JobProgress.h"

#include "core/StageModel.h"

#include <algorithm>
#include <chrono>

namespace {

// The figure while the run's own last steps go on (checks, the swap):
// 100% is said only by Finish.
constexpr double RunningCeiling = 0.99;
// The time left is told once the job has gone on this long and this far.
constexpr double LeftAfterSeconds = 2.0;
constexpr double LeftAfterFraction = 0.02;
// The stages still to come are weighed again at most this often (their plan
// is all the tables of the stage in hand).
constexpr double FutureEvery = 0.5;
// How much faster than the job's pace so far the figure may move to catch up
// with the estimate, and the pace taken while the job's own is lower.
constexpr double CatchUpPace = 1.75;
constexpr double SlowestPace = 0.01;
constexpr double LongestLookGap = 0.075;

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

TJobProgress::TJobProgress(TClock clock)
    : FClock(clock ? std::move(clock) : TClock(&Now))
{
}

TJobProgress::~TJobProgress() = default;

void TJobProgress::Start(const TJobPlan& plan, const std::vector<TJobStage>& stages)
{
    FPlan = plan;
    FStages = stages;
    FModels.clear();
    FCurrent = -1;
    FKnown = plan.known;
    FStart = FClock();
    FEnd = TProgressState::TKind::Estimated;
    FShown = 0;
    FShownAt = FStart;
    FFutureRevision = -1;
}

void TJobProgress::BeginStage()
{
    if (!Running() || FCurrent + 1 >= static_cast<int>(FStages.size()))
        return;
    if (FCurrent >= 0)
        FModels[static_cast<size_t>(FCurrent)]->End();
    // A stage after another works on what that one moved: the restore that
    // proves a backup on what the backup wrote, a restore after its trial on
    // what the trial restored.
    const TJobPlan plan = FCurrent >= 0 ? FModels[static_cast<size_t>(FCurrent)]->Learned() : FPlan;
    const double pace = FCurrent >= 0 ? FModels[static_cast<size_t>(FCurrent)]->Pace() : 1.0;
    ++FCurrent;
    FModels.push_back(std::make_unique<TStageModel>(FStages[static_cast<size_t>(FCurrent)], plan, FClock(), pace));
    ++FRevision;
}

void TJobProgress::Lines(const QStringList& lines)
{
    if (!Running() || FCurrent < 0)
        return;
    TStageModel& model = *FModels[static_cast<size_t>(FCurrent)];
    if (model.Ended())
        return;
    const double now = FClock();
    for (const QString& line : lines)
        model.Line(line, now);
    ++FRevision;
}

void TJobProgress::EndStage()
{
    if (Running() && FCurrent >= 0) {
        FModels[static_cast<size_t>(FCurrent)]->End();
        ++FRevision;
    }
}

void TJobProgress::Finish()
{
    if (!Running())
        return;
    FEndTime = FClock();
    FEnd = TProgressState::TKind::Done;
}

void TJobProgress::Fail()
{
    if (FEnd == TProgressState::TKind::Done || FEnd == TProgressState::TKind::Failed)
        return;
    FEndTime = FClock();
    if (FEnd == TProgressState::TKind::NotStarted) {
        // Refused before it began: nothing moved.
        FStart = FEndTime;
        FShown = 0;
    } else {
        FShown = StateFraction(FEndTime);
    }
    FEnd = TProgressState::TKind::Failed;
}

bool TJobProgress::Running() const
{
    return FEnd == TProgressState::TKind::Estimated;
}

TJobPlan TJobProgress::LearnedPlan() const
{
    return FCurrent >= 0 ? FModels[static_cast<size_t>(FCurrent)]->Learned() : FPlan;
}

double TJobProgress::DoneWork() const
{
    double done = 0;
    const double now = FClock();
    for (const auto& model : FModels)
        done += model->DoneBy(now);
    return done;
}

double TJobProgress::TotalWork() const
{
    double total = 0;
    for (const auto& model : FModels)
        total += model->Total();
    // The stages still to come, on what the job knows by now.
    const double now = FClock();
    if (FFutureRevision < 0 || (FFutureRevision != FRevision && now - FFutureAt >= FutureEvery)) {
        FFutureWork = 0;
        for (size_t i = FModels.size(); i < FStages.size(); ++i)
            FFutureWork += TStageModel(FStages[i], i > 0 ? LearnedPlan() : FPlan, 0, 1).Total();
        FFutureRevision = FRevision;
        FFutureAt = now;
    }
    return total + FFutureWork;
}

double TJobProgress::StateFraction(double now) const
{
    if (!FKnown)
        return 0;
    const double total = TotalWork();
    const double estimate = total > 0 ? std::min(RunningCeiling, DoneWork() / total) : 0;
    // The figure follows the estimate, never ahead of it and never faster
    // than a few times the job's pace so far: the server hands its lines
    // over in bulk, and what a batch ticks off at once is shown as it went.
    const double elapsed = std::max(1e-3, now - FStart);
    const double fastest = CatchUpPace * std::max(estimate / elapsed, SlowestPace);
    // A look long after the last (a window busy elsewhere) moves the figure
    // no further than a look in time would have.
    const double step = fastest * std::min(std::max(0.0, now - FShownAt), LongestLookGap);
    FShown = std::max(FShown, std::min(estimate, FShown + step));
    FShownAt = now;
    return FShown;
}

TProgressState TJobProgress::State() const
{
    TProgressState state;
    if (FEnd == TProgressState::TKind::NotStarted)
        return state;
    const double now = Running() ? FClock() : FEndTime;
    state.elapsed = std::max(0.0, now - FStart);
    if (FEnd == TProgressState::TKind::Done) {
        state.kind = TProgressState::TKind::Done;
        state.fraction = 1;
        state.left = 0;
        return state;
    }
    if (FEnd == TProgressState::TKind::Failed) {
        state.kind = TProgressState::TKind::Failed;
        state.fraction = FShown;
        return state;
    }
    if (!FKnown) {
        state.kind = TProgressState::TKind::Indeterminate;
        return state;
    }
    state.kind = TProgressState::TKind::Estimated;
    state.fraction = StateFraction(now);
    if (state.elapsed >= LeftAfterSeconds && state.fraction >= LeftAfterFraction)
        state.left = state.elapsed * (1 - state.fraction) / state.fraction;
    return state;
}
