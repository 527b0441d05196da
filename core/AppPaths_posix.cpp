// POSIX paths: the slash, and the executable's path from /proc where the
// system has it.
#include "core/AppPaths.h"

#include <QFile>

QString PlatformExecutablePath()
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

QString PathSeparator()
{
    return QStringLiteral("/");
}

bool IsPathDelimiter(QChar c)
{
    return c == u'/';
}
