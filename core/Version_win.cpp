// The executable's file version on Windows: the fixed file version of the
// running executable's version block. An executable without one (the test
// programs) reports the version stamped into the build.
#include "core/Version.h"

#include <windows.h>

#include <vector>

namespace {

bool ReadVersionBlock(TFileVersion& version)
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return false;
        if (length < path.size())
            break;
        path.resize(path.size() * 2);
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.data(), &ignored);
    if (size == 0)
        return false;
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(path.data(), 0, size, block.data()))
        return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed
        || fixedSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    version = {fixed->dwFileVersionMS, fixed->dwFileVersionLS};
    return true;
}

} // namespace

QString Versao_Executavel()
{
    TFileVersion version = StampedFileVersion();
    ReadVersionBlock(version);
    return FormatFileVersion(version.versionMS, version.versionLS);
}
