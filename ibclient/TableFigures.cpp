#include "ibclient/TableFigures.h"

#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"
#include "ibclient/ReadOnlyStatement.h"

#include <ibase.h>

#include <algorithm>
#include <array>
#include <vector>

namespace {

const char FiguresQuery[]
    = "SELECT CAST(TRIM(R.RDB$RELATION_NAME) AS VARCHAR(252)),"
      " CAST((SELECT COUNT(*) FROM RDB$PAGES P"
      "   WHERE P.RDB$RELATION_ID = R.RDB$RELATION_ID AND P.RDB$PAGE_TYPE = 4) AS INTEGER),"
      " CAST(COALESCE((SELECT MIN(I.RDB$STATISTICS) FROM RDB$INDICES I"
      "   WHERE I.RDB$RELATION_NAME = R.RDB$RELATION_NAME AND I.RDB$UNIQUE_FLAG = 1"
      "   AND I.RDB$STATISTICS > 0), 0) AS DOUBLE PRECISION),"
      " CAST((SELECT COUNT(*) FROM RDB$INDICES I"
      "   WHERE I.RDB$RELATION_NAME = R.RDB$RELATION_NAME AND COALESCE(I.RDB$INDEX_INACTIVE, 0) = 0) AS INTEGER),"
      " CAST(COALESCE((SELECT SUM(F.RDB$FIELD_LENGTH + IIF(F.RDB$FIELD_TYPE = 37, 2, 0))"
      "   FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
      "   WHERE RF.RDB$RELATION_NAME = R.RDB$RELATION_NAME AND F.RDB$COMPUTED_BLR IS NULL), 0) AS INTEGER)"
      " FROM RDB$RELATIONS R"
      " WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0 AND R.RDB$VIEW_BLR IS NULL"
      " AND COALESCE(R.RDB$RELATION_TYPE, 0) = 0";

constexpr int ColumnCount = 5;
constexpr int NameBytes = 252;

// The output row's storage, bound to the statement's columns.
struct TRow {
    struct {
        short length;
        char text[NameBytes + 1];
    } name{};
    ISC_LONG pointerPages = 0;
    double selectivity = 0;
    ISC_LONG indexes = 0;
    ISC_LONG recordLength = 0;
    std::array<short, ColumnCount> nullFlags{};
};

void Bind(XSQLVAR& column, short type, short length, void* data, short* nullFlag)
{
    column.sqltype = static_cast<short>(type | 1);
    column.sqllen = length;
    column.sqlscale = 0;
    column.sqldata = static_cast<char*>(data);
    column.sqlind = nullFlag;
}

} // namespace

std::vector<TTableFigures> ReadTableFigures(TIBDatabase& database)
{
    database.CheckActive();
    IGDSLibrary& library = ClientLibrary();
    gds::Handle handle = database.Handle();
    const unsigned short dialect = static_cast<unsigned short>(database.SQLDialect());
    TStatementCleanup held(library);

    TTransactionEntry entry{&handle, static_cast<long>(sizeof ReadOnlyTPB), ReadOnlyTPB};
    database.Call(library.isc_start_multiple(CurrentStatusVector(), &held.Transaction, 1, &entry), true);
    database.Call(library.isc_dsql_alloc_statement2(CurrentStatusVector(), &handle, &held.Statement), true);

    std::vector<char> area(XSQLDA_LENGTH(ColumnCount), 0);
    XSQLDA* output = reinterpret_cast<XSQLDA*>(area.data());
    output->version = SQLDA_VERSION1;
    output->sqln = ColumnCount;
    database.Call(library.isc_dsql_prepare(
                      CurrentStatusVector(), &held.Transaction, &held.Statement, 0, FiguresQuery, dialect, output),
        true);
    TRow row;
    Bind(output->sqlvar[0], SQL_VARYING, NameBytes, &row.name, &row.nullFlags[0]);
    Bind(output->sqlvar[1], SQL_LONG, sizeof row.pointerPages, &row.pointerPages, &row.nullFlags[1]);
    Bind(output->sqlvar[2], SQL_DOUBLE, sizeof row.selectivity, &row.selectivity, &row.nullFlags[2]);
    Bind(output->sqlvar[3], SQL_LONG, sizeof row.indexes, &row.indexes, &row.nullFlags[3]);
    Bind(output->sqlvar[4], SQL_LONG, sizeof row.recordLength, &row.recordLength, &row.nullFlags[4]);

    database.Call(
        library.isc_dsql_execute(CurrentStatusVector(), &held.Transaction, &held.Statement, dialect, nullptr), true);
    std::vector<TTableFigures> tables;
    for (;;) {
        row.nullFlags.fill(0);
        const gds::Status fetched = library.isc_dsql_fetch(CurrentStatusVector(), &held.Statement, dialect, output);
        if (fetched == 100) // no more rows
            break;
        database.Call(fetched, true);
        TTableFigures table;
        const int length = std::max(0, std::min<int>(row.name.length, NameBytes));
        row.name.text[length] = '\0';
        table.name = FromClientText(row.name.text);
        table.pointerPages = row.nullFlags[1] == 0 ? row.pointerPages : 0;
        table.uniqueSelectivity = row.nullFlags[2] == 0 ? row.selectivity : 0;
        table.indexes = row.nullFlags[3] == 0 ? row.indexes : 0;
        table.recordLength = row.nullFlags[4] == 0 ? row.recordLength : 0;
        tables.push_back(table);
    }

    database.Call(library.isc_dsql_free_statement(CurrentStatusVector(), &held.Statement, DSQL_drop), true);
    held.Statement = 0;
    database.Call(library.isc_commit_transaction(CurrentStatusVector(), &held.Transaction), true);
    held.Transaction = 0;
    return tables;
}
