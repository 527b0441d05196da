#include "core/FileMove.h"

#include <QThread>

#include <windows.h>

namespace {

// A server that has just closed a database may hold its handle a moment longer.
constexpr int MoveAttempts = 40;
constexpr int MovePauseMs = 250;

// Runs the call until it succeeds or fails otherwise than by a handle that
// another process holds; the reason of the last failure.
template <typename F> QString Retrying(F call)
{
    DWORD error = 0;
    for (int attempt = 1; attempt <= MoveAttempts; ++attempt) {
        if (call())
            return QString();
        error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION)
            break;
        QThread::msleep(MovePauseMs);
    }
    return qt_error_string(static_cast<int>(error));
}

} // namespace

QString MoveFileNoReplace(const QString& from, const QString& to)
{
    return Retrying([&] {
        return MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                   MOVEFILE_WRITE_THROUGH)
            != 0;
    });
}

QString LinkFileNoReplace(const QString& existing, const QString& to)
{
    if (CreateHardLinkW(reinterpret_cast<LPCWSTR>(to.utf16()), reinterpret_cast<LPCWSTR>(existing.utf16()), nullptr))
        return QString();
    return qt_error_string(static_cast<int>(GetLastError()));
}

QString ReplaceFileRetrying(const QString& from, const QString& to)
{
    return Retrying([&] {
        return MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
            != 0;
    });
}

QString RemoveFileRetrying(const QString& path)
{
    return Retrying([&] { return DeleteFileW(reinterpret_cast<LPCWSTR>(path.utf16())) != 0; });
}
