#pragma once
// Renames within one folder that never replace a file: the swap of a
// restored database moves files that are a database each, and a name that
// is taken (by another run, by an operator's copy) must stop the swap rather
// than vanish.

#include <QString>

// Gives the file at from the name to, which must not exist. Tries again for
// a few seconds while another process (a server closing the database) still
// holds the file. On failure, the reason, and both names are as they were.
QString MoveFileNoReplace(const QString& from, const QString& to);

// Gives the file at existing a second name, to, which must not exist (a hard
// link: both names are the one file). On failure, the reason (a file system
// without hard links, say), and nothing is changed.
QString LinkFileNoReplace(const QString& existing, const QString& to);

// Gives the file at from the name to, replacing the file of that name in one
// step: at every moment a file is at to, the old one or from. Tries again
// while another process still holds either. On failure, the reason, and both
// are as they were.
QString ReplaceFileRetrying(const QString& from, const QString& to);

// Removes the file at path, trying again in the same way; the reason on failure.
QString RemoveFileRetrying(const QString& path);
