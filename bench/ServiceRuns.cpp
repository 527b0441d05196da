#include "ServiceRuns.h"

#include "BenchSupport.h"
#include "core/BackupFile.h"
#include "ibclient/BackupRestoreServices.h"

namespace {

int LayerBufferSize = 0;

void Prepare(TIBCustomService& service, const TServerAccess& access)
{
    if (LayerBufferSize > 0)
        service.SetBufferSize(LayerBufferSize);
    QString serverName = access.serverText;
    serverName.remove(serverName.indexOf(u':'), 1);
    service.SetServerName(serverName);
    service.SetProtocol(TCP);
    service.SetLoginPrompt(false);
    service.SetParams({QStringLiteral("user_name=") + access.user, QStringLiteral("password=") + access.password});
}

TTimedRun ReadToEnd(TIBControlAndQueryService& service)
{
    TTimedRun run;
    const double start = Now();
    const double processor = ProcessorTime();
    service.Attach();
    service.ServiceStart();
    while (!service.Eof()) {
        if (service.GetNextLine().startsWith(QLatin1String("gbak:")))
            ++run.lines;
    }
    service.Detach();
    run.seconds = Now() - start;
    run.processorSeconds = ProcessorTime() - processor;
    return run;
}

} // namespace

void SetLayerBufferSize(int size)
{
    LayerBufferSize = size;
}

TTimedRun ServiceBackup(const TServerAccess& access, const QString& database, const QString& backupFile)
{
    TIBBackupService service;
    Prepare(service, access);
    service.SetDatabaseName(database);
    service.BackupFile().Add(backupFile);
    service.SetVerbose(true);
    return ReadToEnd(service);
}

TTimedRun ServiceRestore(const TServerAccess& access, const QString& backupFile, const QString& database)
{
    TIBRestoreService service;
    Prepare(service, access);
    service.BackupFile().Add(backupFile);
    service.DatabaseName().Add(database);
    service.SetOptions({TRestoreOption::Replace, TRestoreOption::CreateNewDB, TRestoreOption::UseAllSpace});
    service.SetVerbose(true);
    service.SetPageSize(RestorePageSize(BackupPageSize(backupFile)));
    return ReadToEnd(service);
}
