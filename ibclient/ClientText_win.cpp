// Text to and from the client library on Windows: the system's ANSI code
// page, one byte per character; a character the code page lacks becomes the
// code page's default character.
#include "ibclient/Errors.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

void PrepareClientTextLocale()
{
    // The ANSI code page is the system's: nothing to choose.
}

QByteArray ToClientText(const QString& text)
{
    if (text.isEmpty())
        return QByteArray();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    QByteArray bytes(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

QString FromClientText(const char* text)
{
    if (!text || !*text)
        return QString();
    const std::size_t bytes = std::strlen(text);
    const int length = static_cast<int>(std::min<std::size_t>(bytes, std::numeric_limits<int>::max()));
    const int size = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<std::size_t>(size));
    MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), size);
    return QString::fromWCharArray(wide.data(), size);
}
