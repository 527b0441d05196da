#include "core/StageModel.h"

#include "core/JobCosts.h"

#include <algorithm>

using namespace jobcosts;

namespace {

// Between two lines the figure moves on at the job's pace: while records are
// read at most MaxAheadSeconds of it past the last line (the server hands its
// lines over in bulk about once a second; a table far slower than the others
// stops the figure rather than letting it run ahead); in a phase that names
// nothing as it goes (an index being built, a commit) up to AheadLimit of
// what is left of it; never past AheadLimit of what is left of the job.
constexpr double AheadLimit = 0.95;
constexpr double MaxAheadSeconds = 2.0;
// Until the job has gone on for this long its pace is the one it started with.
constexpr double PaceSettles = 0.25;

} // namespace

TStageModel::TStageModel(TJobStage stage, const TJobPlan& plan, double now, double startPace)
    : FStage(stage)
    , FOtherTables(std::max(0, plan.otherTables))
    , FOtherIndexes(std::max(0, plan.otherIndexes))
    , FMetaLines(plan.metaLines)
    , FGrants(plan.grants)
    , FInterval(DefaultInterval)
    , FStart(now)
    , FLastEvent(now)
    , FStartPace(startPace)
{
    for (const TTableEstimate& estimate : plan.tables) {
        TTable table;
        table.name = estimate.name;
        table.rows = std::max(0.0, estimate.rows);
        table.indexes = std::max(0, estimate.indexes);
        table.counted = estimate.counted;
        table.recordLength = estimate.recordLength > 0 ? estimate.recordLength : UnknownRecordLength;
        FByName.insert(table.name, static_cast<int>(FTables.size()));
        FTables.push_back(table);
    }
}

double TStageModel::RecordCost(const TTable& table) const
{
    return Backup() ? BackupRecord + BackupRecordByte * table.recordLength
                    : RestoreRecord + RestoreRecordByte * table.recordLength;
}

double TStageModel::DataCost(const TTable& table) const
{
    return (Backup() ? BackupTableData : RestoreTableData) + RecordCost(table) * table.rows;
}

double TStageModel::IndexCost(const TTable& table) const
{
    return RestoreIndex + RestoreIndexKey * table.rows;
}

double TStageModel::AverageIndexCost() const
{
    double sum = FOtherIndexes * RestoreIndex;
    int count = FOtherIndexes;
    for (const TTable& table : FTables) {
        sum += table.indexes * IndexCost(table);
        count += table.indexes;
    }
    return count > 0 ? sum / count : RestoreIndex;
}

std::vector<std::pair<TStageModel::TPhase, double>> TStageModel::Budgets() const
{
    const double tables = TableCount();
    double data = 0;
    double rows = 0;
    double indexes = 0;
    for (const TTable& table : FTables) {
        data += DataCost(table);
        rows += table.rows;
        indexes += table.indexes * IndexCost(table);
    }
    const double metaLines = FMetaLines >= 0 ? std::max(FMetaLines, FMetaLinesSeen) : -1;
    if (Backup()) {
        const double meta = BackupStart + (metaLines >= 0 ? metaLines * BackupMetaLine : tables * BackupTableMeta);
        return {{TPhase::Meta, meta}, {TPhase::Data, data},
            {TPhase::Tail, BackupTableTail * tables + BackupTailPerRecord * rows}};
    }
    const double meta = RestoreStart + (metaLines >= 0 ? metaLines * RestoreMetaLine : tables * RestoreTableMeta)
        + tables * RestoreTableMetaCommit;
    const double grants = FGrants >= 0 ? std::max(FGrants, FGrantsSeen) * RestoreGrant : tables * RestoreTableGrants;
    indexes += FOtherIndexes * RestoreIndex;
    indexes = std::max(indexes, FIndexWorkDone + std::max(0.0, FIndexInHand));
    return {{TPhase::Meta, meta}, {TPhase::Data, data}, {TPhase::Grants, grants},
        {TPhase::Commit, tables * RestoreTableCommit}, {TPhase::Indexes, indexes},
        {TPhase::Finish, RestoreFinish + tables * RestoreTableFinish}};
}

