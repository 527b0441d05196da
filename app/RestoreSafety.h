#pragma once
// What keeps a restore truthful and the destination safe. A restore through
// the service manager can end as if it had gone through while the backup was
// incomplete: the database left behind then stays shut down. And a restore
// with Replace drops the existing database before it reads the backup. So the
// restore run looks at the restored database before it reports success, and
// tries an unproven backup on a scratch database before it replaces one.

#include <QString>

// How the runs reach a database on the server: the server field's text (put
// directly before the path, as the connection test does), the user name and
// the password.
struct TDatabaseLogin {
    QString serverText;
    QString user;
    QString password;
};

// The scratch database beside a destination, into which an unproven backup is
// restored first.
QString ScratchDatabasePath(const QString& destination);

// Whether a database may exist at path. An attachment that succeeds says it
// exists; a refusal because the server has no such file says it does not;
// any other failure (wrong password, a file the server cannot open, no server)
// says it may. Never raises for a failed attachment.
bool DatabaseMayExist(const TDatabaseLogin& login, const QString& path);

// Whether the database at path is online (not left shut down by the server).
// Attaches, reads its shutdown mode and closes; a failure to attach or to read
// is raised.
bool DatabaseIsOnline(const TDatabaseLogin& login, const QString& path);

// Drops the database at path. Returns false when the server has no such file;
// any other failure is raised.
bool DropDatabaseAt(const TDatabaseLogin& login, const QString& path);
