#pragma once
// What a database's own metadata says of the size of its user tables, for
// an estimate of the work of a backup or restore. Two statements, no scan of
// any user table: the counts it gives are the server's bookkeeping, not
// records.

#include <QString>

#include <vector>

class TIBDatabase;

struct TTableFigures {
    QString name;
    // Pointer pages (RDB$PAGES, type 4): each lists a fixed number of data pages.
    int pointerPages = 0;
    // The smallest selectivity of its unique indexes when the server has
    // measured one (RDB$STATISTICS, 1 / distinct keys); 0 when none has.
    double uniqueSelectivity = 0;
    // Its active indexes.
    int indexes = 0;
    // The declared length of its stored columns, in bytes.
    int recordLength = 0;
};

// The persistent user tables of the attached database (not views, external
// or temporary tables): those that hold data as far as the metadata tells
// (more than one pointer page, or a unique index whose keys the server has
// counted), and the counts of all of them.
struct TDatabaseTables {
    std::vector<TTableFigures> sized;
    int tables = 0;
    int indexes = 0;
    int columns = 0;
    // The privileges the database grants (RDB$USER_PRIVILEGES).
    int privileges = 0;
};

// Reads them in one read-only transaction of its own. Raises client error 15
// when the connection is not open, and the server's error when a call fails
// (the statements and the transaction are released on every way out).
TDatabaseTables ReadTableFigures(TIBDatabase& database);
