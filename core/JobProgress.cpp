#include "core/JobProgress.h"

#include <QHash>

#include <algorithm>
#include <chrono>

namespace {

// What each piece of a job costs the server, in seconds, as Firebird 3 on
// loopback with 4 KB pages spends them (the verbose jobs timed line by line
// with bkp_stat/res_stat on the bench's databases: 3,000 small tables, and
// four tables of 750,000 records of about 200 bytes). Only their ratios
// matter: the pace of the machine at hand is learnt as the job goes.
//
// A backup: the metadata of each table (its domains and columns), the start
// of its data, each record, and at the end each table's constraints and
// privileges and the closing of the file.
constexpr double BackupStart = 0.01;
constexpr double BackupTableMeta = 0.08e-3;
constexpr double BackupTableData = 0.10e-3;
constexpr double BackupRecord = 1.2e-6;
constexpr double BackupTableTail = 0.07e-3;
constexpr double BackupTailPerRecord = 0.09e-6;
// A restore: the database's creation, each table's metadata and its commit,
// the start of its data, each record, the commit before the indexes, each
// index and each key in it, and the last steps per table.
constexpr double RestoreStart = 0.04;
constexpr double RestoreTableMeta = 0.45e-3;
constexpr double RestoreTableData = 0.50e-3;
constexpr double RestoreRecord = 4.0e-6;
constexpr double RestoreTableCommit = 0.30e-3;
constexpr double RestoreIndex = 0.43e-3;
constexpr double RestoreIndexKey = 0.45e-6;
constexpr double RestoreTableFinish = 0.16e-3;
constexpr double RestoreFinish = 0.01;

// Between two lines the figure moves on at the job's pace, up to this part
// of the piece in hand.
constexpr double AheadLimit = 0.9;
// Until the job has gone on for this long its pace is taken as the costs'.
constexpr double PaceSettles = 0.25;
// The figure while the run's own last steps go on (checks, the swap):
// 100% is said only by Finish.
constexpr double RunningCeiling = 0.99;
// The server's records between two "N records written" lines by default.
constexpr double DefaultInterval = 10000;
// The time left is told once the job has gone on this long and this far.
constexpr double LeftAfterSeconds = 2.0;
constexpr double LeftAfterFraction = 0.02;

enum class TPhase { Meta, Data, Tail, Commit, Indexes, Finish };

struct TTable {
    QString name;
    double rows = 0;
    int indexes = 0;
    bool counted = false;
    double done = 0;
    int namedIndexes = 0;
    bool dataDone = false;
};

// One line of verbose output, as far as the figure cares.
struct TParsed {
    enum TKind { Other, TableMeta, TableData, Records, Index, CreatingIndexes, ActivateIndex };
    TKind kind = Other;
    QString name;
    double count = 0;
};

QString NameIn(QStringView text)
{
    QString name = text.trimmed().toString();
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
        name = name.mid(1, name.size() - 2);
    return name;
}

TParsed Parse(const QString& line, TJobStage stage)
{
    QStringView text = QStringView(line).trimmed();
    if (text.startsWith(u"gbak:"))
        text = text.mid(5).trimmed();
    TParsed parsed;
    const bool backup = stage == TJobStage::Backup;
    const QStringView dataPrefix = backup ? QStringView(u"writing data for table ") : u"restoring data for table ";
    const QStringView tablePrefix = backup ? QStringView(u"writing table ") : u"restoring table ";
    const QStringView indexPrefix = backup ? QStringView(u"writing index ") : u"restoring index ";
    const QStringView recordsSuffix = backup ? QStringView(u" records written") : u" records restored";
    const QStringView activatePrefix = u"activating and creating deferred index ";
    if (text.startsWith(dataPrefix)) {
        parsed.kind = TParsed::TableData;
        parsed.name = NameIn(text.mid(dataPrefix.size()));
    } else if (text.startsWith(tablePrefix)) {
        parsed.kind = TParsed::TableMeta;
        parsed.name = NameIn(text.mid(tablePrefix.size()));
    } else if (text.startsWith(indexPrefix)) {
        parsed.kind = TParsed::Index;
        parsed.name = NameIn(text.mid(indexPrefix.size()));
    } else if (text.endsWith(recordsSuffix)) {
        bool ok = false;
        parsed.count = text.left(text.size() - recordsSuffix.size()).trimmed().toDouble(&ok);
        parsed.kind = ok ? TParsed::Records : TParsed::Other;
    } else if (!backup && text == u"creating indexes") {
        parsed.kind = TParsed::CreatingIndexes;
    } else if (!backup && text.startsWith(activatePrefix)) {
        parsed.kind = TParsed::ActivateIndex;
        parsed.name = NameIn(text.mid(activatePrefix.size()));
    }
    return parsed;
}

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

// One stage: its tables as far as they are known, the phase its output is
// in, and the piece in hand.
struct TJobProgress::TModel {
    TJobStage stage = TJobStage::Restore;
    std::vector<TTable> tables;
    QHash<QString, int> byName;
    QHash<QString, int> indexTable;
    TPhase phase = TPhase::Meta;
    int metaSeen = 0;
    int current = -1;
    double interval = DefaultInterval;
    double lastCount = 0;
    double indexWorkDone = 0;
    double indexInHand = -1;
    double start = 0;
    double lastEvent = 0;
    bool ended = false;

