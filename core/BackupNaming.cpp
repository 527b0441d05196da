#include "core/BackupNaming.h"

#include "core/MachineNames.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <mutex>

namespace {

QDate& FixedToday()
{
    static QDate date;
    return date;
}

QString WithoutFirstColon(const QString& text)
{
    QString result = text;
    const auto colon = result.indexOf(u':');
    if (colon >= 0)
        result.remove(colon, 1);
    return result;
}

// Whether text holds anything but spaces and control characters.
bool HasText(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() > 32; });
}

} // namespace

QDate Today()
{
    const QDate& fixed = FixedToday();
    return fixed.isValid() ? fixed : QDate::currentDate();
}

void SetTodayForTests(const QDate& date)
{
    FixedToday() = date;
}

QString BackupBaseName(const QString& databasePath)
{
    auto start = databasePath.size();
    while (start > 0) {
        const QChar c = databasePath.at(start - 1);
        if (c == u'\\' || c == u'/' || c == u':')
            break;
        --start;
    }
    const QString lastElement = databasePath.mid(start);
    // A name without a "." is the base name whole: cut to nothing, two such
    // databases backed up into one folder on one day would share a backup.
    const auto dot = lastElement.indexOf(u'.');
    return dot < 0 ? lastElement : lastElement.left(dot);
}

QString BackupFileName(const QString& executableDirectory, const QString& databasePath, const QDate& date)
{
    const QString stamp = QString::asprintf("%04d%02d%02d", date.year(), date.month(), date.day());
    return executableDirectory + BackupBaseName(databasePath) + stamp + QLatin1String(".BKP");
}

QString ArchiveFileName(const QString& directory, const QString& databasePath, const QDate& date)
{
    const QString stamp = QString::asprintf("%04d%02d%02d", date.year(), date.month(), date.day());
    return directory + QLatin1String("ZUR") + BackupBaseName(databasePath) + stamp + QLatin1String(".ZIP");
}

TServiceTarget BackupServiceTarget(const QString& serverField)
{
    if (!HasText(serverField))
        return {QString(), false};
    return {WithoutFirstColon(serverField), true};
}

QString RestoreServerName(const QString& serverField)
{
    return WithoutFirstColon(serverField);
}

TServiceTarget RestoreServiceTarget(const QString& serverField)
{
    const QString name = RestoreServerName(serverField);
    return {name, !name.isEmpty()};
}

bool operator==(const TServiceTarget& a, const TServiceTarget& b)
{
    return a.tcp == b.tcp && a.serverName == b.serverName;
}

QString DatabaseConnectionString(const TServiceTarget& target, const QString& path)
{
    return target.tcp ? target.serverName + u':' + path : path;
}

bool ServerIsThisMachine(const TServiceTarget& target, const TMachineNames& self)
{
    if (!target.tcp)
        return true;
    // The host: the name before a "/port", without the brackets of an IPv6 address.
    QString host = target.serverName.trimmed();
    const auto slash = host.indexOf(u'/');
    if (slash >= 0)
        host.truncate(slash);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    return HostIsThisMachine(host, self);
}

bool ServerIsThisMachine(const TServiceTarget& target)
{
    if (!target.tcp)
        return true;
    // A run asks several times (its road, its locks, what it extracts): a name
    // that has to be looked up is looked up once a minute at most.
    struct TAnswer {
        bool here;
        qint64 at;
    };
    static std::mutex lock;
    static QHash<QString, TAnswer> answers;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    {
        const std::lock_guard<std::mutex> guard(lock);
        const auto known = answers.constFind(target.serverName);
        if (known != answers.cend() && now - known->at < 60000)
            return known->here;
    }
    const bool here = ServerIsThisMachine(target, ThisMachineNames());
    const std::lock_guard<std::mutex> guard(lock);
    answers.insert(target.serverName, {here, now});
    return here;
}
