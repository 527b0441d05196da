#include "core/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QString ExecutablePath()
{
    const QString path = PlatformExecutablePath();
    if (!path.isEmpty())
        return path;
    // Without a platform query the application object knows the path.
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QString();
}

QString ExecutableDirectory()
{
    const QString path = ExecutablePath();
    if (path.isEmpty())
        return QString();
    QString directory = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    if (!directory.endsWith(PathSeparator()))
        directory += PathSeparator();
    return directory;
}

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isFile();
}
