// Shared libraries on Windows: LoadLibrary and GetProcAddress, with the
// system's error code and its text for a failed lookup.
#include "ibclient/SharedLibrary.h"

#include <windows.h>

bool SharedLibrary::Open(const char* fileName)
{
    Close();
    FHandle = reinterpret_cast<void*>(LoadLibraryA(fileName));
    return FHandle != nullptr;
}

void SharedLibrary::Close()
{
    if (!FHandle)
        return;
    FreeLibrary(reinterpret_cast<HMODULE>(FHandle));
    FHandle = nullptr;
}

QString SystemErrorText(int code)
{
    wchar_t* text = nullptr;
    const DWORD length
        = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    if (length == 0)
        return QString();
    const QString result = QString::fromWCharArray(text, static_cast<int>(length)).trimmed();
    LocalFree(text);
    return result;
}

void* SharedLibrary::Symbol(const char* name)
{
    // Without a handle a lookup would search the whole process.
    if (!FHandle) {
        FLastErrorCode = 0;
        FLastErrorText = QStringLiteral("no library loaded");
        return nullptr;
    }
    void* entry = reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(FHandle), name));
    if (!entry) {
        FLastErrorCode = static_cast<int>(GetLastError());
        FLastErrorText = SystemErrorText(FLastErrorCode);
    }
    return entry;
}
