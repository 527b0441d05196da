#include "core/BackupCatalogue.h"

#include "core/AppPaths.h"
#include "ibclient/StringList.h"

#include <QDir>

#include <algorithm>

const QString BrowseEntryText = QStringLiteral("Outro...");

namespace {

void AddEntries(std::vector<TCatalogueEntry>& entries, const QString& directory, const QStringList& names)
{
    for (const QString& name : names)
        entries.push_back(CatalogueEntryFor(directory + name));
}

} // namespace

QStringList ListDirectory(const QString& directory, const QString& pattern)
{
    QDir dir(directory.isEmpty() ? QStringLiteral(".") : directory);
    dir.setNameFilters({pattern}); // name filters ignore letter case unless told otherwise
    dir.setFilter(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    dir.setSorting(QDir::Unsorted);
    QStringList names = dir.entryList();
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    return names;
}

QString DirectoryOf(const QString& filePath)
{
    for (auto i = filePath.size(); i > 0; --i) {
        if (IsPathDelimiter(filePath.at(i - 1)))
            return filePath.left(i);
    }
    return QString();
}

std::vector<TCatalogueEntry> StartupEntries(const QString& directory)
{
    std::vector<TCatalogueEntry> entries;
    AddEntries(entries, directory, ListDirectory(directory, QStringLiteral("*.BKP")));
    return entries;
}

std::vector<TCatalogueEntry> BrowsedEntries(const QString& directory)
{
    std::vector<TCatalogueEntry> entries;
    AddEntries(entries, directory, ListDirectory(directory, QStringLiteral("*.FBK")));
    QStringList archives = ListDirectory(directory, QStringLiteral("*.ZIP"));
    archives.erase(std::remove_if(archives.begin(), archives.end(),
                       [](const QString& name) { return !name.contains(QLatin1String("ZUR")); }),
        archives.end());
    AddEntries(entries, directory, archives);
    return entries;
}

TCatalogueEntry CatalogueEntryFor(const QString& path)
{
    return {AsciiUpper(path), path};
}
