#include "ibclient/TableFigures.h"

#include "ibclient/Database.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"
#include "ibclient/ReadOnlyStatement.h"

#include <ibase.h>

#include <QHash>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Four statements, each one pass over a system table grouped by table (a
// statement with a subquery per table reads RDB$PAGES once for each: seconds
// on a database of thousands of tables). Each row: a key and two numbers.
const char RelationsQuery[] = "SELECT CAST(TRIM(RDB$RELATION_NAME) AS VARCHAR(252)),"
                              " CAST(RDB$RELATION_ID AS DOUBLE PRECISION), CAST(0 AS DOUBLE PRECISION)"
                              " FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND RDB$VIEW_BLR IS NULL"
                              " AND COALESCE(RDB$RELATION_TYPE, 0) = 0";
const char PointerPagesQuery[] = "SELECT CAST(RDB$RELATION_ID AS VARCHAR(252)), CAST(COUNT(*) AS DOUBLE PRECISION),"
                                 " CAST(0 AS DOUBLE PRECISION) FROM RDB$PAGES WHERE RDB$PAGE_TYPE = 4"
                                 " GROUP BY RDB$RELATION_ID";
const char IndexesQuery[]
    = "SELECT CAST(TRIM(RDB$RELATION_NAME) AS VARCHAR(252)),"
      " CAST(COALESCE(MIN(IIF(RDB$UNIQUE_FLAG = 1 AND RDB$STATISTICS > 0, RDB$STATISTICS, NULL)), 0)"
      " AS DOUBLE PRECISION),"
      " CAST(SUM(IIF(COALESCE(RDB$INDEX_INACTIVE, 0) = 0, 1, 0)) AS DOUBLE PRECISION)"
      " FROM RDB$INDICES GROUP BY RDB$RELATION_NAME";
const char RecordLengthQuery[]
    = "SELECT CAST(TRIM(RF.RDB$RELATION_NAME) AS VARCHAR(252)),"
      " CAST(SUM(F.RDB$FIELD_LENGTH + IIF(F.RDB$FIELD_TYPE = 37, 2, 0)) AS DOUBLE PRECISION),"
      " CAST(0 AS DOUBLE PRECISION)"
      " FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE"
      " WHERE F.RDB$COMPUTED_BLR IS NULL GROUP BY RF.RDB$RELATION_NAME";

constexpr int ColumnCount = 3;
constexpr int KeyBytes = 252;

struct TFigureRow {
    QString key;
    double first = 0;
    double second = 0;
};

// The output row's storage, bound to the statement's columns.
struct TRowArea {
    struct {
        short length;
        char text[KeyBytes + 1];
    } key{};
    double first = 0;
    double second = 0;
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
    Bind(output->sqlvar[1], SQL_DOUBLE, sizeof row.first, &row.first, &row.nullFlags[1]);
    Bind(output->sqlvar[2], SQL_DOUBLE, sizeof row.second, &row.second, &row.nullFlags[2]);
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
        rows.push_back({FromClientText(row.key.text), row.nullFlags[1] == 0 ? row.first : 0,
            row.nullFlags[2] == 0 ? row.second : 0});
    }
    database.Call(library.isc_dsql_free_statement(CurrentStatusVector(), &held.Statement, DSQL_drop), true);
    held.Statement = 0;
    return rows;
}

} // namespace

std::vector<TTableFigures> ReadTableFigures(TIBDatabase& database)
{
    database.CheckActive();
    IGDSLibrary& library = ClientLibrary();
    gds::Handle handle = database.Handle();
    TStatementCleanup held(library);
    TTransactionEntry entry{&handle, static_cast<long>(sizeof ReadOnlyTPB), ReadOnlyTPB};
    database.Call(library.isc_start_multiple(CurrentStatusVector(), &held.Transaction, 1, &entry), true);

    std::vector<TTableFigures> tables;
    QHash<QString, size_t> byName;
    QHash<QString, size_t> byId;
    for (const TFigureRow& row : ReadRows(database, held.Transaction, RelationsQuery)) {
        TTableFigures table;
        table.name = row.key;
        byName.insert(row.key, tables.size());
        byId.insert(QString::number(static_cast<long long>(row.first)), tables.size());
        tables.push_back(table);
    }
    for (const TFigureRow& row : ReadRows(database, held.Transaction, PointerPagesQuery)) {
        const auto found = byId.constFind(row.key.trimmed());
        if (found != byId.constEnd())
            tables[found.value()].pointerPages = static_cast<int>(row.first);
    }
    for (const TFigureRow& row : ReadRows(database, held.Transaction, IndexesQuery)) {
        const auto found = byName.constFind(row.key);
        if (found != byName.constEnd()) {
            tables[found.value()].uniqueSelectivity = row.first;
            tables[found.value()].indexes = static_cast<int>(row.second);
        }
    }
    for (const TFigureRow& row : ReadRows(database, held.Transaction, RecordLengthQuery)) {
        const auto found = byName.constFind(row.key);
        if (found != byName.constEnd())
            tables[found.value()].recordLength = static_cast<int>(row.first);
    }

    database.Call(library.isc_commit_transaction(CurrentStatusVector(), &held.Transaction), true);
    held.Transaction = 0;
    return tables;
}
