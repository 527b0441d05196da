#include "RestoreSafety.h"

#include "Database.h"
#include "DatabaseCheck.h"
#include "Errors.h"
#include "GdsTypes.h"

#include <ibase.h>

#include <QStringList>

#include <cerrno>

namespace {

// A fixed suffix that no database of the administrative application carries.
const QString ScratchSuffix = QStringLiteral(".ZURTESTE");

// Windows' codes for a missing file and a missing folder.
constexpr gds::Status WindowsFileNotFound = 2;
constexpr gds::Status WindowsPathNotFound = 3;

// The operating system's text for a missing file, as a server sends it when
// the number itself does not cross the network (Linux and Windows servers in
// English). A text in another language is not recognised, and the database is
// then taken as one that may exist: the safe side.
bool IsNoSuchFileText(QString text)
{
    text = text.trimmed();
    if (text.endsWith(u'.'))
        text.chop(1);
    static const QStringList texts = {
        QStringLiteral("No such file or directory"),
        QStringLiteral("The system cannot find the file specified"),
        QStringLiteral("The system cannot find the path specified"),
    };
    return texts.contains(text, Qt::CaseInsensitive);
}

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

bool StatusSaysNoSuchFile()
{
    // The server's "open" failure (isc_io_open_err) followed by the operating
    // system's reason: a number from an engine on this machine, a text from a
    // server across the network.
    const gds::Status* vector = CurrentStatusVector();
    bool openFailed = false;
    int i = 0;
    while (i + 1 < gds::StatusLength && vector[i] != isc_arg_end) {
        const gds::Status type = vector[i];
        const gds::Status value = vector[i + 1];
        if (type == isc_arg_gds) {
            openFailed = openFailed || value == isc_io_open_err;
        } else if (openFailed && type == isc_arg_unix) {
            return value == ENOENT;
        } else if (openFailed && type == isc_arg_win32) {
            return value == WindowsFileNotFound || value == WindowsPathNotFound;
        } else if (openFailed && (type == isc_arg_interpreted || type == isc_arg_string)) {
            return IsNoSuchFileText(FromClientText(reinterpret_cast<const char*>(value)));
        }
        // A counted string carries its length and its address.
        i += type == isc_arg_cstring ? 3 : 2;
    }
    return false;
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
