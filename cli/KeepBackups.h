#pragma once
// Keeping the newest backups of a database in a folder: after a proved
// backup, the older ones beyond a count go, and the older logs with them.

#include <QString>
#include <QStringList>

#include <functional>

// The backups of database in folder (ending in a separator), by the names
// this program gives them (base name, date as "YYYYMMDD", ".BKP", in any
// letter case), newest date first; full paths.
QStringList BackupsOfDatabase(const QString& folder, const QString& database);

// Removes the backups of database in folder beyond the newest keep, never
// justMade (which counts among the kept), and the logs of database in the
// folder's "logs" (by their default names) of a day before the oldest backup
// kept: what they tell of is gone with it. Each removal, and each file that
// could not be removed, is told to line. Whether every removal went.
bool KeepNewestBackups(const QString& folder, const QString& database, int keep, const QString& justMade,
    const std::function<void(const QString&)>& line);
