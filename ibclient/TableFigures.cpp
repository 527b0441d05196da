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

// The tables that hold data as far as the metadata tells: more than one
// pointer page, or a unique index whose keys the server has counted. Each
// with the smallest selectivity of its unique indexes, its active indexes and
// the declared length of its stored columns. (One pass over RDB$PAGES; a
// subquery on it per table would read it once for each.)
const char SizedTablesQuery[]
    = "SELECT CAST(TRIM(R.RDB$RELATION_NAME) AS VARCHAR(252)), CAST(P.N AS DOUBLE PRECISION),"
      " CAST(COALESCE((SELECT MIN(I.RDB$STATISTICS) FROM RDB$INDICES I"
      "   WHERE I.RDB$RELATION_NAME = R.RDB$RELATION_NAME AND I.RDB$UNIQUE_FLAG = 1"
      "   AND I.RDB$STATISTICS > 0), 0) AS DOUBLE PRECISION),"
      " CAST((SELECT COUNT(*) FROM RDB$INDICES I"
      "   WHERE I.RDB$RELATION_NAME = R.RDB$RELATION_NAME AND COALESCE(I.RDB$INDEX_INACTIVE, 0) = 0)"
      "   AS DOUBLE PRECISION),"
      " CAST(COALESCE((SELECT SUM(F.RDB$FIELD_LENGTH + IIF(F.RDB$FIELD_TYPE = 37, 2, 0))"
      "   FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
      "   WHERE RF.RDB$RELATION_NAME = R.RDB$RELATION_NAME AND F.RDB$COMPUTED_BLR IS NULL), 0)"
      "   AS DOUBLE PRECISION)"
      " FROM (SELECT RDB$RELATION_ID ID, COUNT(*) N FROM RDB$PAGES WHERE RDB$PAGE_TYPE = 4"
      "   GROUP BY RDB$RELATION_ID) P"
      " JOIN RDB$RELATIONS R ON R.RDB$RELATION_ID = P.ID"
      " WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0 AND R.RDB$VIEW_BLR IS NULL"
      " AND COALESCE(R.RDB$RELATION_TYPE, 0) = 0"
      " AND (P.N > 1 OR EXISTS (SELECT 1 FROM RDB$INDICES I WHERE I.RDB$RELATION_NAME = R.RDB$RELATION_NAME"
      "   AND I.RDB$UNIQUE_FLAG = 1 AND I.RDB$STATISTICS > 0))";
// The counts of all: user tables, their active indexes and columns, and the
// privileges a backup writes.
const char CountsQuery[]
    = "SELECT CAST('' AS VARCHAR(252)),"
      " CAST((SELECT COUNT(*) FROM RDB$RELATIONS R WHERE COALESCE(R.RDB$SYSTEM_FLAG, 0) = 0"
      "   AND R.RDB$VIEW_BLR IS NULL AND COALESCE(R.RDB$RELATION_TYPE, 0) = 0) AS DOUBLE PRECISION),"
      " CAST((SELECT COUNT(*) FROM RDB$INDICES I WHERE COALESCE(I.RDB$SYSTEM_FLAG, 0) = 0"
      "   AND COALESCE(I.RDB$INDEX_INACTIVE, 0) = 0) AS DOUBLE PRECISION),"
      " CAST((SELECT COUNT(*) FROM RDB$RELATION_FIELDS RF WHERE COALESCE(RF.RDB$SYSTEM_FLAG, 0) = 0)"
      "   AS DOUBLE PRECISION),"
      " CAST((SELECT COUNT(*) FROM RDB$USER_PRIVILEGES) AS DOUBLE PRECISION)"
      " FROM RDB$DATABASE";

constexpr int ColumnCount = 5;
constexpr int KeyBytes = 252;

struct TFigureRow {
    QString key;
    std::array<double, ColumnCount - 1> numbers{};
};

