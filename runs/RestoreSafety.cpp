#include "runs/RestoreSafety.h"

#include "ibclient/Database.h"
#include "ibclient/DatabaseCheck.h"
#include "ibclient/Errors.h"
#include "runs/JobPlan.h"

#include <ibase.h>

namespace {

// The server's words when a restore could not drop a database that others use.
const QString MightBeInUse = QStringLiteral("might be in use");

// Whether the failed attachment says another engine holds the file (an
// engine in this process while a server has the database open).
bool SaysHeldByAnotherEngine(const EIBError& failure)
{
    return failure.HasCode({isc_already_opened}) || failure.Message().contains(MightBeInUse);
}

} // namespace

void OpenDatabase(TIBDatabase& database, const TDatabaseLogin& login, const QString& path)
{
    database.SetLoginPrompt(false);
    database.Params().Clear();
    database.Params().Add(QStringLiteral("User_Name=") + login.user);
    database.Params().Add(QStringLiteral("Password=") + login.password);
    database.SetDatabaseName(DatabaseConnectionString(login.target, path));
    database.SetConnected(true);
}

TDatabaseProbe ProbeDatabase(const TDatabaseLogin& login, const QString& path, TJobPlan* plan)
{
    TIBDatabase database;
    try {
        OpenDatabase(database, login, path);
    } catch (const EIBInterBaseError& failure) {
        if (failure.SaysNoSuchFile())
            return {TDatabaseState::Absent, QString()};
        if (SaysHeldByAnotherEngine(failure))
            return {TDatabaseState::InUse, failure.Message()};
        return {TDatabaseState::Unknown, failure.Message()};
    } catch (const Exception& failure) {
        // Whatever kept the attachment from being tried says nothing of the
        // file: it may be there.
        return {TDatabaseState::Unknown, failure.Message()};
    }
    TDatabaseProbe probe{TDatabaseState::Present, QString()};
    try {
        const int others = CountOtherAttachments(database);
        if (others != 0)
            probe = {TDatabaseState::InUse, QStringLiteral("%1 outra(s) conexão(ões) aberta(s)").arg(others)};
    } catch (const Exception& failure) {
        probe = {TDatabaseState::Unknown, failure.Message()};
    }
    if (plan && probe.state == TDatabaseState::Present)
        *plan = ReadJobPlan(database);
    database.SetConnected(false);
    return probe;
}

bool DatabaseIsOnline(const TDatabaseLogin& login, const QString& path)
{
    TIBDatabase database;
    OpenDatabase(database, login, path);
    const int mode = ReadShutdownMode(database);
    database.SetConnected(false);
    return mode == 0;
}

bool DropDatabaseAt(const TDatabaseLogin& login, const QString& path)
{
    TIBDatabase database;
    try {
        OpenDatabase(database, login, path);
    } catch (const EIBInterBaseError& failure) {
        if (failure.SaysNoSuchFile())
            return false;
        throw;
    }
    DropDatabase(database);
    return true;
}

bool FailureMayPass(const std::exception& failure)
{
    return !FailureHasCode(failure,
        {isc_login, isc_network_error, isc_net_connect_err, isc_net_read_err, isc_net_write_err, isc_conn_lost});
}

bool TProvenBackup::Covers(const QString& backupFile, const TServiceTarget& to, const QString& destination) const
{
    return !file.isEmpty() && backupFile == file && to == target && destination == database
        && FileStamp(backupFile) == stamp;
}
