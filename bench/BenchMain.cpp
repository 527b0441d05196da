// zurbench: the window's backup and restore runs against the server's gbak,
// and the cost of the log alone. bench/run drives it; see docs/benchmark.md.
//
//   zurbench compare --server localhost/3055: --database PATH --folder DIR
//                    [--runs 5] [--warmup 1] [--label NAME] [--no-restore] [--no-layer]
//                    [--delay-ms 0] [--limit 1.05] [--gbak-limit 0.8] [--floor-limit 0] [--verbose-runs N]
//                    [--layer-buffer BYTES]
//   zurbench log [--road backup|restore] [--lines 200000] [--window 1000] [--rounds 5]
//   zurbench progress --server localhost/3055: --database PATH --folder DIR [--rounds 3]

#include "BenchSupport.h"
#include "DelayProxy.h"
#include "GbakRuns.h"
#include "LogAppend.h"
#include "ProgressRuns.h"
#include "ServiceRuns.h"
#include "WindowRuns.h"
#include "ibclient/Errors.h"
#include "window/ErrorReport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Whether the window's backup road restores the file it has written (to prove
// it) before it ends: it does.
constexpr bool BackupRoadRestores = true;

struct TOptions {
    QString mode;
    QMap<QString, QString> values;
    QString Value(const QString& name, const QString& defaultValue = QString()) const
    {
        return values.value(name, defaultValue);
    }
    long Number(const QString& name, long defaultValue) const
    {
        bool ok = true;
        const long value = values.contains(name) ? values.value(name).toLong(&ok) : defaultValue;
        if (!ok || value < 1)
            Fail(QStringLiteral("--%1 wants a positive number").arg(name));
        return value;
    }
};

TOptions ParseOptions(const QStringList& arguments)
{
    TOptions options;
    options.mode = arguments.value(1);
    for (int i = 2; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(QLatin1String("--")))
            Fail(QStringLiteral("unexpected argument %1").arg(argument));
        const QString name = argument.mid(2);
        if (name == QLatin1String("no-restore") || name == QLatin1String("no-layer"))
            options.values.insert(name, QStringLiteral("1"));
        else if (i + 1 < arguments.size())
            options.values.insert(name, arguments[++i]);
        else
            Fail(QStringLiteral("%1 wants a value").arg(argument));
    }
    return options;
}