double TStageModel::DoneInPhase() const
{
    switch (FPhase) {
    case TPhase::Meta:
        if (FMetaLines >= 0)
            return (Backup() ? BackupStart : RestoreStart)
                + std::min(FMetaLinesSeen, FMetaLines) * (Backup() ? BackupMetaLine : RestoreMetaLine);
        return Backup() ? BackupStart + BackupTableMeta * FTablesNamed : RestoreStart + RestoreTableMeta * FTablesNamed;
    case TPhase::Data: {
        double sum = 0;
        for (const TTable& table : FTables) {
            if (table.dataDone)
                sum += DataCost(table);
        }
        if (FCurrent >= 0) {
            const TTable& table = FTables[static_cast<size_t>(FCurrent)];
            sum += (Backup() ? BackupTableData : RestoreTableData)
                + RecordCost(table) * std::min(table.done, table.rows);
        }
        return sum;
    }
    case TPhase::Grants:
        return FGrants >= 0 ? FGrantsSeen * RestoreGrant : 0;
    case TPhase::Indexes:
        return FIndexWorkDone;
    default:
        return 0;
    }
}

const TStageModel::TTicked& TStageModel::Ticked() const
{
    if (FTickedRevision == FRevision)
        return FTicked;
    TTicked ticked;
    bool reached = false;
    for (const auto& budget : Budgets()) {
        ticked.total += budget.second;
        if (reached)
            continue;
        if (budget.first == FPhase) {
            const double inPhase = std::min(DoneInPhase(), budget.second);
            ticked.done += inPhase;
            ticked.inPhase = budget.second - inPhase;
            if (FPhase == TPhase::Indexes && FIndexInHand >= 0)
                ticked.inPhase = std::min(ticked.inPhase, FIndexInHand);
            reached = true;
        } else {
            ticked.done += budget.second;
        }
    }
    if (FEnded) {
        ticked.done = ticked.total;
        ticked.inPhase = 0;
    }
    FTicked = ticked;
    FTickedRevision = FRevision;
    return FTicked;
}

double TStageModel::Total() const
{
    return Ticked().total;
}

double TStageModel::Pace() const
{
    const double ran = FLastEvent - FStart;
    const double done = Ticked().done;
    return ran >= PaceSettles && done > 0 ? done / ran : FStartPace;
}

double TStageModel::DoneBy(double now) const
{
    const TTicked& ticked = Ticked();
    if (FEnded)
        return ticked.total;
    const double pace = Pace();
    const double bulk = pace * MaxAheadSeconds;
    const double limit = FPhase == TPhase::Data ? bulk : std::max(bulk, AheadLimit * ticked.inPhase);
    const double ahead = std::min(pace * std::max(0.0, now - FLastEvent), limit);
    return ticked.done + std::min(ahead, AheadLimit * (ticked.total - ticked.done));
}

void TStageModel::End()
{
    FEnded = true;
    ++FRevision;
}

int TStageModel::TableNamed(const QString& name)
{
    const auto found = FByName.constFind(name);
    if (found != FByName.constEnd())
        return found.value();
    // A table the plan did not list (one of those it only counted, when
    // there are any left): it weighs what its lines show.
    if (FOtherTables > 0)
        --FOtherTables;
    TTable table;
    table.name = name;
    table.recordLength = UnknownRecordLength;
    FByName.insert(name, static_cast<int>(FTables.size()));
    FTables.push_back(table);
    return static_cast<int>(FTables.size()) - 1;
}

void TStageModel::EndTableData()
{
    if (FCurrent < 0)
        return;
    TTable& table = FTables[static_cast<size_t>(FCurrent)];
    table.rows = table.done;
    table.counted = true;
    // A backup names each table's indexes after its data; a restore names
    // those of the tables without records after the last table with some,
    // so there the plan's counts hold.
    if (Backup())
        table.indexes = table.namedIndexes;
    table.dataDone = true;
    FCurrent = -1;
}

void TStageModel::LeaveData()
{
    EndTableData();
    // Whatever the plan expected of tables the output never named has not
    // had to be moved.
    for (TTable& table : FTables) {
        if (!table.dataDone) {
            table.rows = table.done;
            table.dataDone = true;
        }
    }
}

void TStageModel::MoveTo(TPhase next)
{
    if (next <= FPhase)
        return;
    if (FPhase <= TPhase::Data && next > TPhase::Data)
        LeaveData();
    if (FPhase == TPhase::Indexes && FIndexInHand >= 0) {
        FIndexWorkDone += FIndexInHand;
        FIndexInHand = -1;
    }
    FPhase = next;
}

void TStageModel::Line(const QString& text, double now)
{
    if (FEnded)
        return;
    ++FRevision;
    // The figure moves on from the last line that ticked something off.
    if (Take(ParseVerboseLine(text, FStage)))
        FLastEvent = now;
}

