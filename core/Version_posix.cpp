// The executable's file version on Unix, where executables carry no version
// block: the version stamped into the build.
#include "core/Version.h"

QString Versao_Executavel()
{
    const TFileVersion version = StampedFileVersion();
    return FormatFileVersion(version.versionMS, version.versionLS);
}
