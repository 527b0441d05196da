#pragma once
// How well a run's progress tells the time: the backup road and the restore
// road run as the window runs them, the figure sampled every 50 ms as the
// window's bar is.

#include "GbakRuns.h"

#include <QString>

struct TProgressFigures {
    double seconds = 0;
    // What the figure did, sampled every 50 ms.
    TFigureWatch figure;
    // Seconds the estimate's bookkeeping took (feeding it lines, asking its state).
    double bookkeeping = 0;
    // Seconds the plan's query took (attach, read, detach).
    double planQuery = 0;
};

// The backup road of database into folder (a backup written and proved).
TProgressFigures ProgressOfBackupRoad(const TServerAccess& access, const QString& database, const QString& folder);
// The restore road of backupFile to destination: over the database there,
// planned on it, or to a new path (nothing to plan on).
TProgressFigures ProgressOfRestoreRoad(
    const TServerAccess& access, const QString& backupFile, const QString& destination);
