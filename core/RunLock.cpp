#include "core/RunLock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>

namespace {

const QString LockSuffix = QStringLiteral(".TRAVA");

} // namespace

QString LockPathBeside(const QString& path, const QString& key)
{
    if (!path.isEmpty()) {
        const QFileInfo folder(QFileInfo(path).absolutePath());
        if (folder.isDir() && folder.isWritable())
            return path + LockSuffix;
    }
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir::tempPath() + QStringLiteral("/zur-") + QString::fromLatin1(hash) + LockSuffix;
}

QString NewRunMark()
{
    // Runs of one process differ by their count; processes of one machine by
    // their number; machines sharing a folder by the time and a random part.
    static std::atomic<unsigned> count{0};
    return QStringLiteral("%1-%2-%3-%4")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmsszzz")))
        .arg(QCoreApplication::applicationPid())
        .arg(++count)
        .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
}