    TModel(TJobStage stageOf, const TJobPlan& plan, double now)
        : stage(stageOf)
        , start(now)
        , lastEvent(now)
    {
        for (const TTableEstimate& estimate : plan.tables) {
            TTable table;
            table.name = estimate.name;
            table.rows = std::max(0.0, estimate.rows);
            table.indexes = std::max(0, estimate.indexes);
            table.counted = estimate.counted;
            byName.insert(table.name, static_cast<int>(tables.size()));
            tables.push_back(table);
        }
    }

    bool Backup() const { return stage == TJobStage::Backup; }
    double TableCount() const { return static_cast<double>(tables.size()); }
    double DataCost(const TTable& table) const
    {
        return Backup() ? BackupTableData + BackupRecord * table.rows : RestoreTableData + RestoreRecord * table.rows;
    }
    double IndexCost(const TTable& table) const { return RestoreIndex + RestoreIndexKey * table.rows; }
    double MetaBudget() const
    {
        return Backup() ? BackupStart + BackupTableMeta * TableCount() : RestoreStart + RestoreTableMeta * TableCount();
    }
    double DataBudget() const
    {
        double sum = 0;
        for (const TTable& table : tables)
            sum += DataCost(table);
        return sum;
    }
    double RowsAll() const
    {
        double sum = 0;
        for (const TTable& table : tables)
            sum += table.rows;
        return sum;
    }
    double IndexBudget() const
    {
        double sum = 0;
        for (const TTable& table : tables)
            sum += table.indexes * IndexCost(table);
        return std::max(sum, indexWorkDone + std::max(0.0, indexInHand));
    }
    // The budgets of the stage's phases, in their order.
    std::vector<std::pair<TPhase, double>> Budgets() const
    {
        if (Backup())
            return {{TPhase::Meta, MetaBudget()}, {TPhase::Data, DataBudget()},
                {TPhase::Tail, BackupTableTail * TableCount() + BackupTailPerRecord * RowsAll()}};
        return {{TPhase::Meta, MetaBudget()}, {TPhase::Data, DataBudget()},
            {TPhase::Commit, RestoreTableCommit * TableCount()}, {TPhase::Indexes, IndexBudget()},
            {TPhase::Finish, RestoreFinish + RestoreTableFinish * TableCount()}};
    }
    double Total() const
    {
        double sum = 0;
        for (const auto& budget : Budgets())
            sum += budget.second;
        return sum;
    }
    // What the lines so far have ticked off in the phase they are in.
    double DoneInPhase() const
    {
        switch (phase) {
        case TPhase::Meta:
            return (Backup() ? BackupStart + BackupTableMeta * metaSeen : RestoreStart + RestoreTableMeta * metaSeen);
        case TPhase::Data: {
            double sum = 0;
            for (const TTable& table : tables) {
                if (table.dataDone)
                    sum += DataCost(table);
            }
            if (current >= 0) {
                const TTable& table = tables[static_cast<size_t>(current)];
                sum += (Backup() ? BackupTableData : RestoreTableData)
                    + (Backup() ? BackupRecord : RestoreRecord) * std::min(table.done, table.rows);
            }
            return sum;
        }
        case TPhase::Indexes:
            return indexWorkDone;
        default:
            return 0;
        }
    }
    // The work done by the lines so far, and the piece in hand after it.
    void Done(double& done, double& inHand) const
    {
        done = 0;
        inHand = 0;
        if (ended) {
            done = Total();
            return;
        }
        for (const auto& budget : Budgets()) {
            if (budget.first == phase) {
                const double inPhase = std::min(DoneInPhase(), budget.second);
                done += inPhase;
                inHand = budget.second - inPhase;
                if (phase == TPhase::Data && current >= 0) {
                    const TTable& table = tables[static_cast<size_t>(current)];
                    const double rowsLeft = std::max(0.0, table.rows - table.done);
                    inHand = std::min(inHand, (Backup() ? BackupRecord : RestoreRecord) * std::min(interval, rowsLeft));
                } else if (phase == TPhase::Indexes && indexInHand >= 0) {
                    inHand = std::min(inHand, indexInHand);
                }
                return;
            }
            done += budget.second;
        }
    }

