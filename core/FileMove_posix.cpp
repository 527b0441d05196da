#include "core/FileMove.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString MoveFileNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return QString();
    if (errno != EINVAL && errno != ENOSYS)
        return qt_error_string(errno);
    // A file system without the flag: a hard link cannot replace either.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return QString();
    }
    if (errno == EEXIST)
        return qt_error_string(EEXIST);
    struct stat existing { };
    if (::stat(target.constData(), &existing) == 0)
        return qt_error_string(EEXIST);
    if (std::rename(source.constData(), target.constData()) == 0)
        return QString();
    return qt_error_string(errno);
}

QString LinkFileNoReplace(const QString& existing, const QString& to)
{
    if (::link(QFile::encodeName(existing).constData(), QFile::encodeName(to).constData()) == 0)
        return QString();
    return qt_error_string(errno);
}

QString ReplaceFileRetrying(const QString& from, const QString& to)
{
    // rename() replaces in one step, and no handle keeps it from it here.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return QString();
    return qt_error_string(errno);
}

QString RemoveFileRetrying(const QString& path)
{
    // No process's handle keeps a file from going here.
    if (::unlink(QFile::encodeName(path).constData()) == 0)
        return QString();
    return qt_error_string(errno);
}
