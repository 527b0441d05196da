// Shared libraries on Unix: dlopen and dlsym.
#include "ibclient/SharedLibrary.h"

#include <cerrno>
#include <dlfcn.h>

bool SharedLibrary::Open(const char* fileName)
{
    Close();
    FOtherBitness.reset();
    FHandle = dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    return FHandle != nullptr;
}

void SharedLibrary::Close()
{
    if (!FHandle)
        return;
    dlclose(FHandle);
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
    dlerror();
    errno = 0;
    void* entry = dlsym(FHandle, name);
    if (!entry) {
        // dlsym sets no error code; its text says what was not found.
        FLastErrorCode = errno;
        const char* text = dlerror();
        FLastErrorText = text ? QString::fromLocal8Bit(text) : QString();
    }
    return entry;
}
