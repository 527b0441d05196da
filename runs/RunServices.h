#pragma once
// The service objects of a run. The roads make, set up, attach and end every
// service they use: the doors (the window, the command line) hand over the
// run's values alone, so that both send the server the same requests.

#include "runs/RestoreSafety.h"

#include <QString>

class TIBBackupService;
class TIBRestoreService;

// A restore service as every road uses it: the options Replace, CreateNewDB
// and UseAllSpace, the verbose output, no page buffers.
void DesignRestoreService(TIBRestoreService& service);

// The backup service's settings for one backup of database into file on the
// server that login names, with the verbose output and no options.
void SetUpBackup(TIBBackupService& service, const TDatabaseLogin& login, const QString& database, const QString& file);

// Whether the roads' services tell the monitor hook of each start request
// (an external monitor, or a test that records what the server receives).
void TraceRunServices(bool on);
