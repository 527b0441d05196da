#pragma once
// What the benchmark's measurements share: a clock, medians, the process's
// peak resident memory; the window tests' recorder of message boxes, which
// never blocks (an open-file dialog is cancelled).

#include "RecordingDialogs.h"

#include <QObject>
#include <QString>

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

// Stops the benchmark with a message on the standard error output.
[[noreturn]] void Fail(const QString& message);
