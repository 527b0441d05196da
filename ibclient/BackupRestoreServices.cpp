#include "ibclient/BackupRestoreServices.h"

#include "ibclient/Errors.h"
#include "ibclient/StringList.h"

#include <ibase.h>

int BackupOptionBits(const TBackupOptions& options)
{
    int bits = 0;
    for (TBackupOption option : options)
        bits |= 1 << static_cast<int>(option);
    return bits;
}

int RestoreOptionBits(const TRestoreOptions& options)
{
    int bits = 0;
    for (TRestoreOption option : options)
        bits |= 1 << (static_cast<int>(option) + 8);
    return bits;
}

void AppendFileLines(QByteArray& block, const QStringList& lines, unsigned char nameCode, unsigned char sizeCode)
{
    for (const QString& line : lines) {
        if (IsBlank(line))
            continue;
        const int equals = line.indexOf(u'=');
        if (equals < 0) {
            AppendStringItem(block, line, nameCode);
            continue;
        }
        const int size = StrToInt(line.mid(equals + 1));
        AppendStringItem(block, line.left(equals), nameCode);
        AppendIntegerItem(block, size, sizeCode);
    }
}

bool FileLineHasSize(const QString& line)
{
    return !IsBlank(line) && line.contains(u'=');
}

QByteArray BuildBackupStartBlock(const QString& databaseName, const TBackupOptions& options, bool verbose,
    int blockingFactor, const QStringList& backupFiles)
{
    if (databaseName.isEmpty())
        RaiseClientError(ibxeStartParamsError);
    QByteArray block(1, static_cast<char>(isc_action_svc_backup));
    AppendStringItem(block, databaseName, isc_spb_dbname);
    AppendIntegerItem(block, BackupOptionBits(options), isc_spb_options);
    if (verbose)
        block.append(static_cast<char>(isc_spb_verbose));
    if (blockingFactor > 0)
        AppendIntegerItem(block, blockingFactor, isc_spb_bkp_factor);
    AppendFileLines(block, backupFiles, isc_spb_bkp_file, isc_spb_bkp_length);
    return block;
}

QByteArray BuildRestoreStartBlock(const TRestoreOptions& options, bool verbose, int pageSize, int pageBuffers,
    const QStringList& backupFiles, const QStringList& databaseFiles)
{
    QByteArray block(1, static_cast<char>(isc_action_svc_restore));
    AppendIntegerItem(block, RestoreOptionBits(options), isc_spb_options);
    if (verbose)
        block.append(static_cast<char>(isc_spb_verbose));
    if (pageSize > 0)
        AppendIntegerItem(block, pageSize, isc_spb_res_page_size);
    if (pageBuffers > 0)
        AppendIntegerItem(block, pageBuffers, isc_spb_res_buffers);
    AppendFileLines(block, backupFiles, isc_spb_bkp_file, isc_spb_bkp_length);
    AppendFileLines(block, databaseFiles, isc_spb_dbname, isc_spb_res_length);
    return block;
}

void TIBBackupService::BuildStartRequest()
{
    if (FDatabaseName.isEmpty())
        RaiseClientError(ibxeStartParamsError);
    BeginAction(isc_action_svc_backup);
    StartParams() = BuildBackupStartBlock(FDatabaseName, FOptions, Verbose(), FBlockingFactor, FBackupFile.Lines());
}

void TIBRestoreService::BuildStartRequest()
{
    BeginAction(isc_action_svc_restore);
    StartParams() = BuildRestoreStartBlock(
        FOptions, Verbose(), FPageSize, FPageBuffers, FBackupFile.Lines(), FDatabaseName.Lines());
}
