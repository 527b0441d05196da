// The estimate of how far along a job is, fed scripted verbose output of the
// shapes the servers give, on a clock the test moves.

#include "core/JobProgress.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

struct TTableScript {
    QString name;
    long rows;
    int indexes;
    double recordLength = 100;
};

// A job fed line by line: each line comes after the seconds the test says,
// and the state is sampled every 50 ms in between, as the window's timer does.
class TScriptedJob {
public:
    TScriptedJob()
        : FProgress([this] { return FClock; })
    {
    }
    TJobProgress& Progress() { return FProgress; }
    double Clock() const { return FClock; }

    // Lets seconds pass (sampling), then gives the line.
    void Line(const QString& line, double seconds)
    {
        Pass(seconds);
        FProgress.Lines({line});
        FLastLine = line;
    }
    // Lets seconds pass, sampling at each 50 ms on the way.
    void Pass(double seconds)
    {
        const double until = FClock + seconds;
        while (FNextSample <= until) {
            FClock = FNextSample;
            Sample();
            FNextSample += Tick;
        }
        FClock = until;
    }
    void Sample()
    {
        const TProgressState state = FProgress.State();
        EXPECT_GE(state.fraction, FLast) << "the figure went back at " << FClock;
        if (state.kind == TProgressState::TKind::Estimated) {
            EXPECT_LT(state.fraction, 1.0) << "100% before the end, at " << FClock;
            if (std::getenv("ZUR_TRACE_STEPS") && state.fraction - FLast > 0.01)
                std::fprintf(
                    stderr, "%.3f %.4f -> %.4f after %s\n", FClock, FLast, state.fraction, qUtf8Printable(FLastLine));
            if (state.fraction - FLast > FLargestStep) {
                FLargestStep = state.fraction - FLast;
                FLargestStepAt = FLastLine;
            }
            if (FHalfAt < 0 && state.fraction >= 0.5)
                FHalfAt = FClock;
        }
        FLast = state.fraction;
    }
    double HalfAt() const { return FHalfAt; }
    double LargestStep() const { return FLargestStep; }
    // The last line before the largest step.
    QString LargestStepAt() const { return FLargestStepAt; }
    double Last() const { return FLast; }

