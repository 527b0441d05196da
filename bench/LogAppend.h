#pragma once
// The cost of the log alone: lines appended to a shown window's log as the
// runs append them, with no server behind.

#include <utility>
#include <vector>

struct TLogAppendResult {
    long lines = 0;
    double firstMicroseconds = 0; // per line, over the first `window` lines
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
    Backup, // AppendLogLine on mmBackup (with mmBackupChange), as the backup run does
    Restore, // caret to the end, the line and CR LF inserted (mmRestoreChange), as the restore run does
};

// Appends `lines` lines, processing the pending window messages between two
// lines as the runs do, and times the first and the last `window` of them.
TLogAppendResult MeasureLogAppend(TLogRoad road, long lines, long window);
