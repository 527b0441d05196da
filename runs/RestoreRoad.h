#pragma once
// The restore run's road, without widgets: what the window's restore button
// does between reading its fields and showing its box.
//
// On a server on this machine the backup is restored once, into a scratch
// database beside the destination, checked, and only then put in its place
// by renames: the destination is taken out of use, set aside under a name of
// the run, the scratch takes its name, the database is brought online, and
// the old file goes last. At every moment a whole database is at the
// destination's path or set aside under a name that the next run puts back.
// A server elsewhere (or a folder where this program may not rename) keeps
// the trial on a scratch database followed by a restore with replace.

#include "core/JobProgress.h"
#include "runs/Leftovers.h"
#include "runs/RestoreSafety.h"
#include "runs/RestoreSteps.h"
#include "runs/RunLocks.h"

#include <QString>

#include <functional>

// The points between the road's steps, for whoever watches it (a test's
// helper stops its process there).
enum class TRestorePhase {
    Checked, // the scratch database restored and online, the destination untouched
    OutOfUse, // both databases out of use, nothing moved yet
    SetAside, // the destination renamed aside, the scratch not yet in its place
    Swapped, // the restored database online at the destination, the old file still aside
};

struct TRestoreRequest {
    TDatabaseLogin login;
    QString backupFile;
    // What the operator chose, when it is not backupFile itself (an archive
    // the backup was extracted from): the file the log tells them to restore.
    QString chosenBackup;
    QString destination;
    int pageSize = 0;
    // This program run proved backupFile for destination on the backup road:
    // where the road is a trial and a replace, the trial is left out.
    bool proved = false;
    // What the backup holds, when the run knows it (the counts of the restore
    // that proved it); otherwise the progress is planned on the destination.
    TJobPlan plan;
    // Called at each phase.
    std::function<void(TRestorePhase)> reached;
};

struct TRestoreOutcome {
    bool restored = false;
    // What the failure box adds to its text (the database that a restore with
    // replace left incomplete).
    QString boxNote;
};

// Runs the road: its own restore service made, set up, attached and ended
// here. A failed attach of the restore service leaves by its exception,
// after its words are in the log; every other failure is an outcome, told in
// the log. What interrupted runs left beside the destination is put right
// first (Leftovers.h).
TRestoreOutcome RunRestoreRoad(const TRestoreRequest& request, TRestoreSink& sink);
