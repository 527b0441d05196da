#pragma once
// One server job of a run (a backup or a restore) as the progress sees it:
// the tables as far as they are known, the phase its output is in, the work
// its lines have ticked off, and the pace it keeps.

#include "core/JobProgress.h"
#include "core/VerboseLine.h"

#include <QHash>
#include <QString>

#include <utility>
#include <vector>

class TStageModel {
public:
    TStageModel(TJobStage stage, const TJobPlan& plan, double now, double startPace);

    // Takes a line in (read at now).
    void Line(const QString& text, double now);
    // The job's output has ended: all its work is done.
    void End();
    bool Ended() const { return FEnded; }

    // The whole work of the job, as known now.
    double Total() const;
    // The work done by now: what the lines ticked off, moved on at the
    // job's pace since the last of them.
    double DoneBy(double now) const;
    // The work its lines have ticked off per second (once it has gone on
    // long enough to tell; the pace it started with until then).
    double Pace() const;
    // What the job has moved, as a plan for a job after it.
    TJobPlan Learned() const;

private:
    enum class TPhase { Meta, Data, Tail, Grants, Commit, Indexes, Finish };
    struct TTable {
        QString name;
        double rows = 0;
        int indexes = 0;
        bool counted = false;
        double recordLength = 0;
        double done = 0;
        int namedIndexes = 0;
        bool dataDone = false;
    };
    // What the lines so far have ticked off: the work done, and how much
    // further the figure may move on in the phase (or the index) in hand.
    struct TTicked {
        double total = 0;
        double done = 0;
        double inPhase = 0;
    };

    bool Backup() const { return FStage == TJobStage::Backup; }
    double TableCount() const { return static_cast<double>(FTables.size()); }
    double RecordCost(const TTable& table) const;
    double DataCost(const TTable& table) const;
    double IndexCost(const TTable& table) const;
    double AverageIndexCost() const;
    std::vector<std::pair<TPhase, double>> Budgets() const;
    double DoneInPhase() const;
    const TTicked& Ticked() const;

    bool Take(const TVerboseLine& line);
    int TableNamed(const QString& name);
    void EndTableData();
    void LeaveData();
    void MoveTo(TPhase next);

    TJobStage FStage;
    std::vector<TTable> FTables;
    QHash<QString, int> FByName;
    QHash<QString, int> FIndexTable;
    TPhase FPhase = TPhase::Meta;
    int FTablesNamed = 0;
    double FMetaLines = -1;
    double FMetaLinesSeen = 0;
    double FGrants = -1;
    double FGrantsSeen = 0;
    int FCurrent = -1;
    double FInterval;
    double FLastCount = 0;
    double FIndexWorkDone = 0;
    double FIndexInHand = -1;
    double FStart;
    double FLastEvent;
    double FStartPace;
    bool FEnded = false;
    // What Ticked() worked out, until the next line changes it.
    long FRevision = 0;
    mutable long FTickedRevision = -1;
    mutable TTicked FTicked;
};
