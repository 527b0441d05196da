#pragma once
// What the benchmark's measurements share: a clock, medians, the process's
// peak resident memory; the window tests' recorder of message boxes, which
// never blocks (an open-file dialog is cancelled).

#include "RecordingDialogs.h"

#include <QObject>
#include <QString>

#include <algorithm>
#include <vector>

// Seconds on a monotonic clock.
double Now();
// Processor seconds (user and system) this process has used so far.
double ProcessorTime();

double Median(std::vector<double> values);

// The peak resident memory of this process so far, in KiB (VmHWM of
// /proc/self/status; getrusage's ru_maxrss where that is missing).
long PeakResidentKiB();

// The lines of a text that start with "gbak:", as the server's output lines do.
long CountServerLines(const QString& text);
// The same for a file's contents.
long CountServerLinesInFile(const QString& path);

// Counts the paint events that a widget receives and the pixels they cover;
// installed as an event filter on a log's viewport.
class TPaintCounter : public QObject {
public:
    long events = 0;
    double area = 0;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// What a run's progress figure did, as it was looked at: seconds from the
// run's start to the first look at 50% or more (negative: never), its largest
// rise between two looks while it estimated, and whether it estimated at all.
struct TFigureWatch {
    double halfAt = -1;
    double largestStep = 0;
    bool estimated = false;
    double last = 0;
    void Saw(double fraction, double seconds)
    {
        estimated = true;
        largestStep = std::max(largestStep, fraction - last);
        last = fraction;
        if (halfAt < 0 && fraction >= 0.5)
            halfAt = seconds;
    }
};

// Stops the benchmark with a message on the standard error output.
[[noreturn]] void Fail(const QString& message);