    int TableNamed(const QString& name)
    {
        const auto found = byName.constFind(name);
        if (found != byName.constEnd())
            return found.value();
        // A table the plan did not know: it weighs what its lines show.
        TTable table;
        table.name = name;
        byName.insert(name, static_cast<int>(tables.size()));
        tables.push_back(table);
        return static_cast<int>(tables.size()) - 1;
    }
    void EndTableData()
    {
        if (current < 0)
            return;
        TTable& table = tables[static_cast<size_t>(current)];
        table.rows = table.done;
        table.counted = true;
        table.indexes = table.namedIndexes;
        table.dataDone = true;
        current = -1;
    }
    void LeaveData()
    {
        EndTableData();
        // Whatever the plan expected of tables the output never named has
        // not had to be moved.
        for (TTable& table : tables) {
            if (!table.dataDone) {
                table.rows = table.done;
                table.dataDone = true;
            }
        }
    }
    void MoveTo(TPhase next)
    {
        if (next <= phase)
            return;
        if (phase <= TPhase::Data && next > TPhase::Data)
            LeaveData();
        if (phase == TPhase::Indexes && indexInHand >= 0) {
            indexWorkDone += indexInHand;
            indexInHand = -1;
        }
        phase = next;
    }

    void Line(const QString& text, double now)
    {
        const TParsed line = Parse(text, stage);
        switch (line.kind) {
        case TParsed::TableMeta:
            if (phase == TPhase::Meta) {
                ++metaSeen;
                if (!byName.contains(line.name))
                    TableNamed(line.name);
            }
            break;
        case TParsed::TableData:
            if (phase > TPhase::Data)
                break;
            MoveTo(TPhase::Data);
            EndTableData();
            current = TableNamed(line.name);
            tables[static_cast<size_t>(current)].done = 0;
            tables[static_cast<size_t>(current)].namedIndexes = 0;
            lastCount = 0;
            break;
        case TParsed::Records:
            if (phase == TPhase::Data && current >= 0) {
                TTable& table = tables[static_cast<size_t>(current)];
                if (line.count > lastCount) {
                    if (lastCount > 0)
                        interval = line.count - lastCount;
                    lastCount = line.count;
                }
                table.done = std::max(table.done, line.count);
                // More than the plan thought: the table weighs what is seen,
                // and at least one more interval.
                if (table.done >= table.rows && !table.counted)
                    table.rows = table.done + interval;
                else if (table.done > table.rows)
                    table.rows = table.done;
            }
            break;
        case TParsed::Index:
            if (phase == TPhase::Data && current >= 0) {
                ++tables[static_cast<size_t>(current)].namedIndexes;
                indexTable.insert(line.name, current);
            }
            break;
        case TParsed::CreatingIndexes:
            MoveTo(TPhase::Commit);
            break;
        case TParsed::ActivateIndex: {
            MoveTo(TPhase::Indexes);
            if (phase != TPhase::Indexes)
                break;
            if (indexInHand >= 0)
                indexWorkDone += indexInHand;
            const auto table = indexTable.constFind(line.name);
            indexInHand = table != indexTable.constEnd() ? IndexCost(tables[static_cast<size_t>(table.value())])
                                                         : AverageIndexCost();
            break;
        }
        case TParsed::Other:
            // After the data of a backup come its triggers, constraints and
            // the closing; after the indexes of a restore, its last steps.
            if (Backup() && phase == TPhase::Data)
                MoveTo(TPhase::Tail);
            else if (!Backup() && phase == TPhase::Indexes)
                MoveTo(TPhase::Finish);
            break;
        }
        lastEvent = now;
    }

