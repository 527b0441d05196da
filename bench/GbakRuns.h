#pragma once
// The server's own tool, gbak, run through the same service manager as the
// window: the reference the window's runs are measured against.

#include "BenchSupport.h"

#include <QString>

struct TServerAccess {
    QString serverText; // "localhost/3055:", as typed into the window
    QString user;
    QString password;
    // "localhost/3055:service_mgr", the service name gbak -se takes.
    QString ServiceName() const;
};

struct TTimedRun {
    double seconds = 0;
    // What the run's progress bar showed (window runs).
    TFigureWatch bar;
    // Processor time of the reading side: the gbak process, or the bench
    // process for the client layer and the window.
    double processorSeconds = 0;
    long lines = 0;
    // For the window's runs: the paint events of the log's viewport during
    // the run, and the pixels they covered in viewports (a full redraw of the
    // log counts 1).
    long paints = 0;
    double paintedViewports = 0;
};

// gbak -b -v -se <service> -user .. -password .. <database> <backupFile>
// (without -v when not verbose: the server's job alone, with next to no
// output to read); its output goes to outputFile (lines counted afterwards,
// outside the timing).
TTimedRun GbakBackup(const TServerAccess& access, const QString& database, const QString& backupFile,
    const QString& outputFile, bool verbose = true);

// gbak -c -rep -v -se ... <backupFile> <database>, with the page size and the
// full page fill that the window's restore asks for (the page size read from
// the backup's header), so both do the same job.
TTimedRun GbakRestore(const TServerAccess& access, const QString& backupFile, const QString& database,
    const QString& outputFile, bool verbose = true);

// The runs of two steps taken as one (a backup and the restore of its file,
// say): their times, lines and paints added.
TTimedRun AddRuns(const TTimedRun& a, const TTimedRun& b);
