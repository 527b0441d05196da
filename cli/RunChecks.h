#pragma once
// What is looked at before a command-line run starts, so that a run that
// cannot go through ends with exit code 2 having sent nothing to the server:
// a path that a server of this machine would read from its own working
// folder, a backup folder that is missing or takes no file, a restore that
// would create a database nobody asked for.

#include <QString>

struct TCommandLine;

// An empty text when the run may start; otherwise why not, in the operators'
// language. A restore to a server on another machine without --create asks
// that server whether the database is there (an attachment that changes
// nothing); every other check stays on this machine.
QString CheckBeforeRun(const TCommandLine& command);

// Why the program cannot use folder (a path of this machine) for backups:
// not a full path, missing, not a folder, or taking no file of the program;
// empty when it can. A file of the program's is made and removed there.
QString BackupFolderRefusal(const QString& folder);
