#pragma once
// The catalogue of backups offered for restore: which entries a directory
// gives at start-up and after a browse, and the entry of a new backup.

#include <QString>
#include <QStringList>

#include <vector>

// One entry of the catalogue. text is what the list shows and the restore
// reads: the full path with its letters a to z upper-cased. path is the same
// file as the directory listing named it, which still names it on a file
// system that tells letter case apart.
struct TCatalogueEntry {
    QString text;
    QString path;
};

// The last entry of the start-up list; picking it browses for another directory.
extern const QString BrowseEntryText; // "Outro..."

// Names of the entries of directory (files of every kind and subdirectories)
// that match pattern, a "*" and an extension such as "*.BKP", ignoring letter
// case; sorted by name ignoring case. A directory that does not exist or
// cannot be read gives none.
QStringList ListDirectory(const QString& directory, const QString& pattern);

// The directory of a file path: up to and including its last separator; empty
// when it has none.
QString DirectoryOf(const QString& filePath);

// The "*.BKP" entries of directory (which ends in a separator), as the start-up
// fill adds them before the browse entry.
std::vector<TCatalogueEntry> StartupEntries(const QString& directory);

// The entries of a browsed directory: its "*.FBK" entries, then its "*.ZIP"
// entries whose names as listed hold "ZUR" in upper case.
std::vector<TCatalogueEntry> BrowsedEntries(const QString& directory);

// The entry that a new backup file is appended as.
TCatalogueEntry CatalogueEntryFor(const QString& path);