    // A verbose backup of these tables: the metadata, then each table's data
    // with a line per 10,000 records at perRecord seconds each, its indexes,
    // and the closing.
    void Backup(const std::vector<TTableScript>& tables, double perRecord, double perTable)
    {
        FProgress.BeginStage();
        Line(QStringLiteral("readied database /data/x.fdb for backup"), 0.01);
        // A domain for each of a table's four columns, then the tables with
        // their columns.
        for (size_t i = 0; i < 4 * tables.size(); ++i)
            Line(QStringLiteral("    writing domain RDB$%1").arg(i), perTable / 18);
        Line(QStringLiteral("writing tables"), 0.001);
        for (const TTableScript& table : tables) {
            Line(QStringLiteral("    writing table ") + table.name, perTable / 18);
            for (int column = 0; column < 4; ++column)
                Line(QStringLiteral("        writing column C%1").arg(column), perTable / 18);
        }
        for (const TTableScript& table : tables) {
            Line(QStringLiteral("    writing data for table ") + table.name, perTable / 2);
            Records(table.rows, perRecord, QStringLiteral(" records written"));
            for (int i = 0; i < table.indexes; ++i)
                Line(QStringLiteral("    writing index IX_%1_%2").arg(table.name).arg(i), 0);
        }
        Line(QStringLiteral("writing triggers"), 0.001);
        for (size_t i = 0; i < 9 * tables.size(); ++i)
            Line(QStringLiteral("    writing privilege for user SYSDBA"), 0.000005);
        // Each table's constraints and privileges.
        Line(QStringLiteral("writing table constraints"), 0.00007 * double(tables.size()));
        Line(QStringLiteral("closing file, committing, and finishing. 1024 bytes written"), 0.01);
        Line(QString(), 0);
        FProgress.EndStage();
    }
    // A verbose restore: metadata and its commit, each table's data and the
    // names of its indexes, the commit before the indexes, each index at
    // perKey seconds per record of its table, and the last steps.
    void Restore(const std::vector<TTableScript>& tables, double perRecord, double perKey, double commit)
    {
        FProgress.BeginStage();
        Line(QStringLiteral("opened file /data/x.fbk"), 0.001);
        Line(QStringLiteral("created database /data/y.fdb, page_size 4096 bytes"), 0.04);
        for (size_t i = 0; i < 4 * tables.size(); ++i)
            Line(QStringLiteral("restoring domain RDB$%1").arg(i), 0.00003);
        for (const TTableScript& table : tables) {
            Line(QStringLiteral("restoring table ") + table.name, 0.00003);
            for (int column = 0; column < 4; ++column)
                Line(QStringLiteral("    restoring column C%1").arg(column), 0.00003);
        }
        Line(QStringLiteral("committing metadata"), commit / 2);
        // Tables without records have no data lines: their indexes are named
        // after the last table with some, and then come the privileges.
        for (const TTableScript& table : tables) {
            if (table.rows == 0)
                continue;
            Line(QStringLiteral("restoring data for table ") + table.name, 0.0005);
            Records(table.rows, perRecord, QStringLiteral(" records restored"));
            for (int i = 0; i < table.indexes; ++i)
                Line(QStringLiteral("    restoring index IX_%1_%2").arg(table.name).arg(i), 0);
        }
        for (const TTableScript& table : tables) {
            for (int i = 0; i < table.indexes && table.rows == 0; ++i)
                Line(QStringLiteral("    restoring index IX_%1_%2").arg(table.name).arg(i), 0.0001);
        }
        for (size_t i = 0; i < 9 * tables.size(); ++i)
            Line(QStringLiteral("    restoring privilege for user SYSDBA"), 0.00005);
        Line(QStringLiteral("creating indexes"), 0.001);
        Line(QStringLiteral("committing metadata"), commit);
        double previous = 0;
        for (const TTableScript& table : tables) {
            for (int i = 0; i < table.indexes; ++i) {
                Line(QStringLiteral("    activating and creating deferred index IX_%1_%2").arg(table.name).arg(i),
                    previous);
                previous = 0.0004 + perKey * table.rows;
            }
        }
        Line(QStringLiteral("fixing views dbkey length"), previous);
        Line(QStringLiteral("finishing, closing, and going home"), 0.00016 * double(tables.size()));
        Line(QString(), 0);
        FProgress.EndStage();
    }

private:
    void Records(long rows, double perRecord, const QString& suffix)
    {
        long written = 0;
        while (written < rows) {
            const long next = std::min(rows, written + 10000);
            Line(QStringLiteral("%1").arg(next) + suffix, perRecord * (next - written));
            written = next;
        }
        if (rows > 0)
            Line(QStringLiteral("%1").arg(rows) + suffix, 0);
    }

    static constexpr double Tick = 0.05;
    double FClock = 100;
    double FNextSample = 100;
    QString FLastLine;
    QString FLargestStepAt;
    TJobProgress FProgress;
    double FLast = 0;
    double FLargestStep = 0;
    double FHalfAt = -1;
};

TJobPlan PlanOf(const std::vector<TTableScript>& tables)
{
    TJobPlan plan;
    plan.known = true;
    for (const TTableScript& table : tables)
        plan.tables.push_back({table.name, double(table.rows), table.indexes, false, table.recordLength});
    return plan;
}

std::vector<TTableScript> FourLargeTables()
{
    return {{"BIG1", 750000, 1, 204}, {"BIG2", 750000, 1, 204}, {"BIG3", 750000, 1, 204}, {"BIG4", 750000, 1, 204}};
}

} // namespace

