#pragma once
// The client layer alone: the backup and restore service objects read to the
// end of their output, one GetNextLine per line, with no window. What this
// costs beyond gbak is the client layer's; what the window costs beyond this
// is the window's.

#include "GbakRuns.h"

#include <QString>

// The reply buffer of the layer's service objects (0: their own default), to
// measure what its size does.
void SetLayerBufferSize(int size);

TTimedRun ServiceBackup(const TServerAccess& access, const QString& database, const QString& backupFile);
TTimedRun ServiceRestore(const TServerAccess& access, const QString& backupFile, const QString& database);
