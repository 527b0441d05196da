#include "runs/RunServices.h"

#include "ibclient/BackupRestoreServices.h"
#include "ibclient/StringList.h"

#include <atomic>

namespace {

std::atomic<bool> Traced{false};

TTraceFlags WithTracing(TTraceFlags flags)
{
    if (Traced)
        flags.insert(tfService);
    return flags;
}

} // namespace

void DesignRestoreService(TIBRestoreService& service)
{
    service.SetLoginPrompt(false);
    service.SetVerbose(true);
    service.SetPageBuffers(0);
    service.SetOptions({TRestoreOption::Replace, TRestoreOption::CreateNewDB, TRestoreOption::UseAllSpace});
    service.SetTraceFlags(WithTracing({tfQPrepare, tfTransact}));
}

void SetUpBackup(TIBBackupService& service, const TDatabaseLogin& login, const QString& database, const QString& file)
{
    if (login.target.tcp) {
        service.SetServerName(login.target.serverName);
        service.SetProtocol(TCP);
    } else {
        service.SetProtocol(Local);
    }
    service.Params().Clear();
    service.Params().SetValue(QStringLiteral("user_name"), login.user);
    service.Params().SetValue(QStringLiteral("password"), login.password);
    service.SetLoginPrompt(false);
    service.SetOptions({});
    service.BackupFile().Clear();
    service.BackupFile().Add(file);
    service.SetDatabaseName(database);
    service.SetVerbose(true);
    service.SetTraceFlags(WithTracing({}));
}

void TraceRunServices(bool on)
{
    Traced = on;
}
