// Windows paths: the backslash, and the executable's path from the system.
#include "core/AppPaths.h"

#include <windows.h>

#include <vector>

QString PlatformExecutablePath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return QString();
        if (length < buffer.size())
            return QString::fromWCharArray(buffer.data(), static_cast<int>(length));
        buffer.resize(buffer.size() * 2);
    }
}

QString PathSeparator()
{
    return QStringLiteral("\\");
}

bool IsPathDelimiter(QChar c)
{
    return c == u'\\' || c == u'/' || c == u':';
}