// The backup road (a backup and the restore that proves it) and a restore of
// four large tables, timed as the server takes them: half shown near half
// the time, 100% only when the run says so.
TEST(JobProgress, LargeTablesReachHalfNearHalfTheJob)
{
    const auto tables = FourLargeTables();
    {
        SCOPED_TRACE("backup road");
        TScriptedJob job;
        const double start = job.Clock();
        job.Progress().Start(PlanOf(tables), {TJobStage::Backup, TJobStage::Restore});
        job.Backup(tables, 1.26e-6, 0.0002);
        job.Restore(tables, 4.5e-6, 0.45e-6, 0.02);
        job.Pass(0.2);
        const double whole = job.Clock() - start;
        EXPECT_GT(job.Last(), 0.95);
        job.Progress().Finish();
        EXPECT_EQ(job.Progress().State().fraction, 1.0);
        EXPECT_EQ(job.Progress().State().kind, TProgressState::TKind::Done);
        EXPECT_GE(job.HalfAt() - start, 0.35 * whole);
        EXPECT_LE(job.HalfAt() - start, 0.65 * whole);
    }
    {
        SCOPED_TRACE("restore");
        TScriptedJob job;
        const double start = job.Clock();
        job.Progress().Start(PlanOf(tables), {TJobStage::Restore});
        job.Restore(tables, 4.5e-6, 0.45e-6, 0.02);
        const double whole = job.Clock() - start;
        EXPECT_GE(job.HalfAt() - start, 0.35 * whole);
        EXPECT_LE(job.HalfAt() - start, 0.65 * whole);
    }
}

// Thousands of small tables and one of 200,000 records, with the long silent
// commits a restore of them has: the figure moves on in small steps.
TEST(JobProgress, ManySmallTablesMoveInSmallSteps)
{
    std::vector<TTableScript> tables{{"ROWS200K", 200000, 1, 54}};
    for (int i = 1; i <= 3000; ++i)
        tables.push_back({QStringLiteral("T%1").arg(i, 4, 10, QLatin1Char('0')), 0, 1, 62});
    TScriptedJob job;
    job.Progress().Start(PlanOf(tables), {TJobStage::Backup, TJobStage::Restore});
    job.Backup(tables, 0.9e-6, 0.0002);
    job.Restore(tables, 1.5e-6, 0.45e-6, 0.9);
    job.Pass(0.1);
    EXPECT_LE(job.LargestStep(), 0.02) << "after " << job.LargestStepAt().toStdString();
    EXPECT_GT(job.Last(), 0.95);
}

// A plan that is wrong (a table twice as large as thought, one it never knew,
// one that is not there): the figure never goes back and stays below 100%;
// what the backup counted is the plan of the restore that follows.
TEST(JobProgress, WrongPlanStaysMonotoneAndLearnsTheCounts)
{
    const std::vector<TTableScript> planned{{"A", 50000, 1}, {"GONE", 90000, 2}, {"B", 10000, 0}};
    const std::vector<TTableScript> actual{{"A", 100000, 2}, {"B", 10000, 0}, {"NEW", 30000, 1}};
    TScriptedJob job;
    job.Progress().Start(PlanOf(planned), {TJobStage::Backup, TJobStage::Restore});
    job.Backup(actual, 2e-6, 0.001);
    const TJobPlan learned = job.Progress().LearnedPlan();
    auto find = [&learned](const QString& name) {
        return std::find_if(learned.tables.begin(), learned.tables.end(),
            [&name](const TTableEstimate& table) { return table.name == name; });
    };
    ASSERT_NE(find("A"), learned.tables.end());
    EXPECT_EQ(find("A")->rows, 100000);
    EXPECT_EQ(find("A")->indexes, 2);
    EXPECT_TRUE(find("A")->counted);
    ASSERT_NE(find("NEW"), learned.tables.end());
    EXPECT_EQ(find("NEW")->rows, 30000);
    EXPECT_EQ(find("GONE")->rows, 0);
    job.Restore(actual, 4e-6, 1e-6, 0.02);
    EXPECT_LT(job.Progress().State().fraction, 1.0);
}

