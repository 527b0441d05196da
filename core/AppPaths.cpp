#include "core/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>

#include <vector>
#endif

namespace {

QString ExecutablePath()
{
#if defined(Q_OS_WIN)
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            break;
        if (length < buffer.size())
            return QString::fromWCharArray(buffer.data(), static_cast<int>(length));
        buffer.resize(buffer.size() * 2);
    }
#elif defined(Q_OS_LINUX)
    const QString target = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (!target.isEmpty())
        return target;
#endif
    // Without a platform query the application object knows the path.
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QString();
}

} // namespace

QString PathSeparator()
{
#ifdef Q_OS_WIN
    return QStringLiteral("\\");
#else
    return QStringLiteral("/");
#endif
}

bool IsPathDelimiter(QChar c)
{
#ifdef Q_OS_WIN
    return c == u'\\' || c == u'/' || c == u':';
#else
    return c == u'/';
#endif
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
