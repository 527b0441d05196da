#pragma once
// What the program reads and does to a backup file on this machine: the name
// a backup is written under until it has proved itself, the page size of the
// database it holds, giving it its final name, and what it looked like when
// it was proved.

#include <QDateTime>
#include <QString>
#include <QStringList>

// The name the server writes a new backup under, beside its final name and
// marked with the run's own mark: the catalogue never lists it, so a backup
// that has not proved itself is never offered, an older file of the final
// name stays as it is until then, and no two runs write the same file.
QString PartialBackupName(const QString& finalName, const QString& runMark);
// The partial backups of any run beside finalName (full paths).
QStringList PartialBackupsOf(const QString& finalName);

// The files beside path whose names are path's own name followed by suffix
// and something more (a run's mark), sorted by name (full paths).
QStringList FilesBesideWithSuffix(const QString& path, const QString& suffix);

// The page size of the database in the backup file at path, read from the
// file's header; 0 when the file cannot be read or its header is not one the
// program knows.
int BackupPageSize(const QString& path);

// The page size a restore asks for, so that it never makes a database's pages
// smaller than they were: 4096 for a database of 4096 or less, its own page
// size above that; 0 (ask for none: the server keeps the backup's) when the
// database's page size is not known.
int RestorePageSize(int databasePageSize);

// Gives the file at from the name to, replacing a file of that name only now.
// On failure, the reason (both files stay as they were).
QString ReplaceFile(const QString& from, const QString& to);

// A file's size and time of last change, to tell whether it has changed since.
struct TFileStamp {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const TFileStamp& other) const { return size == other.size && modified == other.modified; }
};
TFileStamp FileStamp(const QString& path);
