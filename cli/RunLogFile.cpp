#include "cli/RunLogFile.h"

#include "cli/Console.h"

#include "core/BackupNaming.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

QString DefaultLogName(const QString& database, const QDateTime& started)
{
    return QStringLiteral("ZUR-%1-%2.log")
        .arg(BackupBaseName(database), started.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QDate DefaultLogDay(const QString& name, const QString& database)
{
    const QRegularExpression pattern(QStringLiteral("^ZUR-%1-([0-9]{8})-[0-9]{6}(-[0-9]+)?\\.log$")
                                         .arg(QRegularExpression::escape(BackupBaseName(database))),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return {};
    return QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"));
}

TRunLogFile::TRunLogFile(const QString& path, const QString& folder, const QString& database, const QDateTime& started)
{
    if (!path.isEmpty()) {
        FFile.setFileName(path);
        if (!FFile.open(QIODevice::WriteOnly | QIODevice::Append))
            FFailure = FFile.errorString();
    } else {
        const QString name = DefaultLogName(database, started);
        QString logs;
        if (QFileInfo(folder).isDir() && QDir(folder).mkpath(QStringLiteral("logs")))
            logs = QDir(folder).filePath(QStringLiteral("logs"));
        if ((logs.isEmpty() || !OpenNew(QDir(logs).filePath(name))) && !OpenNew(QDir::temp().filePath(name)))
            FFailure = FFile.errorString();
    }
    if (!FFile.isOpen())
        return;
    if (FFile.size() == 0)
        FFile.write(LogFileStart());
}

bool TRunLogFile::OpenNew(const QString& path)
{
    // Two runs in one second get two files.
    for (int n = 1; n < 100; ++n) {
        QString candidate = path;
        if (n > 1)
            candidate.insert(path.size() - 4, QStringLiteral("-%1").arg(n));
        FFile.setFileName(candidate);
        if (FFile.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!QFileInfo::exists(candidate))
            return false;
    }
    return false;
}

const QByteArray& TRunLogFile::Stamp()
{
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != FStampSecond) {
        FStampSecond = second;
        FStamp = QDateTime::fromSecsSinceEpoch(second).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")).toUtf8();
    }
    return FStamp;
}

void TRunLogFile::Line(const QString& line)
{
    if (!FFile.isOpen())
        return;
    QString text = line;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (text.endsWith(u'\n'))
        text.chop(1);
    const QByteArray& stamp = Stamp();
    for (const QString& part : text.split(u'\n'))
        FFile.write(stamp + part.toUtf8() + LogLineEnd());
}

void TRunLogFile::Flush()
{
    if (FFile.isOpen())
        FFile.flush();
}
