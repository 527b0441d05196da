#pragma once
// The backup run's road, without widgets: what the window's backup button
// does between reading its fields and showing its box, and what the command
// line does between reading its switches and its exit code.
//
// On a server on this machine the backup is written under a name of the
// run's own, proved by a full restore into a scratch database beside the
// database it was made of, and only then renamed to its final name: an older
// file of that name stays whole until the new one has proved itself.

#include "core/JobProgress.h"
#include "runs/RestoreSafety.h"
#include "runs/RestoreSteps.h"

#include <QString>

struct TBackupRequest {
    // The backup's target (BackupServiceTarget of the server field).
    TDatabaseLogin login;
    QString database;
    // The final name of the backup (BackupFileName).
    QString backupFile;
    // The mark that names this run's own files (NewRunMark).
    QString runMark;
};

struct TBackupOutcome {
    bool proved = false;
    // The failure's text, as the log's last line and the box's "Erro:" give it.
    QString failure;
    // The page size the backup's restore asks for (0: the server's default).
    int pageSize = 0;
    // What the proving restore moved, when the run's progress was watched:
    // the plan of a later restore of this backup.
    TJobPlan plan;
};

// Runs the road with services of its own, made and ended here: the locks,
// what an interrupted run left beside the database put right, the backup
// into the run's partial file, the proof, the rename. The lines go to the sink. A
// failed attach of the backup service leaves by its exception, after its
// words are in the log; every other failure is an outcome (told in the log),
// with the run's partial file removed and an older file of the final name
// untouched.
TBackupOutcome RunBackupRoad(const TBackupRequest& request, TRestoreSink& sink);
