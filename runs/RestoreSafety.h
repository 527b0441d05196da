#pragma once
// What keeps a backup proved and a restore truthful and safe. A restore
// through the service manager can end as if it had gone through while the
// backup was incomplete: the database left behind then stays shut down. A
// restore with Replace drops the existing database before it reads the
// backup. So the runs look at a restored database before they report success,
// try a backup that has not proved itself on a scratch database before it may
// replace one, and leave alone a database that someone is using.
//
// Every check reaches the database exactly as the service that writes it
// does: the same server, the same protocol, the same path.

#include "core/BackupFile.h"
#include "core/BackupNaming.h"
#include "core/JobProgress.h"

#include <QString>

#include <exception>

// How the runs reach a database on the server: the service's target, the user
// name and the password.
struct TDatabaseLogin {
    TServiceTarget target;
    QString user;
    QString password;
};

// What a restore would find at a path on the server.
enum class TDatabaseState {
    Absent, // the server has no such file
    Present, // a database that nobody else has open
    InUse, // held by other attachments or by another engine
    Unknown // the attachment failed for another reason (password, server, path)
};
struct TDatabaseProbe {
    TDatabaseState state = TDatabaseState::Unknown;
    // The server's words for a database in use or an attachment that failed.
    QString reason;
};
// Attaches to the database at path to see which; never raises for a failed
// attachment. With plan, a database that is there gives its job plan too
// (in the same attachment; unknown when it cannot be read).
TDatabaseProbe ProbeDatabase(const TDatabaseLogin& login, const QString& path, TJobPlan* plan = nullptr);

// Whether the database at path is online (not left shut down by the server).
// Attaches, reads its shutdown mode and closes; a failure to attach or to read
// is raised.
bool DatabaseIsOnline(const TDatabaseLogin& login, const QString& path);

// Attaches database to the database at path on the server that login names,
// with login's user and password; a failed attachment is raised.
class TIBDatabase;
void OpenDatabase(TIBDatabase& database, const TDatabaseLogin& login, const QString& path);

// Drops the database at path. Returns false when the server has no such file;
// any other failure is raised.
bool DropDatabaseAt(const TDatabaseLogin& login, const QString& path);

// Whether a failure that one of these raised may pass when tried again a
// moment later (a database that the server is still closing), unlike a
// refused login or a server out of reach. Looks at the codes the failure
// carries.
bool FailureMayPass(const std::exception& failure);

// A backup that this program run has proved by restoring it completely: the
// file, what it looked like then, the database it was made of, and the page
// size its restore asks for. Its restore over that same database needs no
// trial first.
struct TProvenBackup {
    QString file;
    TFileStamp stamp;
    TServiceTarget target;
    QString database;
    int pageSize = 0;
    // What the proving restore moved: the plan of a restore's progress.
    TJobPlan plan;

    // Whether this is the proof for restoring backupFile, unchanged since, to
    // destination on the server that target names.
    bool Covers(const QString& backupFile, const TServiceTarget& to, const QString& destination) const;
};