void Print(const QString& text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString Seconds(double seconds)
{
    return QString::number(seconds, 'f', 3);
}

QString MiB(long kib)
{
    return QString::number(kib / 1024.0, 'f', 1) + QLatin1String(" MiB");
}

struct TSeries {
    std::vector<double> seconds;
    std::vector<double> processorSeconds;
    std::vector<long> rounds; // the round of each run, for the ratios of one round
    long lines = 0;
    long paints = 0;
    double paintedViewports = 0;
    void Add(const TTimedRun& run, long round)
    {
        seconds.push_back(run.seconds);
        processorSeconds.push_back(run.processorSeconds);
        rounds.push_back(round);
        lines = run.lines;
        paints = run.paints;
        paintedViewports = run.paintedViewports;
    }
    // The time of the run in a round; 0 when the side did not run then.
    double InRound(long round) const
    {
        for (size_t i = 0; i < rounds.size(); ++i) {
            if (rounds[i] == round)
                return seconds[i];
        }
        return 0;
    }
    // Median processor time per line, in microseconds.
    double ProcessorPerLine() const { return lines > 0 ? Median(processorSeconds) / lines * 1e6 : 0; }
    QString Runs() const
    {
        QStringList texts;
        for (double value : seconds)
            texts << Seconds(value);
        return texts.join(u' ');
    }
};

// The backup and the restore of one round of a side.
struct TRoadRuns {
    TTimedRun backup;
    TTimedRun restore;
    TTimedRun restoreOver; // the window's restore over an existing database
};

// A side of the comparison: what it runs in one round (the backup, then the
// restore of the file it made) and its series. A reference made of several
// steps (say a backup followed by a restore of its file, to set against a
// road that does both) is a side whose job adds its steps' runs together
// (AddRuns).
struct TSide {
    QString name;
    std::function<TRoadRuns()> run;
    long rounds = 0; // counted rounds it takes part in (from the first); the rest skip it
    TSeries backup;
    TSeries restore;
    TSeries restoreOver;
};

// Each run of `first` followed by the run of `then` in the same round, as
// one run.
TSeries Followed(const TSeries& first, const TSeries& then)
{
    TSeries sum;
    for (size_t i = 0; i < first.rounds.size(); ++i) {
        for (size_t j = 0; j < then.rounds.size(); ++j) {
            if (then.rounds[j] != first.rounds[i])
                continue;
            TTimedRun run;
            run.seconds = first.seconds[i] + then.seconds[j];
            run.processorSeconds = first.processorSeconds[i] + then.processorSeconds[j];
            run.lines = first.lines + then.lines;
            sum.Add(run, first.rounds[i]);
        }
    }
    return sum;
}

// What a road is measured against: a side and the limit of the ratio
// window/side (0: printed, not checked).
struct TReference {
    QString side;
    double limit = 0;
};

// One side's line: median wall time, lines, lines per second, the reading
// side's processor time per line, and every run.
void PrintSide(const QString& job, const QString& side, const TSeries& series, const QString& note = QString())
{
    const double median = Median(series.seconds);
    Print(QStringLiteral("  %1  %2 median %3 s  %4 lines  %5 lines/s  cpu %6 us/line   [%7]%8")
              .arg(job, side.leftJustified(7), Seconds(median))
              .arg(series.lines)
              .arg(median > 0 ? series.lines / median : 0, 0, 'f', 0)
              .arg(series.ProcessorPerLine(), 0, 'f', 1)
              .arg(series.Runs(), note));
}

// Prints the comparison of one job; returns whether the window stayed within
// every checked limit.
bool Report(const QString& job, const std::vector<std::pair<QString, const TSeries*>>& sides,
    const std::vector<TReference>& references)
{
    const TSeries* window = nullptr;
    for (const auto& [name, series] : sides) {
        if (series->seconds.empty())
            continue;
        PrintSide(job, name, *series);
        if (name == QLatin1String("window"))
            window = series;
    }
    if (!window)
        return true;
    if (window->lines > 0)
        Print(QStringLiteral("  %1  window  log repainted %2 times for %3 lines (%4 per line), %5 viewports' worth of "
                             "pixels (%6 of the log per line)")
                  .arg(job)
                  .arg(window->paints)
                  .arg(window->lines)
                  .arg(static_cast<double>(window->paints) / window->lines, 0, 'f', 2)
                  .arg(window->paintedViewports, 0, 'f', 0)
                  .arg(window->paintedViewports / window->lines, 0, 'f', 3));
    bool within = true;
    const double b = Median(window->seconds);
    for (const TReference& reference : references) {
        const TSeries* other = nullptr;
        for (const auto& [name, series] : sides) {
            if (name == reference.side)
                other = series;
        }
        if (!other || other->seconds.empty())
            continue;
        const double a = Median(other->seconds);
        const double ratio = a > 0 ? b / a : 0;
        // Each round's window run against the other side's run in that
        // round: drift in the machine's load over the rounds cancels out.
        std::vector<double> rounds;
        QStringList roundTexts;
        for (size_t i = 0; i < window->rounds.size(); ++i) {
            const double theirs = other->InRound(window->rounds[i]);
            if (theirs > 0) {
                rounds.push_back(window->seconds[i] / theirs);
                roundTexts << QString::number(rounds.back(), 'f', 3);
            }
        }
        const bool checked = reference.limit > 0;
        const bool ok = !checked || ratio <= reference.limit;
        within = within && ok;
        Print(QStringLiteral("  %1  ratio window/%2 %3 %4; median of the rounds' own ratios %5 [%6]")
                  .arg(job, reference.side)
                  .arg(ratio, 0, 'f', 3)
                  .arg(checked ? QStringLiteral("(limit %1) %2")
                                     .arg(reference.limit, 0, 'f', 2)
                                     .arg(ok ? QStringLiteral("ok") : QStringLiteral("OVER"))
                               : QStringLiteral("(not checked)"))
                  .arg(Median(rounds), 0, 'f', 3)
                  .arg(roundTexts.join(u' ')));
        if (other->lines > 100 && other->lines != window->lines)
            Print(QStringLiteral("  %1  note: the window showed %2 server lines, %3 printed %4")
                      .arg(job)
                      .arg(window->lines)
                      .arg(reference.side)
                      .arg(other->lines));
    }
    return within;
}

// The server's port in a server text ("localhost/3055:").
int ServerPort(const QString& serverText)
{
    const int slash = serverText.indexOf(u'/');
    const int colon = serverText.lastIndexOf(u':');
    bool ok = false;
    const int port = slash >= 0 && colon > slash ? serverText.mid(slash + 1, colon - slash - 1).toInt(&ok) : 3050;
    return ok || slash < 0 ? port : 3050;
}

int Compare(const TOptions& options)
{
    TServerAccess access;
    access.serverText = options.Value(QStringLiteral("server"), QStringLiteral("localhost/3055:"));
    access.user = options.Value(QStringLiteral("user"), QStringLiteral("SYSDBA"));
    access.password = options.Value(QStringLiteral("password"), QStringLiteral("plumtrove"));
    const QString database = options.Value(QStringLiteral("database"));
    QString folder = options.Value(QStringLiteral("folder"));
    if (database.isEmpty() || folder.isEmpty())
        Fail(QStringLiteral("compare wants --database and --folder"));
    if (!folder.endsWith(u'/'))
        folder += u'/';
    QDir().mkpath(folder);
    const long runs = options.Number(QStringLiteral("runs"), 5);
    const long warmups
        = options.values.contains(QStringLiteral("warmup")) ? options.Value(QStringLiteral("warmup")).toLong() : 1;
    const bool restore = !options.values.contains(QStringLiteral("no-restore"));
    const bool layer = !options.values.contains(QStringLiteral("no-layer"));
    const QString label = options.Value(QStringLiteral("label"), database);
    const double limit = options.Value(QStringLiteral("limit"), QStringLiteral("1.05")).toDouble();
    const double floorLimit = options.Value(QStringLiteral("floor-limit"), QStringLiteral("0")).toDouble();
    // The backup road (with its proof) against gbak -v followed by gbak -c -v.
    const double gbakLimit = options.Value(QStringLiteral("gbak-limit"), QStringLiteral("0.8")).toDouble();
    // Rounds in which gbak -v runs: over a slow link it costs a round trip a
    // line, minutes for the many-lines database.
    const long verboseRounds = options.values.contains(QStringLiteral("verbose-runs"))
        ? options.Value(QStringLiteral("verbose-runs")).toLong()
        : runs;
    const double delayMs = options.Value(QStringLiteral("delay-ms"), QStringLiteral("0")).toDouble();
    SetLayerBufferSize(options.Value(QStringLiteral("layer-buffer"), QStringLiteral("0")).toInt());

    // Over a slow link every side goes through the delaying relay.
    std::unique_ptr<TDelayProxy> proxy;
    if (delayMs > 0) {
        proxy = std::make_unique<TDelayProxy>(
            ServerPort(access.serverText), std::chrono::microseconds(static_cast<long>(delayMs * 1000)));
        access.serverText = QStringLiteral("localhost/%1:").arg(proxy->Port());
    }

    const QString gbakFile = folder + QStringLiteral("gbak-bench.fbk");
    const QString gbakOutput = folder + QStringLiteral("gbak-output.txt");
    // Where gbak and the client layer restore (always when the backup road
    // proves its backup: their backup followed by their restore is its
    // reference) and the window's restore road restores (unless --no-restore).
    const QString restored = folder + QStringLiteral("restored.fdb");
    const QString restoreTo = restore ? restored : QString();
    const bool restoreFiles = restore || BackupRoadRestores;
    QFile::remove(gbakFile);

    const long startPeak = PeakResidentKiB();
    long firstWindowPeak = 0;

    // A side that backs up into gbakFile and restores that file: gbak or the
    // client layer alone.
    const auto fileRoad = [&](std::function<TTimedRun()> backupJob, std::function<TTimedRun()> restoreJob) {
        return [&, backupJob, restoreJob] {
            TRoadRuns road;
            road.backup = backupJob();
            if (restoreFiles)
                road.restore = restoreJob();
            QFile::remove(gbakFile);
            return road;
        };
    };
    std::vector<TSide> sides;
    if (verboseRounds > 0)
        sides.push_back({QStringLiteral("gbak-v"),
            fileRoad([&] { return GbakBackup(access, database, gbakFile, gbakOutput); },
                [&] { return GbakRestore(access, gbakFile, restored, gbakOutput); }),
            verboseRounds, {}, {}, {}});
    sides.push_back({QStringLiteral("gbak"),
        fileRoad([&] { return GbakBackup(access, database, gbakFile, gbakOutput, false); },
            [&] { return GbakRestore(access, gbakFile, restored, gbakOutput, false); }),
        runs, {}, {}, {}});
    if (layer)
        sides.push_back({QStringLiteral("layer"),
            fileRoad([&] { return ServiceBackup(access, database, gbakFile); },
                [&] { return ServiceRestore(access, gbakFile, restored); }),
            runs, {}, {}, {}});
    sides.push_back({QStringLiteral("window"),
        [&] {
            const TWindowRuns window = RunWindow(access, database, folder, restoreTo);
            if (!firstWindowPeak)
                firstWindowPeak = PeakResidentKiB();
            return TRoadRuns{window.backup, window.restore, window.restoreOver};
        },
        runs, {}, {}, {}});
    // The window's roads against gbak with its verbose output (what the
    // operator would otherwise run) and against the server's job alone.
    // The window's roads against the client layer's reading of the same jobs
    // (the yardstick of a reader), and gbak printed beside them.
    const std::vector<TReference> references{
        {QStringLiteral("layer"), limit}, {QStringLiteral("gbak-v"), 0}, {QStringLiteral("gbak"), floorLimit}};
    // The backup road also proves its file by restoring it when
    // BackupRoadRestores is set: then it is measured against gbak's backup
    // followed by gbak's restore of that file, in the same round (and the
    // backup alone is printed, not checked).
    const std::vector<TReference> backupReferences = BackupRoadRestores
        ? std::vector<TReference>{{QStringLiteral("layer+c"), limit}, {QStringLiteral("gbak-v+c"), gbakLimit},
            {QStringLiteral("gbak+c"), floorLimit}, {QStringLiteral("gbak-v"), 0}, {QStringLiteral("gbak"), 0}}
        : std::vector<TReference>{{QStringLiteral("layer"), limit}, {QStringLiteral("gbak-v"), gbakLimit},
            {QStringLiteral("gbak"), floorLimit}, {QStringLiteral("gbak-v+c"), 0}, {QStringLiteral("gbak+c"), 0}};

    const auto runSide = [&](TSide& side, long round) {
        const bool counted = round >= 0;
        if (counted && round >= side.rounds)
            return;
        const TRoadRuns road = side.run();
        const bool withRestore = restore || (restoreFiles && side.name != QLatin1String("window"));
        if (counted) {
            side.backup.Add(road.backup, round);
            if (withRestore)
                side.restore.Add(road.restore, round);
            if (restore && side.name == QLatin1String("window"))
                side.restoreOver.Add(road.restoreOver, round);
        }
        Print(QStringLiteral("    %1 backup %2 s%3%4   peak %5")
                  .arg(side.name.leftJustified(7), Seconds(road.backup.seconds),
                      withRestore ? QStringLiteral("  restore %1 s").arg(Seconds(road.restore.seconds)) : QString(),
                      counted ? QString() : QStringLiteral("  (warm-up)"), MiB(PeakResidentKiB())));
    };

    Print(QStringLiteral("== %1: %2%3")
              .arg(label, database,
                  delayMs > 0 ? QStringLiteral(" (through a relay adding %1 ms to each round trip)").arg(delayMs)
                              : QString()));
    for (long i = 0; i < warmups; ++i) {
        for (TSide& side : sides) {
            if (side.rounds > 0)
                runSide(side, -1);
        }
    }
    // The sides in turn, every other round in the reverse order: drift in
    // the machine's load touches them alike.
    for (long round = 0; round < runs; ++round) {
        if (round % 2 == 0) {
            for (auto side = sides.begin(); side != sides.end(); ++side)
                runSide(*side, round);
        } else {
            for (auto side = sides.rbegin(); side != sides.rend(); ++side)
                runSide(*side, round);
        }
    }
    QFile::remove(gbakOutput);
    QFile::remove(restored);

    Print(QStringLiteral("-- %1: medians of %2 alternating runs%3")
              .arg(label)
              .arg(runs)
              .arg(delayMs > 0 ? QStringLiteral(", %1 ms round trip added").arg(delayMs) : QString()));
    std::vector<std::pair<QString, const TSeries*>> backups, restores, restoresOver;
    std::vector<TSeries> followed; // gbak's backups followed by their restores
    followed.reserve(sides.size());
    for (const TSide& side : sides) {
        backups.emplace_back(side.name, &side.backup);
        restores.emplace_back(side.name, &side.restore);
        if (side.name == QLatin1String("window"))
            restoresOver.emplace_back(side.name, &side.restoreOver);
        else if (side.name == QLatin1String("layer"))
            restoresOver.emplace_back(side.name, &side.restore);
    }
    for (const TSide& side : sides) {
        if (restoreFiles && side.name != QLatin1String("window")) {
            followed.push_back(Followed(side.backup, side.restore));
            backups.emplace_back(side.name + QStringLiteral("+c"), &followed.back());
        }
    }
    if (BackupRoadRestores)
        Print(QStringLiteral("  (backup: the window's road with its proof against gbak -b followed by gbak -c of the "
                             "same file, +c; the client layer's backup followed by its restore likewise)"));
    bool within = Report(QStringLiteral("backup "), backups, backupReferences);
    if (restore) {
        within = Report(QStringLiteral("restore"), restores, references) && within;
        // The restore road over an existing database (other than the
        // backup's own) against one restore of the file by the client layer.
        Print(QStringLiteral("  (restore over: the window's restore over the database its first restore left, "
                             "against the client layer's single restore of its file)"));
        within = Report(QStringLiteral("restore over"), restoresOver, {{QStringLiteral("layer"), limit}}) && within;
    }
    Print(QStringLiteral("  peak resident memory of the bench process: %1 at start, %2 after the first window, %3 "
                         "after the last")
              .arg(MiB(startPeak), MiB(firstWindowPeak), MiB(PeakResidentKiB())));
    return within ? 0 : 3;
}

int Log(const TOptions& options)
{
    const QString roadName = options.Value(QStringLiteral("road"), QStringLiteral("backup"));
    if (roadName != QLatin1String("backup") && roadName != QLatin1String("restore"))
        Fail(QStringLiteral("--road is backup or restore"));
    const TLogRoad road = roadName == QLatin1String("backup") ? TLogRoad::Backup : TLogRoad::Restore;
    const long lines = options.Number(QStringLiteral("lines"), 200000);
    const long window = options.Number(QStringLiteral("window"), 1000);
    if (2 * window > lines)
        Fail(QStringLiteral("--lines must be at least twice --window"));
    const double limit = options.Value(QStringLiteral("limit"), QStringLiteral("1.5")).toDouble();

    const long rounds = options.Number(QStringLiteral("rounds"), 5);
    if (rounds < 1)
        Fail(QStringLiteral("--rounds is at least 1"));

    // A window of a thousand lines lasts a few milliseconds, so a single
    // round is at the mercy of the machine: the figures are medians of
    // rounds, each in a fresh window. The rest is the first round's.
    std::vector<TLogAppendResult> results;
    std::vector<double> firsts, lasts, growths;
    for (long round = 0; round < rounds; ++round) {
        results.push_back(MeasureLogAppend(road, lines, window));
        const TLogAppendResult& r = results.back();
        firsts.push_back(r.firstMicroseconds);
        lasts.push_back(r.lastMicroseconds);
        growths.push_back(r.firstMicroseconds > 0 ? r.lastMicroseconds / r.firstMicroseconds : 0);
    }
    const TLogAppendResult& result = results.front();
    const double growth = Median(growths);
    const bool within = growth <= limit;
    Print(QStringLiteral("== log alone, %1 road: %2 lines in %3 s (first of %4 rounds)")
              .arg(roadName)
              .arg(lines)
              .arg(Seconds(result.totalSeconds))
              .arg(rounds));
    QStringList roundGrowths;
    for (double g : growths)
        roundGrowths << QString::number(g, 'f', 2);
    Print(QStringLiteral(
        "  per line: %1 us at %2 lines (the next %2 appended), %3 us over the last %2 (medians); last/first %4 "
        "(median of the rounds' [%5]; limit %6) %7")
              .arg(Median(firsts), 0, 'f', 1)
              .arg(window)
              .arg(Median(lasts), 0, 'f', 1)
              .arg(growth, 0, 'f', 2)
              .arg(roundGrowths.join(QLatin1Char(' ')))
              .arg(limit, 0, 'f', 1)
              .arg(within ? QStringLiteral("ok") : QStringLiteral("OVER")));
    QStringList slices;
    for (const auto& [from, microseconds] : result.sliceMicroseconds)
        slices << QStringLiteral("%1 us from line %2").arg(microseconds, 0, 'f', 1).arg(from);
    if (!slices.isEmpty())
        Print(QStringLiteral("  per line in between: %1").arg(slices.join(QLatin1String(", "))));
    Print(QStringLiteral("  the log's viewport was painted %1 times, %2 viewports' worth of pixels (%3 per line)")
              .arg(result.viewportPaints)
              .arg(result.viewportArea > 0 ? result.paintedArea / result.viewportArea : 0, 0, 'f', 1)
              .arg(result.viewportArea > 0 ? result.paintedArea / result.viewportArea / lines : 0, 0, 'f', 3));
    Print(QStringLiteral("  peak resident memory: %1 with the log empty, %2 with %3 lines (+%4; the log's text is %5, "
                         "%6 bytes of memory per byte of text)")
              .arg(MiB(result.peakBeforeKiB), MiB(result.peakAfterKiB))
              .arg(lines)
              .arg(MiB(result.peakAfterKiB - result.peakBeforeKiB), MiB(result.textBytes / 1024))
              .arg(result.textBytes > 0 ? (result.peakAfterKiB - result.peakBeforeKiB) * 1024.0 / result.textBytes : 0,
                  0, 'f', 1));
    return within ? 0 : 3;
}

// The progress of the backup road and of a restore over a database, run as
// the window runs them, alternately, rounds times: when the figure first
// showed 50% as a part of the whole run, its largest rise between two 50 ms
// samples, and what the estimate cost (its query, its bookkeeping) as a part
// of the run.
int Progress(const TOptions& options)
{
    const TServerAccess access{options.Value(QStringLiteral("server")), QStringLiteral("SYSDBA"),
        options.Value(QStringLiteral("password"), QStringLiteral("plumtrove"))};
    const QString database = options.Value(QStringLiteral("database"));
    const QString folder = options.Value(QStringLiteral("folder"));
    const QString label = options.Value(QStringLiteral("label"), database);
    if (access.serverText.isEmpty() || database.isEmpty() || !folder.endsWith(u'/'))
        Fail(QStringLiteral("progress wants --server, --database and --folder ending in /"));
    QDir().mkpath(folder);
    const long rounds = options.Number(QStringLiteral("rounds"), 3);
    const QString destination = folder + QStringLiteral("progress-restore.fdb");
    QFile::remove(destination);
    struct TSide {
        QString name;
        std::vector<double> half, step, bookkeeping, query, seconds;
        void Add(const TProgressFigures& run)
        {
            if (!run.figure.estimated || run.seconds <= 0)
                Fail(QStringLiteral("%1: the run had no estimate").arg(name));
            half.push_back(run.figure.halfAt / run.seconds);
            step.push_back(run.figure.largestStep);
            bookkeeping.push_back(run.bookkeeping / run.seconds);
            query.push_back(run.planQuery / run.seconds);
            seconds.push_back(run.seconds);
        }
    };
    TSide backup;
    backup.name = QStringLiteral("backup road");
    TSide restore;
    restore.name = QStringLiteral("restore over");
    // The first restore makes the database that the others restore over.
    const QString backupFile = folder + QStringLiteral("ZURPROGRESS.BKP");
    backup.Add(ProgressOfBackupRoad(access, database, folder));
    ProgressOfRestoreRoad(access, backupFile, destination);
    for (long round = 0; round < rounds; ++round) {
        restore.Add(ProgressOfRestoreRoad(access, backupFile, destination));
        if (round + 1 < rounds)
            backup.Add(ProgressOfBackupRoad(access, database, folder));
    }
    bool within = true;
    for (const TSide* side : {&backup, &restore}) {
        const double half = Median(side->half);
        const double step = Median(side->step);
        const bool halfOk = half >= 0.35 && half <= 0.65;
        within = within && halfOk;
        QStringList halves;
        for (double value : side->half)
            halves << QString::number(value, 'f', 2);
        Print(QStringLiteral("== progress, %1, %2: run %3 s; 50% first shown at %4 of the run [%5] %6; largest step "
                             "%7%; plan query %8%, bookkeeping %9% of the run (medians of %10)")
                  .arg(label, side->name, Seconds(Median(side->seconds)), QString::number(half, 'f', 2),
                      halves.join(u' '), halfOk ? QStringLiteral("ok") : QStringLiteral("OUTSIDE 0.35-0.65"),
                      QString::number(step * 100, 'f', 2), QString::number(Median(side->query) * 100, 'f', 2),
                      QString::number(Median(side->bookkeeping) * 100, 'f', 2))
                  .arg(side->half.size()));
    }
    QFile::remove(backupFile);
    QFile::remove(destination);
    // The bar itself, in the window's runs: the backup road, and the restore
    // over a database (planned on it), as the operator sees them.
    std::vector<double> barHalf[2], barStep[2];
    for (long round = 0; round < rounds; ++round) {
        const TWindowRuns runs = RunWindow(access, database, folder, destination);
        const TTimedRun* sides[2] = {&runs.backup, &runs.restoreOver};
        for (int side = 0; side < 2; ++side) {
            if (!sides[side]->bar.estimated || sides[side]->seconds <= 0)
                Fail(QStringLiteral("the window's run had no estimate"));
            barHalf[side].push_back(sides[side]->bar.halfAt / sides[side]->seconds);
            barStep[side].push_back(sides[side]->bar.largestStep);
        }
    }
    QFile::remove(destination);
    const QString windowSides[2] = {QStringLiteral("window backup"), QStringLiteral("window restore over")};
    for (int side = 0; side < 2; ++side) {
        const double half = Median(barHalf[side]);
        const bool halfOk = half >= 0.35 && half <= 0.65;
        const double step = *std::max_element(barStep[side].begin(), barStep[side].end());
        within = within && halfOk;
        QStringList halves;
        for (double value : barHalf[side])
            halves << QString::number(value, 'f', 2);
        Print(QStringLiteral("== progress, %1, %2: the bar first showed 50% at %3 of the run [%4] %5; its largest "
                             "step %6% (largest of %7 runs)")
                  .arg(label, windowSides[side], QString::number(half, 'f', 2), halves.join(u' '),
                      halfOk ? QStringLiteral("ok") : QStringLiteral("OUTSIDE 0.35-0.65"),
                      QString::number(step * 100, 'f', 2))
                  .arg(barHalf[side].size()));
    }
    return within ? 0 : 3;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(ApplicationTitle);
    const TOptions options = ParseOptions(QApplication::arguments());
    try {
        if (options.mode == QLatin1String("compare"))
            return Compare(options);
        if (options.mode == QLatin1String("log"))
            return Log(options);
        if (options.mode == QLatin1String("progress"))
            return Progress(options);
        Fail(QStringLiteral("usage: zurbench compare|log|progress [options] (see docs/benchmark.md)"));
    } catch (const Exception& failure) {
        Fail(QStringLiteral("%1: %2").arg(QLatin1String(failure.ClassName()), failure.Message()));
    }
}
