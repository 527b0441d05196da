#pragma once
// The executable's file version, stamped into the build from the project's
// version, and its text.

#include <QString>
#include <QtGlobal>

// The fixed file version: four 16-bit numbers, the first two in the most
// significant 32-bit word, the last two in the least significant one.
struct TFileVersion {
    quint32 versionMS;
    quint32 versionLS;
};

// The file version this build carries.
TFileVersion StampedFileVersion();

// The four 16-bit numbers in decimal, without leading zeros, joined by ".".
QString FormatFileVersion(quint32 versionMS, quint32 versionLS);

// The executable's file version as text, such as "1.0.0.11".
QString Versao_Executavel();
