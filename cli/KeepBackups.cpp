#include "cli/KeepBackups.h"

#include "cli/RunLogFile.h"
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
const QString LogRemovedLine = QStringLiteral("Registro antigo removido (--keep %1): %2");
const QString LogNotRemovedLine = QStringLiteral("O registro antigo %1 não pôde ser removido: %2");

} // namespace

namespace {

// The date in name when it is prefix, eight digits of a real date and
// suffix (in any letter case); an invalid date otherwise. The backups of a
// database whose name goes on with digits do not match.
QDate DateInName(const QString& name, const QString& prefix, const QString& suffix)
{
    if (name.size() != prefix.size() + 8 + suffix.size() || !name.startsWith(prefix, Qt::CaseInsensitive)
        || !name.endsWith(suffix, Qt::CaseInsensitive))
        return {};
    const QString digits = name.mid(prefix.size(), 8);
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return {};
    }
    return QDate::fromString(digits, QStringLiteral("yyyyMMdd"));
}

// The dated files of database in folder: its backups, and with archives its
// compressed backups as well; newest date first.
std::vector<std::pair<QDate, QString>> DatedFiles(const QString& folder, const QString& database, bool archives)
{
    const QString base = BackupBaseName(database);
    std::vector<std::pair<QDate, QString>> found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase)) {
        QDate date = DateInName(name, base, QStringLiteral(".BKP"));
        if (!date.isValid() && archives)
            date = DateInName(name, QStringLiteral("ZUR") + base, QStringLiteral(".ZIP"));
        if (date.isValid())
            found.emplace_back(date, folder + name);
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    return found;
}

} // namespace

QStringList BackupsOfDatabase(const QString& folder, const QString& database)
{
    QStringList paths;
    for (const auto& entry : DatedFiles(folder, database, false))
        paths << entry.second;
    return paths;
}

bool KeepNewestBackups(const QString& folder, const QString& database, int keep, const QString& justMade,
    const std::function<void(const QString&)>& line)
{
    // A day's backup and its compressed copy count as one; the day of the
    // file just made is the newest of those kept.
    const QFileInfo made(justMade);
    std::vector<QDate> days;
    QDate madeDay;
    const auto files = DatedFiles(folder, database, true);
    for (const auto& [date, path] : files) {
        if (QFileInfo(path) == made)
            madeDay = date;
    }
    if (madeDay.isValid())
        days.push_back(madeDay);
    for (const auto& entry : files) {
        if (std::find(days.begin(), days.end(), entry.first) == days.end())
            days.push_back(entry.first);
    }
    const std::vector<QDate> kept(days.begin(), days.begin() + std::min<std::size_t>(days.size(), keep));
    bool removedAll = true;
    for (const auto& [date, path] : files) {
        if (QFileInfo(path) == made || std::find(kept.begin(), kept.end(), date) != kept.end())
            continue;
        QFile file(path);
        if (file.remove()) {
            line(RemovedLine.arg(keep).arg(path));
        } else {
            line(NotRemovedLine.arg(path, file.errorString()));
            removedAll = false;
        }
    }
    if (kept.empty())
        return removedAll;
    const QDate oldestKept = *std::min_element(kept.begin(), kept.end());
    const QDir logs(QDir(folder).filePath(QStringLiteral("logs")));
    for (const QString& name : logs.entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase)) {
        const QDate day = DefaultLogDay(name, database);
        if (!day.isValid() || day >= oldestKept)
            continue;
        QFile file(logs.filePath(name));
        if (file.remove()) {
            line(LogRemovedLine.arg(keep).arg(file.fileName()));
        } else {
            line(LogNotRemovedLine.arg(file.fileName(), file.errorString()));
            removedAll = false;
        }
    }
    return removedAll;
}