// The output row's storage, bound to the statement's columns.
struct TRowArea {
    struct {
        short length;
        char text[KeyBytes + 1];
    } key{};
    std::array<double, ColumnCount - 1> numbers{};
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

// The rows of one statement in the transaction; the statement is released
// on every way out.
std::vector<TFigureRow> ReadRows(TIBDatabase& database, gds::Handle& transaction, const char* query)
{
    IGDSLibrary& library = ClientLibrary();
    gds::Handle handle = database.Handle();
    const unsigned short dialect = static_cast<unsigned short>(database.SQLDialect());
    TStatementCleanup held(library);
    database.Call(library.isc_dsql_alloc_statement2(CurrentStatusVector(), &handle, &held.Statement), true);

    std::vector<char> area(XSQLDA_LENGTH(ColumnCount), 0);
    XSQLDA* output = reinterpret_cast<XSQLDA*>(area.data());
    output->version = SQLDA_VERSION1;
    output->sqln = ColumnCount;
    database.Call(
        library.isc_dsql_prepare(CurrentStatusVector(), &transaction, &held.Statement, 0, query, dialect, output),
        true);
    TRowArea row;
    Bind(output->sqlvar[0], SQL_VARYING, KeyBytes, &row.key, &row.nullFlags[0]);
    for (int column = 1; column < ColumnCount; ++column)
        Bind(output->sqlvar[column], SQL_DOUBLE, sizeof(double), &row.numbers[static_cast<size_t>(column - 1)],
            &row.nullFlags[static_cast<size_t>(column)]);
    database.Call(
        library.isc_dsql_execute(CurrentStatusVector(), &transaction, &held.Statement, dialect, nullptr), true);
    std::vector<TFigureRow> rows;
    for (;;) {
        row.nullFlags.fill(0);
        const gds::Status fetched = library.isc_dsql_fetch(CurrentStatusVector(), &held.Statement, dialect, output);
        if (fetched == 100) // no more rows
            break;
        database.Call(fetched, true);
        const int length = std::max(0, std::min<int>(row.key.length, KeyBytes));
        row.key.text[length] = '\0';
        TFigureRow taken;
        taken.key = FromClientText(row.key.text);
        for (size_t column = 1; column < ColumnCount; ++column)
            taken.numbers[column - 1] = row.nullFlags[column] == 0 ? row.numbers[column - 1] : 0;
        rows.push_back(taken);
    }
    database.Call(library.isc_dsql_free_statement(CurrentStatusVector(), &held.Statement, DSQL_drop), true);
    held.Statement = 0;
    return rows;
}

} // namespace

TDatabaseTables ReadTableFigures(TIBDatabase& database)
{
    database.CheckActive();
    IGDSLibrary& library = ClientLibrary();
    gds::Handle handle = database.Handle();
    TStatementCleanup held(library);
    TTransactionEntry entry{&handle, static_cast<long>(sizeof ReadOnlyTPB), ReadOnlyTPB};
    database.Call(library.isc_start_multiple(CurrentStatusVector(), &held.Transaction, 1, &entry), true);

    TDatabaseTables figures;
    for (const TFigureRow& row : ReadRows(database, held.Transaction, SizedTablesQuery)) {
        TTableFigures table;
        table.name = row.key;
        table.pointerPages = static_cast<int>(row.numbers[0]);
        table.uniqueSelectivity = row.numbers[1];
        table.indexes = static_cast<int>(row.numbers[2]);
        table.recordLength = static_cast<int>(row.numbers[3]);
        figures.sized.push_back(table);
    }
    for (const TFigureRow& row : ReadRows(database, held.Transaction, CountsQuery)) {
        figures.tables = static_cast<int>(row.numbers[0]);
        figures.indexes = static_cast<int>(row.numbers[1]);
        figures.columns = static_cast<int>(row.numbers[2]);
        figures.privileges = static_cast<int>(row.numbers[3]);
    }

    database.Call(library.isc_commit_transaction(CurrentStatusVector(), &held.Transaction), true);
    held.Transaction = 0;
    return figures;
}
