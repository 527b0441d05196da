#pragma once
// What the benchmark's measurements share: a clock, medians, the process's
// peak resident memory, and a message-box recorder that never blocks.

#include "window/Dialogs.h"

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

// Records the window's message boxes instead of showing them; an open-file
// dialog is answered with a cancel.
class TRecordingDialogs : public IDialogs {
public:
    struct TBox {
        QString text;
        QString caption;
    };
    std::vector<TBox> boxes;

    void ShowMessage(QWidget* owner, const QString& text, const QString& caption, TMessageKind kind) override;
    QString OpenFileName(QWidget* owner, const TOpenFileRequest& request) override;

    // The text of the last box, or the empty text.
    QString LastText() const;
};

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
