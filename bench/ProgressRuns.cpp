#include "ProgressRuns.h"

#include "BenchSupport.h"
#include "core/BackupNaming.h"
#include "core/JobProgress.h"
#include "core/RunLock.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "runs/BackupRoad.h"
#include "runs/FeedOutput.h"
#include "runs/JobPlan.h"
#include "runs/OutputReader.h"
#include "runs/RestoreRoad.h"

#include <QFile>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// A run's sink that keeps no log: the lines go to the road's own readers in
// batches of about 50 ms, as the window's log feed hands them over, and the
// progress is sampled every 50 ms as the window's timer does.
class TSamplingSink : public TRestoreSink {
public:
    explicit TSamplingSink(TProgressFigures& run)
        : FRun(run)
    {
        progress = &FProgress;
    }
    TJobProgress& Progress() { return FProgress; }
    void Begin() { FStart = Now(); }
    double Seconds() const { return Now() - FStart; }

    void Line(const QString&) override { }
    void ReadOutput(TIBControlAndQueryService& service, const std::function<void(const QStringList&)>& seen) override
    {
        TBatchFeed feed(*this, seen);
        TOutputReader reader([&service] { return service.Eof(); }, [&service] { return service.GetNextLine(); });
        FeedOutput(reader, feed, [this] { Sample(); });
    }
    void Wait(int milliseconds) override
    {
        const double until = Now() + milliseconds / 1000.0;
        while (Now() < until) {
            Sample();
            QThread::msleep(10);
        }
    }
    void Sample()
    {
        const double now = Now();
        if (now - FLastSample < 0.05)
            return;
        FLastSample = now;
        const double before = Now();
        const TProgressState state = FProgress.State();
        FRun.bookkeeping += Now() - before;
        if (std::getenv("ZUR_BENCH_TRACE"))
            std::fprintf(stderr, "%.3f %.4f %s\n", now - FStart, state.fraction, qUtf8Printable(ProgressText(state)));
        if (state.kind != TProgressState::TKind::Estimated)
            return;
        FRun.figure.Saw(state.fraction, now - FStart);
    }

private:
    struct TTiming {
        std::chrono::microseconds idle{std::chrono::milliseconds(10)};
    };
    class TBatchFeed {
    public:
        TBatchFeed(TSamplingSink& sink, const std::function<void(const QStringList&)>& seen)
            : FSink(sink)
            , FSeen(seen)
        {
        }
        const TTiming& Timing() const { return FTiming; }
        void Add(const QString& line, std::chrono::microseconds)
        {
            FHeld << line;
            if (Now() - FSince >= 0.05)
                Flush();
        }
        void Flush()
        {
            FSince = Now();
            if (FHeld.isEmpty())
                return;
            const double before = Now();
            if (std::getenv("ZUR_BENCH_TRACE"))
                std::fprintf(stderr, "batch %.3f %lld [%s]\n", before - FSink.FStart,
                    static_cast<long long>(FHeld.size()), qUtf8Printable(FHeld.last()));
            FSeen(FHeld);
            FSink.FRun.bookkeeping += Now() - before;
            FHeld.clear();
            FSink.Sample();
        }

    private:
        TSamplingSink& FSink;
        const std::function<void(const QStringList&)>& FSeen;
        TTiming FTiming;
        QStringList FHeld;
        double FSince = Now();
    };

    TProgressFigures& FRun;
    TJobProgress FProgress;
    double FStart = 0;
    double FLastSample = 0;
};

TDatabaseLogin LoginOf(const TServerAccess& access, bool backup)
{
    return {backup ? BackupServiceTarget(access.serverText) : RestoreServiceTarget(access.serverText), access.user,
        access.password};
}

// What the plan adds to a run: its statements on an attachment the run makes
// anyway (the probe of the destination, the page size before the backup).
double PlanQuerySeconds(const TDatabaseLogin& login, const QString& database)
{
    TIBDatabase attached;
    OpenDatabase(attached, login, database);
    const double start = Now();
    const TJobPlan plan = ReadJobPlan(attached);
    const double seconds = Now() - start;
    attached.SetConnected(false);
    if (!plan.known)
        Fail(QStringLiteral("the plan of %1 could not be read").arg(database));
    return seconds;
}

} // namespace

TProgressFigures ProgressOfBackupRoad(const TServerAccess& access, const QString& database, const QString& folder)
{
    TProgressFigures run;
    const TDatabaseLogin login = LoginOf(access, true);
    run.planQuery = PlanQuerySeconds(login, database);
    const QString backupFile = folder + QStringLiteral("ZURPROGRESS.BKP");
    TSamplingSink sink(run);
    sink.Begin();
    const TBackupOutcome outcome = RunBackupRoad({login, database, backupFile, NewRunMark()}, sink);
    if (!outcome.proved)
        Fail(QStringLiteral("the backup road failed: %1").arg(outcome.failure));
    sink.Progress().Finish();
    run.seconds = sink.Seconds();
    return run;
}

TProgressFigures ProgressOfRestoreRoad(
    const TServerAccess& access, const QString& backupFile, const QString& destination)
{
    TProgressFigures run;
    const TDatabaseLogin login = LoginOf(access, false);
    const bool over = QFile::exists(destination);
    if (over)
        run.planQuery = PlanQuerySeconds(login, destination);
    TSamplingSink sink(run);
    TRestoreRequest request;
    request.login = login;
    request.backupFile = backupFile;
    request.destination = destination;
    sink.Begin();
    const TRestoreOutcome outcome = RunRestoreRoad(request, sink);
    if (!outcome.restored)
        Fail(QStringLiteral("the restore road failed over %1").arg(destination));
    sink.Progress().Finish();
    run.seconds = sink.Seconds();
    return run;
}
