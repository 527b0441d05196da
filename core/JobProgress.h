#pragma once
// How far along a backup or restore is, and how long it has left.
//
// The server's verbose output says what the job is busy with ("writing data
// for table", "N records written", "activating and creating deferred
// index"), never how much there is. So the job starts with a plan: the user
// tables with the records and indexes each is expected to hold (from the
// database's own metadata, or the counts of the backup that the run has just
// written). Each piece of work is weighed by what it costs the server (see
// JobProgress.cpp), and the lines tick the pieces off as they come.
//
// Between two lines (a long index, the commit of the metadata) the figure
// moves on at the pace the job has kept so far, never beyond the piece in
// hand. The figure only grows, and reaches 100% only when the caller says the
// whole job has succeeded. Without a plan nothing is estimated: the state is
// indeterminate and only the elapsed time is told.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

// One user table, as the job expects to find it.
struct TTableEstimate {
    QString name;
    // Records expected; a guess where counted is false.
    double rows = 0;
    int indexes = 0;
    bool counted = false;
    // The declared length of a record, in bytes (0: not known).
    double recordLength = 0;
};

struct TJobPlan {
    // Whether there is anything to estimate from (a database with no user
    // tables is a plan too).
    bool known = false;
    std::vector<TTableEstimate> tables;
    // The privileges a restore will name, and the lines of metadata before
    // the data (a domain, a table, a column each; negative: not known).
    double grants = -1;
    double metaLines = -1;
};

class TStageModel;

// The server jobs that a run is made of, in order: the backup road is a
// backup and the restore that proves it; a restore run is one restore.
enum class TJobStage { Backup, Restore };

struct TProgressState {
    enum class TKind {
        NotStarted, // Start not called yet
        Indeterminate, // running, nothing to estimate from
        Estimated, // running, fraction and (once settled) left hold
        Done, // the job succeeded: fraction is 1
        Failed, // the job failed or was refused: fraction is where it stopped
    };
    TKind kind = TKind::NotStarted;
    // 0 to 1; below 1 until Done.
    double fraction = 0;
    // Seconds since Start (frozen at Done and Failed).
    double elapsed = 0;
    // Seconds left; negative while unknown.
    double left = -1;
};

class TJobProgress {
public:
    // Seconds on a steady clock; the default is the machine's steady clock.
    using TClock = std::function<double()>;
    explicit TJobProgress(TClock clock = TClock());

    // A run begins: the stages it will run, and what it expects to move
    // (an unknown plan gives an indeterminate state).
    void Start(const TJobPlan& plan, const std::vector<TJobStage>& stages);
    // The next stage's job has started on the server.
    void BeginStage();
    // Lines of the stage's verbose output, as they come.
    void Lines(const QStringList& lines);
    // The stage's output has ended.
    void EndStage();
    // The whole run has succeeded, or has failed; a run refused before Start
    // fails with nothing moved.
    void Finish();
    void Fail();

    // The state now. The fraction never goes back between two calls.
    TProgressState State() const;
    // Whether a run is under way (Start called, neither Finish nor Fail).
    bool Running() const;

    // What the last stage begun has moved, as a plan for a job after it: the
    // tables with the records its lines counted and the indexes they named
    // (the plan itself before any stage).
    TJobPlan LearnedPlan() const;

    // The work of the stages so far and of all, in the costs' units.
    double DoneWork() const;
    double TotalWork() const;

    ~TJobProgress();
    TJobProgress(const TJobProgress&) = delete;
    TJobProgress& operator=(const TJobProgress&) = delete;

private:
    TClock FClock;
    std::vector<TJobStage> FStages;
    // The model of each stage, made when the stage begins.
    std::vector<std::unique_ptr<TStageModel>> FModels;
    int FCurrent = -1;
    bool FKnown = false;
    double FStart = 0;
    TProgressState::TKind FEnd = TProgressState::TKind::NotStarted;
    double FEndTime = 0;
    mutable double FShown = 0;
    mutable double FShownAt = 0;
    TJobPlan FPlan;
    double StateFraction(double now) const;
    // The work of the stages still to come, worked out again only when the
    // stage in hand has taken lines since (and not more often than twice a
    // second).
    mutable long FFutureRevision = -1;
    mutable double FFutureWork = 0;
    mutable double FFutureAt = 0;
    long FRevision = 0;
};

// A run's progress on every way out: failed, unless the run said Finish.
class TProgressRun {
public:
    explicit TProgressRun(TJobProgress& progress)
        : FProgress(progress)
    {
    }
    ~TProgressRun() { FProgress.Fail(); }
    TProgressRun(const TProgressRun&) = delete;
    TProgressRun& operator=(const TProgressRun&) = delete;

private:
    TJobProgress& FProgress;
};

// What the bar's text says: "43% — cerca de 2 min restantes", the elapsed
// time where nothing is estimated, and the end ("concluído", "falhou").
QString ProgressText(const TProgressState& state);
// Whole seconds in words: "45 s", "2 min 05 s", "1 h 03 min".
QString DurationText(double seconds);
