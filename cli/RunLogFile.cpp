#include "cli/RunLogFile.h"

#include "cli/Console.h"

#include "core/BackupNaming.h"

#include <QDir>
#include <QFileInfo>

QString DefaultLogName(const QString& database, const QDateTime& started)
{
    return QStringLiteral("ZUR-%1-%2.log")
        .arg(BackupBaseName(database), started.toString(QStringLiteral("yyyyMMdd-HHmmss")));
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

void TRunLogFile::Line(const QString& line)
{
    if (!FFile.isOpen())
        return;
    FFile.write(line.toUtf8() + LogLineEnd());
}

void TRunLogFile::Flush()
{
    if (FFile.isOpen())
        FFile.flush();
}