// A long index: no line comes for seconds, and the figure keeps moving, but
// not to the end of the indexes before the server has named the others.
TEST(JobProgress, KeepsMovingDuringALongIndex)
{
    const std::vector<TTableScript> tables{{"HUGE", 2000000, 3}};
    TScriptedJob job;
    job.Progress().Start(PlanOf(tables), {TJobStage::Restore});
    job.Progress().BeginStage();
    job.Line(QStringLiteral("restoring table HUGE"), 0.01);
    job.Line(QStringLiteral("restoring data for table HUGE"), 0.01);
    for (long n = 10000; n <= 2000000; n += 10000)
        job.Line(QStringLiteral("%1 records restored").arg(n), 0.04);
    for (int i = 0; i < 3; ++i)
        job.Line(QStringLiteral("restoring index IX%1").arg(i), 0);
    job.Line(QStringLiteral("creating indexes"), 0.01);
    job.Line(QStringLiteral("activating and creating deferred index IX0"), 0.01);
    const double atStart = job.Progress().State().fraction;
    job.Pass(0.5);
    const double meanwhile = job.Progress().State().fraction;
    job.Pass(30);
    const double muchLater = job.Progress().State().fraction;
    EXPECT_GT(meanwhile, atStart);
    EXPECT_GE(muchLater, meanwhile);
    EXPECT_LT(muchLater, 0.99);
    job.Line(QStringLiteral("activating and creating deferred index IX1"), 0);
    job.Line(QStringLiteral("activating and creating deferred index IX2"), 1);
    job.Line(QStringLiteral("finishing, closing, and going home"), 1);
    EXPECT_GT(job.Progress().State().fraction, muchLater);
}

// Nothing to plan on; a failure; a run refused before it began.
TEST(JobProgress, IndeterminateFailedAndRefused)
{
    const auto tables = FourLargeTables();
    {
        SCOPED_TRACE("no plan");
        TScriptedJob job;
        job.Progress().Start(TJobPlan(), {TJobStage::Restore});
        job.Restore(tables, 1e-6, 1e-7, 0.01);
        const TProgressState state = job.Progress().State();
        EXPECT_EQ(state.kind, TProgressState::TKind::Indeterminate);
        EXPECT_EQ(state.fraction, 0);
        EXPECT_LT(state.left, 0);
        EXPECT_GT(state.elapsed, 1);
    }
    {
        SCOPED_TRACE("failed halfway");
        TScriptedJob job;
        job.Progress().Start(PlanOf(tables), {TJobStage::Restore});
        job.Progress().BeginStage();
        job.Line(QStringLiteral("restoring data for table BIG1"), 0.1);
        for (long n = 10000; n <= 500000; n += 10000)
            job.Line(QStringLiteral("%1 records restored").arg(n), 0.05);
        const double reached = job.Progress().State().fraction;
        job.Progress().Fail();
        job.Pass(5);
        const TProgressState state = job.Progress().State();
        EXPECT_EQ(state.kind, TProgressState::TKind::Failed);
        EXPECT_EQ(state.fraction, reached);
        EXPECT_GT(reached, 0);
        // The clock stopped with the job.
        EXPECT_LT(state.elapsed, 3);
        job.Progress().Finish();
        EXPECT_EQ(job.Progress().State().kind, TProgressState::TKind::Failed);
    }
    {
        SCOPED_TRACE("refused");
        TScriptedJob job;
        {
            const TProgressRun run(job.Progress());
        }
        const TProgressState state = job.Progress().State();
        EXPECT_EQ(state.kind, TProgressState::TKind::Failed);
        EXPECT_EQ(state.fraction, 0);
        EXPECT_EQ(state.elapsed, 0);
    }
}

TEST(JobProgress, Texts)
{
    using TKind = TProgressState::TKind;
    struct TCase {
        TProgressState state;
        QString text;
    };
    const TCase cases[] = {
        {{TKind::NotStarted, 0, 0, -1}, QString()},
        {{TKind::Estimated, 0.437, 30, 120}, QStringLiteral("43% — cerca de 2 min restantes")},
        {{TKind::Estimated, 0.996, 30, 0.5}, QStringLiteral("99% — cerca de 5 s restantes")},
        {{TKind::Estimated, 0.5, 30, 42}, QStringLiteral("50% — cerca de 40 s restantes")},
        {{TKind::Estimated, 0.1, 300, 5000}, QStringLiteral("10% — cerca de 1 h 23 min restantes")},
        {{TKind::Estimated, 0.01, 1, -1}, QStringLiteral("1% — calculando o tempo restante")},
        {{TKind::Indeterminate, 0, 65, -1}, QStringLiteral("Sem estimativa — 1 min 05 s decorridos")},
        {{TKind::Done, 1, 3725, 0}, QStringLiteral("100% — concluído em 1 h 02 min")},
        {{TKind::Failed, 0.43, 12.7, -1}, QStringLiteral("Falhou — parou em 43% após 12 s")},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ProgressText(c.state), c.text);
}
