#pragma once
// The cost of the log alone: lines appended to a shown window's log as the
// runs append them, with no server behind.

#include <utility>
#include <vector>

struct TLogAppendResult {
    long lines = 0;
    double firstMicroseconds = 0; // per line, over the `window` lines appended to a log of `window` lines
    double lastMicroseconds = 0; // per line, over the last `window` lines
    double totalSeconds = 0;
    // Per line over `window` lines starting at a quarter, half and three
    // quarters of the log, to show the trend between the first and the last.
    std::vector<std::pair<long, double>> sliceMicroseconds;
    long peakBeforeKiB = 0; // VmHWM with the window shown and its log empty
    long peakAfterKiB = 0; // VmHWM with every line in the log
    long textBytes = 0; // the log's text, UTF-16
    long viewportPaints = 0; // paint events of the log's viewport
    double paintedArea = 0; // pixels they covered, all together
    double viewportArea = 0; // pixels of the viewport
};

enum class TLogRoad {
    Backup, // through a feed that appends lines to mmBackup (with mmBackupChange), as the backup run does
    Restore, // through a feed that inserts lines with CR LF at the end of mmRestore (mmRestoreChange)
};

// Appends `lines` lines, processing the pending window messages between two
// lines and handing them to the log's feed as the runs do, with the feed's
// clock at the quick server's pace, and times the `window` lines that follow
// the first `window` (the log holds that many then) and the last `window`.
TLogAppendResult MeasureLogAppend(TLogRoad road, long lines, long window);
