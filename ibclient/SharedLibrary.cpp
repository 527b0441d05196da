#include "SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <dlfcn.h>
#endif

bool SharedLibrary::Open(const char* fileName)
{
    Close();
#ifdef _WIN32
    FHandle = reinterpret_cast<void*>(LoadLibraryA(fileName));
#else
    FHandle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
#endif
    return FHandle != nullptr;
}

void SharedLibrary::Close()
{
    if (!FHandle)
        return;
#ifdef _WIN32
    FreeLibrary(reinterpret_cast<HMODULE>(FHandle));
#else
    dlclose(FHandle);
#endif
    FHandle = nullptr;
}

void* SharedLibrary::Symbol(const char* name)
{
    // Without a handle a lookup would search the whole process.
    if (!FHandle) {
        FLastErrorCode = 0;
        FLastErrorText = QStringLiteral("no library loaded");
        return nullptr;
    }
#ifdef _WIN32
    void* entry = reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(FHandle), name));
    if (!entry) {
        FLastErrorCode = static_cast<int>(GetLastError());
        FLastErrorText.clear();
        char* text = nullptr;
        if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                nullptr, static_cast<DWORD>(FLastErrorCode), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr)) {
            FLastErrorText = QString::fromLocal8Bit(text).trimmed();
            LocalFree(text);
        }
    }
#else
    dlerror();
    errno = 0;
    void* entry = dlsym(FHandle, name);
    if (!entry) {
        // dlsym sets no error code; its text says what was not found.
        FLastErrorCode = errno;
        const char* text = dlerror();
        FLastErrorText = text ? QString::fromLocal8Bit(text) : QString();
    }
#endif
    return entry;
}
