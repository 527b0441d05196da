#include "BackupNaming.h"

#include <algorithm>

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
    const auto dot = lastElement.indexOf(u'.');
    return dot < 0 ? QString() : lastElement.left(dot);
}

QString BackupFileName(const QString& executableDirectory, const QString& databasePath, const QDate& date)
{
    const QString stamp = QString::asprintf("%04d%02d%02d", date.year(), date.month(), date.day());
    return executableDirectory + BackupBaseName(databasePath) + stamp + QLatin1String(".BKP");
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
