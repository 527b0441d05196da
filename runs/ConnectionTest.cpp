#include "runs/ConnectionTest.h"

#include "core/AppPaths.h"
#include "core/BackupNaming.h"
#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "ibclient/StringList.h"
#include "runs/Leftovers.h"

TDatabaseLogin ConnectionLogin(const TConnectionRequest& request)
{
    return {BackupServiceTarget(request.server), request.user, request.password};
}

TConnectionOutcome TestConnection(const TConnectionRequest& request, TIBDatabase& connection, TRestoreSink& sink)
{
    TConnectionOutcome outcome;
    // A run killed between two renames leaves the path empty until the old
    // database goes back: put right before the file is looked for.
    outcome.putRight = PutRightBeside(sink, ConnectionLogin(request), request.database);
    // A local server gets the database file checked first.
    if (AsciiLower(request.server).contains(QLatin1String("localhost")) && !FileExists(request.database)) {
        outcome.result = TConnectionOutcome::DatabaseMissing;
        return outcome;
    }
    try {
        connection.SetConnected(false);
        connection.Params().Clear();
        connection.Params().Add(QStringLiteral("User_Name=") + request.user);
        connection.Params().Add(QStringLiteral("Password=") + request.password);
        connection.SetDatabaseName(request.server + request.database);
        connection.SetConnected(true);
    } catch (const Exception& failure) {
        outcome.failure = failure.Message();
        return outcome;
    }
    outcome.result = TConnectionOutcome::Connected;
    return outcome;
}
