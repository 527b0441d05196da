#include "ibclient/DatabaseCheck.h"

#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"
#include "ibclient/ReadOnlyStatement.h"

#include <ibase.h>

#include <QtGlobal>

#include <cstring>
#include <vector>

namespace {

const char ShutdownModeQuery[] = "SELECT CAST(MON$SHUTDOWN_MODE AS INTEGER) FROM MON$DATABASE";
const char PageSizeQuery[] = "SELECT CAST(MON$PAGE_SIZE AS INTEGER) FROM MON$DATABASE";
// The attachments of people and programs (not the server's own workers)
// other than the one asking.
const char OtherAttachmentsQuery[] = "SELECT CAST(COUNT(*) AS INTEGER) FROM MON$ATTACHMENTS"
                                     " WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0";

// The one integer that query gives on the attached database; -1 when it
// gives no row or no value.
int ReadInteger(TIBDatabase& database, const char* query)
{
    database.CheckActive();
    IGDSLibrary& library = ClientLibrary();
    gds::Handle handle = database.Handle();
    const unsigned short dialect = static_cast<unsigned short>(database.SQLDialect());
    TStatementCleanup held(library);

    TTransactionEntry entry{&handle, static_cast<long>(sizeof ReadOnlyTPB), ReadOnlyTPB};
    database.Call(library.isc_start_multiple(CurrentStatusVector(), &held.Transaction, 1, &entry), true);
    database.Call(library.isc_dsql_alloc_statement2(CurrentStatusVector(), &handle, &held.Statement), true);

    // Room for one output column.
    std::vector<char> area(XSQLDA_LENGTH(1), 0);
    XSQLDA* output = reinterpret_cast<XSQLDA*>(area.data());
    output->version = SQLDA_VERSION1;
    output->sqln = 1;
    database.Call(
        library.isc_dsql_prepare(CurrentStatusVector(), &held.Transaction, &held.Statement, 0, query, dialect, output),
        true);
    ISC_LONG mode = 0;
    short nullFlag = 0;
    XSQLVAR& column = output->sqlvar[0];
    column.sqltype = SQL_LONG | 1;
    column.sqllen = sizeof mode;
    column.sqlscale = 0;
    column.sqldata = reinterpret_cast<char*>(&mode);
    column.sqlind = &nullFlag;

    database.Call(
        library.isc_dsql_execute(CurrentStatusVector(), &held.Transaction, &held.Statement, dialect, nullptr), true);
    const gds::Status fetched = library.isc_dsql_fetch(CurrentStatusVector(), &held.Statement, dialect, output);
    if (fetched != 100) // 100: no row
        database.Call(fetched, true);
    // No row or no value: unknown.
    const int result = fetched == 0 && nullFlag == 0 ? static_cast<int>(mode) : -1;

    database.Call(library.isc_dsql_free_statement(CurrentStatusVector(), &held.Statement, DSQL_drop), true);
    held.Statement = 0;
    database.Call(library.isc_commit_transaction(CurrentStatusVector(), &held.Transaction), true);
    held.Transaction = 0;
    return result;
}

} // namespace

int ReadShutdownMode(TIBDatabase& database)
{
    // -1 (no value) never passes for online.
    return ReadInteger(database, ShutdownModeQuery);
}

int ReadPageSize(TIBDatabase& database)
{
    return ReadInteger(database, PageSizeQuery);
}

int CountOtherAttachments(TIBDatabase& database)
{
    return ReadInteger(database, OtherAttachmentsQuery);
}

void DropDatabase(TIBDatabase& database)
{
    database.DropDatabase();
}
