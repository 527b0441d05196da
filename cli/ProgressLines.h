#pragma once
// How far along a command-line run is, as lines on standard output: at most
// one a second, and the run's final state. A terminal shows them, or whoever
// asked for them with --progress; the run's log file keeps the server's words
// alone.

#include <QString>

#include <functional>

class TJobProgress;

// "Progresso: " and the bar's text.
QString ProgressLine(const QString& text);

class TProgressLines {
public:
    // Seconds on a steady clock; the default is the machine's steady clock.
    using TClock = std::function<double()>;
    using TPrint = std::function<void(const QString& line)>;
    TProgressLines(const TJobProgress& progress, TPrint print, TClock clock = TClock());

    // Told as the run goes (at each of its lines): prints a line when one is due.
    void Tick();
    // The run is over (Finish or Fail said): its final state, if it ever started.
    void Final();

private:
    const TJobProgress& FProgress;
    TPrint FPrint;
    TClock FClock;
    double FLastLook = -1;
    double FLastPrint = -1;
    QString FLastText;
};