bool TStageModel::Take(const TVerboseLine& line)
{
    const TPhase before = FPhase;
    if (FPhase == TPhase::Meta && line.kind != TVerboseLine::TableData)
        ++FMetaLinesSeen;
    switch (line.kind) {
    case TVerboseLine::TableMeta:
        if (FPhase == TPhase::Meta) {
            ++FTablesNamed;
            TableNamed(line.name);
        }
        return true;
    case TVerboseLine::TableData:
        if (FPhase == TPhase::Grants)
            FPhase = TPhase::Data;
        if (FPhase > TPhase::Data)
            return false;
        MoveTo(TPhase::Data);
        EndTableData();
        FCurrent = TableNamed(line.name);
        FTables[static_cast<size_t>(FCurrent)].done = 0;
        FTables[static_cast<size_t>(FCurrent)].namedIndexes = 0;
        FLastCount = 0;
        return true;
    case TVerboseLine::Records:
        if (FPhase == TPhase::Data && FCurrent >= 0) {
            TTable& table = FTables[static_cast<size_t>(FCurrent)];
            if (line.count > FLastCount) {
                if (FLastCount > 0)
                    FInterval = line.count - FLastCount;
                FLastCount = line.count;
            }
            table.done = std::max(table.done, line.count);
            // More than the plan thought: the table weighs what is seen, and
            // at least one more interval unless the count was exact.
            if (table.done >= table.rows && !table.counted)
                table.rows = table.done + FInterval;
            else if (table.done > table.rows)
                table.rows = table.done;
        }
        return true;
    case TVerboseLine::Index:
        if (FPhase == TPhase::Data && FCurrent >= 0) {
            TTable& table = FTables[static_cast<size_t>(FCurrent)];
            ++table.namedIndexes;
            // In a restore, past the table's own count the index is another
            // table's (one without records): of unknown weight.
            if (Backup() || table.namedIndexes <= table.indexes)
                FIndexTable.insert(line.name, FCurrent);
        }
        return false;
    case TVerboseLine::Grant:
        ++FGrantsSeen;
        if (Backup())
            return false;
        if (FPhase == TPhase::Data)
            MoveTo(TPhase::Grants);
        // Where the plan knows how many there are, each one counts.
        return FPhase == TPhase::Grants && FGrants >= 0;
    case TVerboseLine::CreatingIndexes:
        MoveTo(TPhase::Commit);
        return true;
    case TVerboseLine::ActivateIndex: {
        MoveTo(TPhase::Indexes);
        if (FPhase != TPhase::Indexes)
            return false;
        if (FIndexInHand >= 0)
            FIndexWorkDone += FIndexInHand;
        const auto table = FIndexTable.constFind(line.name);
        if (table != FIndexTable.constEnd()) {
            FIndexInHand = IndexCost(FTables[static_cast<size_t>(table.value())]);
        } else {
            // Worked out once: the tables do not change in this phase.
            if (FAverageIndexCost < 0)
                FAverageIndexCost = AverageIndexCost();
            FIndexInHand = FAverageIndexCost;
        }
        return true;
    }
    case TVerboseLine::Other:
        // After the data of a backup come its triggers, constraints and the
        // closing; after the indexes of a restore, its last steps.
        if (Backup() && FPhase == TPhase::Data)
            MoveTo(TPhase::Tail);
        else if (!Backup() && FPhase == TPhase::Indexes)
            MoveTo(TPhase::Finish);
        // A line of metadata counts where the plan knows how many there are.
        return FPhase != before || (FPhase == TPhase::Meta && FMetaLines >= 0);
    }
    return false;
}

TJobPlan TStageModel::Learned() const
{
    TJobPlan plan;
    plan.known = true;
    plan.grants = Backup() ? FGrantsSeen : FGrants;
    plan.metaLines = FPhase > TPhase::Meta ? FMetaLinesSeen : FMetaLines;
    plan.otherTables = FOtherTables;
    // A backup names every table's indexes with its data.
    plan.otherIndexes = Backup() ? 0 : FOtherIndexes;
    for (const TTable& table : FTables) {
        TTableEstimate estimate;
        estimate.name = table.name;
        estimate.rows = table.dataDone ? table.done : table.rows;
        estimate.indexes = table.dataDone && Backup() ? table.namedIndexes : table.indexes;
        estimate.counted = table.dataDone;
        estimate.recordLength = table.recordLength;
        plan.tables.push_back(estimate);
    }
    return plan;
}
