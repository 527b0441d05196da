#include "cli/KeepBackups.h"

#include "core/BackupNaming.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const QString RemovedLine = QStringLiteral("Backup antigo removido (--keep %1): %2");
const QString NotRemovedLine = QStringLiteral("O backup antigo %1 não pôde ser removido: %2");

} // namespace

QStringList BackupsOfDatabase(const QString& folder, const QString& database)
{
    const QString base = BackupBaseName(database);
    std::vector<std::pair<QDate, QString>> found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase)) {
        // Exactly the base name, eight digits of a real date and ".BKP": the
        // backups of a database whose name goes on with digits do not match.
        if (name.size() != base.size() + 12 || !name.startsWith(base, Qt::CaseInsensitive)
            || !name.endsWith(QLatin1String(".BKP"), Qt::CaseInsensitive))
            continue;
        const QString digits = name.mid(base.size(), 8);
        bool allDigits = true;
        for (const QChar c : digits)
            allDigits = allDigits && c >= u'0' && c <= u'9';
        const QDate date = QDate::fromString(digits, QStringLiteral("yyyyMMdd"));
        if (allDigits && date.isValid())
            found.emplace_back(date, folder + name);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QStringList paths;
    for (const auto& entry : found)
        paths << entry.second;
    return paths;
}

bool KeepNewestBackups(const QString& folder, const QString& database, int keep, const QString& justMade,
    const std::function<void(const QString&)>& line)
{
    const QFileInfo made(justMade);
    QStringList older;
    for (const QString& path : BackupsOfDatabase(folder, database)) {
        if (QFileInfo(path) != made)
            older << path;
    }
    // The file just made is the newest of those kept.
    bool removedAll = true;
    for (int i = std::max(keep - 1, 0); i < older.size(); ++i) {
        QFile file(older[i]);
        if (file.remove()) {
            line(RemovedLine.arg(keep).arg(older[i]));
        } else {
            line(NotRemovedLine.arg(older[i], file.errorString()));
            removedAll = false;
        }
    }
    return removedAll;
}
