#pragma once
// The window's backup road, and the restore road that follows it, driven as
// the operator would: a fresh window, the connection test, then the runs.

#include "GbakRuns.h"

#include <QString>

struct TWindowRuns {
    TTimedRun backup;
    TTimedRun restore; // not run when restoreTo is empty
    // The same backup restored a second time, over the database that the
    // first restore left at restoreTo (one other than the backup's own).
    TTimedRun restoreOver;
    QString backupFile; // the file the backup run wrote (deleted afterwards)
};

// A fresh window whose program directory is folder: its fields set from
// access and database, the connection test (not timed), btnBackupClick
// (timed); then, when restoreTo is not empty, the destination path typed
// into the window and btnRestoreClick (timed) restoring the file just made,
// then btnRestoreClick again (timed) over the database it has just made.
// The window is destroyed and the backup file deleted before this returns.
// Lines are the server's lines ("gbak:...") that the logs show.
TWindowRuns RunWindow(
    const TServerAccess& access, const QString& database, const QString& folder, const QString& restoreTo);
