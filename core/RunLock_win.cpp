#include "core/RunLock.h"

#include <windows.h>

struct TRunLock::TPlatform {
    HANDLE file = INVALID_HANDLE_VALUE;
};

TRunLock::TRunLock(const QString& path)
    : FPath(path)
    , FPlatform(std::make_unique<TPlatform>())
{
    // Shared for reading and writing, so that the next run opens it and
    // finds the lock; the file goes with the last handle.
    const HANDLE file = CreateFileW(reinterpret_cast<LPCWSTR>(path.utf16()), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        FHeldByAnother = error == ERROR_SHARING_VIOLATION;
        FReason = qt_error_string(static_cast<int>(error));
        return;
    }
    OVERLAPPED whole{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        FHeldByAnother = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
        FReason = qt_error_string(static_cast<int>(error));
        return;
    }
    FPlatform->file = file;
    FHeld = true;
}

TRunLock::~TRunLock()
{
    if (FPlatform->file != INVALID_HANDLE_VALUE)
        CloseHandle(FPlatform->file);
}
