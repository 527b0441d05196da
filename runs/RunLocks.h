#pragma once
// What keeps two runs apart: the lock files of a run on a database and on a
// backup name, and the file a run works on for a database of this machine.

#include "runs/RestoreSafety.h"

#include <QString>
#include <QStringList>

class TRunLock;

// The file that a server on this machine opens for the database path the
// operator gave: the path itself, or, where the path is a symbolic link, the
// file it leads to (in the link's folder as the path names it). A run names its lock, its scratch
// and its set-aside files after that file, so that two runs given two names
// of one database exclude each other, and a swap replaces the database itself
// rather than the link. A path that names nothing yet is taken as it is.
QString DatabaseFileHere(const QString& path);

// The lock files of a run on a database (its destination, or the database
// that a backup proves itself beside) and on a backup name.
QString DatabaseLockPath(const TDatabaseLogin& login, const QString& path);
QString BackupLockPath(const QString& backupFile);

// Why a run may not go on with a lock that it could not take: another run
// at work on what (the lock's file named), or the lock file not made; empty
// when the lock is held.
QString LockRefusal(const TRunLock& lock, const QString& what);

// The first of the paths that the service's file lists would read as a name
// and a size, as the refusal's text; empty when there is none.
QString PathRefusal(const QStringList& paths);

// Why a database path of a server on this machine cannot be worked beside: a
// path that is not absolute would name the files of the run (scratch,
// set-aside, locks) in the program's or the server's working folder; empty
// when it can.
QString RelativePathRefusal(const QString& path);
