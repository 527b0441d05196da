#include "core/Version.h"

QString FormatFileVersion(quint32 versionMS, quint32 versionLS)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(versionMS >> 16)
        .arg(versionMS & 0xFFFF)
        .arg(versionLS >> 16)
        .arg(versionLS & 0xFFFF);
}
