#pragma once
// The backup file's name, and the server name and protocol that the backup
// and restore runs take from the server field.

#include <QDate>
#include <QString>

// Today's local date; the one place the runs read it.
QDate Today();
// Fixes Today() for tests; an invalid date returns to the real clock.
void SetTodayForTests(const QDate& date);

// The database file's base name: the last element of the path (after its last
// "\", "/" or ":"), cut just before its first "."; the whole element when it
// has no ".".
QString BackupBaseName(const QString& databasePath);

// executableDirectory + base name + date as "YYYYMMDD" + ".BKP", run together.
QString BackupFileName(const QString& executableDirectory, const QString& databasePath, const QDate& date);

// The archive a backup is also written into on request: directory + "ZUR" +
// base name + date as "YYYYMMDD" + ".ZIP", which a browse lists.
QString ArchiveFileName(const QString& directory, const QString& databasePath, const QDate& date);

// The service target of the backup run. tcp false means the protocol Local,
// with no server name.
struct TServiceTarget {
    QString serverName;
    bool tcp;
};

// The backup run's rule: when the field, trimmed of every character up to
// code 32 at both ends, is not empty, the untrimmed field with its first ":"
// removed over TCP; otherwise Local.
TServiceTarget BackupServiceTarget(const QString& serverField);

// The restore run's rule: the untrimmed field with its first ":" removed. The
// run chooses TCP when the result is not empty.
QString RestoreServerName(const QString& serverField);
// The same rule as a target: TCP when the server name is not empty.
TServiceTarget RestoreServiceTarget(const QString& serverField);

bool operator==(const TServiceTarget& a, const TServiceTarget& b);

// How a database attachment reaches the database at path on the server that
// the service target names, by the same protocol: "server name:path" over
// TCP, the path alone for the local engine.
QString DatabaseConnectionString(const TServiceTarget& target, const QString& path);

struct TMachineNames;

// Whether the server that target names writes its files on this machine, so
// that a file it writes is seen here under the same path: the local engine,
// or a host (before any "/port", out of its brackets) that HostIsThisMachine
// takes for self.
bool ServerIsThisMachine(const TServiceTarget& target, const TMachineNames& self);
// The same for this machine's real names and addresses. A name that is not
// this machine's own is resolved, which may wait on the network.
bool ServerIsThisMachine(const TServiceTarget& target);
