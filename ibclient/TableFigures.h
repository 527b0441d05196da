#pragma once
// What a database's own metadata says of the size of its user tables, for
// an estimate of the work of a backup or restore. One pass over each of four
// system tables, no scan of any user table: the counts it gives are the
// server's bookkeeping, not records.

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
// or temporary tables), in one read-only transaction of its own. Raises
// client error 15 when the connection is not open, and the server's error
// when a call fails (the statement and the transaction are released on every
// way out).
std::vector<TTableFigures> ReadTableFigures(TIBDatabase& database);
