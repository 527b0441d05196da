// The connection test and the backup and restore runs of the main window.

#include "BackupRestore.h"

void TfrmPrincipal::SpeedButton1Click()
{
}

void TfrmPrincipal::btnBackupClick()
{
}

void TfrmPrincipal::btnRestoreClick()
{
}
