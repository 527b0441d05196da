#include "RestoreSafety.h"

#include "Database.h"
#include "DatabaseCheck.h"
#include "Errors.h"

namespace {

// A fixed suffix that no database of the administrative application carries.
const QString ScratchSuffix = QStringLiteral(".ZURTESTE");

void Open(TIBDatabase& database, const TDatabaseLogin& login, const QString& path)
{
    database.SetLoginPrompt(false);
    database.Params().Clear();
    database.Params().Add(QStringLiteral("User_Name=") + login.user);
    database.Params().Add(QStringLiteral("Password=") + login.password);
    database.SetDatabaseName(login.serverText + path);
    database.SetConnected(true);
}

} // namespace

QString ScratchDatabasePath(const QString& destination)
{
    return destination + ScratchSuffix;
}

bool DatabaseMayExist(const TDatabaseLogin& login, const QString& path)
{
    TIBDatabase database;
    try {
        Open(database, login, path);
    } catch (const EIBInterBaseError&) {
        return !StatusSaysNoSuchFile();
    } catch (const Exception&) {
        // Whatever kept the attachment from being tried says nothing of the
        // file: it may be there.
        return true;
    }
    database.SetConnected(false);
    return true;
}

bool DatabaseIsOnline(const TDatabaseLogin& login, const QString& path)
{
    TIBDatabase database;
    Open(database, login, path);
    const int mode = ReadShutdownMode(database);
    database.SetConnected(false);
    return mode == 0;
}

bool DropDatabaseAt(const TDatabaseLogin& login, const QString& path)
{
    TIBDatabase database;
    try {
        Open(database, login, path);
    } catch (const EIBInterBaseError&) {
        if (StatusSaysNoSuchFile())
            return false;
        throw;
    }
    DropDatabase(database);
    return true;
}
