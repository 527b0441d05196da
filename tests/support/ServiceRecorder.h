#pragma once
// What the server receives from the roads' services: each start request as
// the monitor hook is told of it, with the service's target, login lines and
// the block itself, so that a test can compare what two doors send.

#include "ibclient/BackupRestoreServices.h"
#include "ibclient/TraceHook.h"
#include "runs/RunServices.h"

#include <QByteArray>
#include <QStringList>

#include <memory>
#include <vector>

struct TRecordedStart {
    bool restore = false;
    QString serverName;
    TProtocol protocol = Local;
    QStringList params;
    QByteArray block;
    bool verbose = false;
    // A restore's lists, page size and options; a backup's database and file.
    QStringList databases;
    QStringList backups;
    int pageSize = 0;
    TRestoreOptions restoreOptions;
    TBackupOptions backupOptions;
};

class TServiceRecorder : public IIBSQLMonitorHook {
public:
    int starts = 0;
    std::vector<TRecordedStart> recorded;
    void ServiceStart(const void* service) override
    {
        ++starts;
        const auto* started = static_cast<const TIBControlService*>(service);
        TRecordedStart start;
        start.serverName = started->ServerName();
        start.protocol = started->Protocol();
        start.params = started->Params().Lines();
        start.block = started->StartBlock();
        if (const auto* restore = dynamic_cast<const TIBRestoreService*>(started)) {
            start.restore = true;
            start.verbose = restore->Verbose();
            start.databases = restore->DatabaseName().Lines();
            start.backups = restore->BackupFile().Lines();
            start.pageSize = restore->PageSize();
            start.restoreOptions = restore->Options();
        } else if (const auto* backup = dynamic_cast<const TIBBackupService*>(started)) {
            start.verbose = backup->Verbose();
            start.databases = {backup->DatabaseName()};
            start.backups = backup->BackupFile().Lines();
            start.backupOptions = backup->Options();
        }
        recorded.push_back(start);
    }
    // The last restore recorded (an empty one when there is none).
    TRecordedStart LastRestore() const
    {
        for (auto it = recorded.rbegin(); it != recorded.rend(); ++it) {
            if (it->restore)
                return *it;
        }
        return {};
    }
};

// Records from now on every start request of the roads' services in this
// process (the monitor hook is process-wide).
inline TServiceRecorder& RecordServiceStarts()
{
    auto recorder = std::make_unique<TServiceRecorder>();
    TServiceRecorder& result = *recorder;
    ReplaceMonitorHook(std::move(recorder));
    TraceRunServices(true);
    return result;
}