    double AverageIndexCost() const
    {
        double sum = 0;
        int count = 0;
        for (const TTable& table : tables) {
            sum += table.indexes * IndexCost(table);
            count += table.indexes;
        }
        return count > 0 ? sum / count : RestoreIndex;
    }

    // The work done by now, with the piece in hand moved on at the job's pace.
    double DoneBy(double now) const
    {
        double done = 0;
        double inHand = 0;
        Done(done, inHand);
        if (ended)
            return done;
        const double ran = lastEvent - start;
        const double pace = ran >= PaceSettles && done > 0 ? done / ran : 1.0;
        return done + std::min(pace * std::max(0.0, now - lastEvent), AheadLimit * inHand);
    }

    TJobPlan Learned() const
    {
        TJobPlan plan;
        plan.known = true;
        for (const TTable& table : tables) {
            TTableEstimate estimate;
            estimate.name = table.name;
            estimate.rows = table.dataDone ? table.done : table.rows;
            estimate.indexes = table.dataDone ? table.namedIndexes : table.indexes;
            estimate.counted = table.dataDone;
            plan.tables.push_back(estimate);
        }
        return plan;
    }
};

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
}

void TJobProgress::BeginStage()
{
    if (!Running() || FCurrent + 1 >= static_cast<int>(FStages.size()))
        return;
    if (FCurrent >= 0)
        FModels[static_cast<size_t>(FCurrent)]->ended = true;
    // A stage after another works on what that one moved: the restore that
    // proves a backup on what the backup wrote, a restore after its trial on
    // what the trial restored.
    const TJobPlan plan = FCurrent >= 0 ? FModels[static_cast<size_t>(FCurrent)]->Learned() : FPlan;
    ++FCurrent;
    FModels.push_back(std::make_unique<TModel>(FStages[static_cast<size_t>(FCurrent)], plan, FClock()));
}

void TJobProgress::Lines(const QStringList& lines)
{
    if (!Running() || FCurrent < 0)
        return;
    TModel& model = *FModels[static_cast<size_t>(FCurrent)];
    if (model.ended)
        return;
    const double now = FClock();
    for (const QString& line : lines)
        model.Line(line, now);
}

void TJobProgress::EndStage()
{
    if (Running() && FCurrent >= 0)
        FModels[static_cast<size_t>(FCurrent)]->ended = true;
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
    for (size_t i = FModels.size(); i < FStages.size(); ++i) {
        const TJobPlan plan = i > 0 ? LearnedPlan() : FPlan;
        total += TModel(FStages[i], plan, 0).Total();
    }
    return total;
}

double TJobProgress::StateFraction(double now) const
{
    (void)now;
    if (!FKnown)
        return 0;
    const double total = TotalWork();
    const double fraction = total > 0 ? std::min(RunningCeiling, DoneWork() / total) : 0;
    FShown = std::max(FShown, fraction);
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
