// Giving a backup file its final name on POSIX systems.
#include "core/BackupFile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>

QString ReplaceFile(const QString& from, const QString& to)
{
    // A rename within one folder: the old file is replaced in one step.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return QString();
    return qt_error_string(errno);
}
