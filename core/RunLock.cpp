#include "core/RunLock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

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
    return QStringLiteral("%1-%2-%3")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmsszzz")))
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::system()->generate() & 0xFFFF, 4, 16, QLatin1Char('0'));
}
