#pragma once
// What a line of a backup's or restore's verbose output says, as far as the
// progress of the job cares.

#include "core/JobProgress.h"

#include <QString>

struct TVerboseLine {
    enum TKind {
        Other,
        TableMeta, // "writing table X", "restoring table X"
        TableData, // "writing data for table X", "restoring data for table X"
        Records, // "N records written", "N records restored"
        Index, // "writing index X", "restoring index X"
        Grant, // "writing privilege ...", "restoring privilege ..."
        CreatingIndexes, // "creating indexes" (a restore)
        ActivateIndex, // "activating and creating deferred index X" (a restore)
    };
    TKind kind = Other;
    // The table's or index's name, without the quotes of a quoted name.
    QString name;
    double count = 0;
};

// The line as the service gives it (a "gbak:" before it and blanks around it
// are left out).
TVerboseLine ParseVerboseLine(const QString& line, TJobStage stage);
