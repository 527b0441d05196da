// zurbench: the window's backup and restore runs against the server's gbak,
// and the cost of the log alone. bench/run drives it; see the README's benchmark section.
//
//   zurbench compare --server localhost/3055: --database PATH --folder DIR
//                    [--runs 5] [--warmup 1] [--label NAME] [--no-restore] [--no-layer]
//   zurbench log [--road backup|restore] [--lines 200000] [--window 1000] [--rounds 5]

#include "BenchSupport.h"
#include "ErrorReport.h"
#include "Errors.h"
#include "GbakRuns.h"
#include "LogAppend.h"
#include "ServiceRuns.h"
#include "WindowRuns.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

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

// Two runs one after the other, as one.
TTimedRun Sum(const TTimedRun& first, const TTimedRun& second)
{
    TTimedRun both = first;
    both.seconds += second.seconds;
    both.processorSeconds += second.processorSeconds;
    both.lines += second.lines;
    both.paints += second.paints;
    both.paintedViewports += second.paintedViewports;
    return both;
}

struct TSeries {
    std::vector<double> seconds;
    std::vector<double> processorSeconds;
    long lines = 0;
    long paints = 0;
    double paintedViewports = 0;
    void Add(const TTimedRun& run)
    {
        seconds.push_back(run.seconds);
        processorSeconds.push_back(run.processorSeconds);
        lines = run.lines;
        paints = run.paints;
        paintedViewports = run.paintedViewports;
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

// Prints the comparison of one job; returns whether the window stayed within the limit.
bool Report(const QString& job, const TSeries& gbak, const TSeries& layer, const TSeries& window, double limit)
{
    const double a = Median(gbak.seconds);
    const double b = Median(window.seconds);
    const double ratio = a > 0 ? b / a : 0;
    PrintSide(job, QStringLiteral("gbak"), gbak);
    if (!layer.seconds.empty()) {
        const double c = Median(layer.seconds);
        PrintSide(job, QStringLiteral("layer"), layer,
            QStringLiteral("  (client layer alone: %1 x gbak)").arg(a > 0 ? c / a : 0, 0, 'f', 3));
    }
    PrintSide(job, QStringLiteral("window"), window);
    if (window.lines > 0)
        Print(QStringLiteral("  %1  window  log repainted %2 times for %3 lines (%4 per line), %5 viewports' worth of "
                             "pixels (%6 of the log per line)")
                  .arg(job)
                  .arg(window.paints)
                  .arg(window.lines)
                  .arg(static_cast<double>(window.paints) / window.lines, 0, 'f', 2)
                  .arg(window.paintedViewports, 0, 'f', 0)
                  .arg(window.paintedViewports / window.lines, 0, 'f', 3));
    if (a > 0 && window.lines > 0 && gbak.lines > 0)
        Print(QStringLiteral("  %1  the window adds %2 us per line to gbak's %3 us")
                  .arg(job)
                  .arg((b - a) / window.lines * 1e6, 0, 'f', 1)
                  .arg(a / gbak.lines * 1e6, 0, 'f', 1));
    // Each round's window run against the gbak run next to it: drift in the
    // machine's load over the rounds cancels out of these.
    std::vector<double> rounds;
    for (size_t i = 0; i < gbak.seconds.size() && i < window.seconds.size(); ++i) {
        if (gbak.seconds[i] > 0)
            rounds.push_back(window.seconds[i] / gbak.seconds[i]);
    }
    QStringList roundTexts;
    for (double value : rounds)
        roundTexts << QString::number(value, 'f', 3);
    const bool within = ratio <= limit;
    Print(QStringLiteral("  %1  ratio window/gbak %2 (limit %3) %4; median of the rounds' own ratios %5 [%6]")
              .arg(job)
              .arg(ratio, 0, 'f', 3)
              .arg(limit, 0, 'f', 2)
              .arg(within ? QStringLiteral("ok") : QStringLiteral("OVER"))
              .arg(Median(rounds), 0, 'f', 3)
              .arg(roundTexts.join(u' ')));
    if (gbak.lines != window.lines)
        Print(QStringLiteral("  %1  note: the window showed %2 server lines, gbak printed %3")
                  .arg(job)
                  .arg(window.lines)
                  .arg(gbak.lines));
    return within;
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

    const QString gbakFile = folder + QStringLiteral("gbak-bench.fbk");
    const QString gbakOutput = folder + QStringLiteral("gbak-output.txt");
    // Where gbak and the client layer restore (always: the proof of their
    // backup) and the window's restore road restores (unless --no-restore).
    const QString restored = folder + QStringLiteral("restored.fdb");
    const QString restoreTo = restore ? restored : QString();
    QFile::remove(gbakFile);

    TSeries gbakBackup, gbakRestore, layerBackup, layerRestore, windowBackup, windowRestore;
    const long startPeak = PeakResidentKiB();
    long firstWindowPeak = 0;

    // A side that backs up into gbakFile and restores that file: gbak or the
    // client layer alone.
    using TBackupJob = std::function<TTimedRun()>;
    using TRestoreJob = std::function<TTimedRun()>;
    auto fileSide
        = [&](const QString& name, TSeries& backups, TSeries& restores, TBackupJob backupJob, TRestoreJob restoreJob) {
              return [&, name, backupJob, restoreJob](bool counted) {
                  // The window's backup road proves its backup with a restore
                  // of the file: the same job here is the backup and then the
                  // restore of the same file.
                  const TTimedRun backup = backupJob();
                  const TTimedRun restored = restoreJob();
                  QFile::remove(gbakFile);
                  if (counted) {
                      backups.Add(Sum(backup, restored));
                      if (restore)
                          restores.Add(restored);
                  }
                  Print(QStringLiteral("    %1 backup %2 s  restore %3 s%4")
                            .arg(name.leftJustified(7), Seconds(backup.seconds), Seconds(restored.seconds),
                                counted ? QString() : QStringLiteral("  (warm-up)")));
              };
          };
    const auto runGbak = fileSide(
        QStringLiteral("gbak"), gbakBackup, gbakRestore,
        [&] { return GbakBackup(access, database, gbakFile, gbakOutput); },
        [&] { return GbakRestore(access, gbakFile, restored, gbakOutput); });
    const auto runLayer = fileSide(
        QStringLiteral("layer"), layerBackup, layerRestore, [&] { return ServiceBackup(access, database, gbakFile); },
        [&] { return ServiceRestore(access, gbakFile, restored); });
    auto runWindow = [&](bool counted) {
        const TWindowRuns window = RunWindow(access, database, folder, restoreTo);
        if (counted) {
            windowBackup.Add(window.backup);
            if (restore)
                windowRestore.Add(window.restore);
            if (!firstWindowPeak)
                firstWindowPeak = PeakResidentKiB();
        }
        Print(QStringLiteral("    window  backup %1 s%2%3   peak %4")
                  .arg(Seconds(window.backup.seconds),
                      restore ? QStringLiteral("  restore %1 s").arg(Seconds(window.restore.seconds)) : QString(),
                      counted ? QString() : QStringLiteral("  (warm-up)"), MiB(PeakResidentKiB())));
    };

    Print(QStringLiteral("== %1: %2").arg(label, database));
    std::vector<std::function<void(bool)>> sides{runGbak, runWindow};
    if (layer)
        sides.insert(sides.begin() + 1, runLayer);
    for (long i = 0; i < warmups; ++i) {
        for (const auto& side : sides)
            side(false);
    }
    // The sides in turn, every other round in the reverse order: drift in
    // the machine's load touches them alike.
    for (long i = 0; i < runs; ++i) {
        if (i % 2 == 0) {
            for (auto side = sides.begin(); side != sides.end(); ++side)
                (*side)(true);
        } else {
            for (auto side = sides.rbegin(); side != sides.rend(); ++side)
                (*side)(true);
        }
    }
    QFile::remove(gbakOutput);
    QFile::remove(restored);

    Print(QStringLiteral("-- %1: medians of %2 alternating runs").arg(label).arg(runs));
    Print(QStringLiteral("  (backup: the window's road with its proof against gbak -b followed by gbak -c of the same "
                         "file, and the client layer's backup followed by its restore)"));
    bool within = Report(QStringLiteral("backup "), gbakBackup, layerBackup, windowBackup, limit);
    if (restore)
        within = Report(QStringLiteral("restore"), gbakRestore, layerRestore, windowRestore, limit) && within;
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
        Fail(QStringLiteral("usage: zurbench compare|log [options] (see the README's benchmark section)"));
    } catch (const Exception& failure) {
        Fail(QStringLiteral("%1: %2").arg(QLatin1String(failure.ClassName()), failure.Message()));
    }
}
