#pragma once
// The restore of a compressed backup: the server cannot read an archive, so
// the run extracts the backup into a file of its own, on this machine, and
// restores that file exactly as a listed backup.

#include "core/BackupArchive.h"
#include "core/BackupNaming.h"

#include <QString>

#include <functional>

// Extracts the backup of archive into directory for a restore through the
// server that target names, writing what happens into the log. False, with
// the reason in the log and nothing written, when the server is on another
// machine (it could not read a file extracted here) or the archive is
// refused; otherwise extracted owns the file the restore reads, and puts into
// the log a failure to remove it (logLine must outlive extracted).
bool ExtractForRestore(const QString& archive, const TServiceTarget& target, const QString& directory,
    const std::function<void(const QString&)>& logLine, const TBetweenBlocks& between, TExtractedBackup& extracted);
