// Giving a backup file its final name on Windows.
#include "core/BackupFile.h"

#include <windows.h>
// windows.h names a function of its own ReplaceFile (a macro for ReplaceFileW).
#undef ReplaceFile

QString ReplaceFile(const QString& from, const QString& to)
{
    // A rename within one folder: the old file is replaced in one step.
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return QString();
    return qt_error_string(static_cast<int>(GetLastError()));
}
