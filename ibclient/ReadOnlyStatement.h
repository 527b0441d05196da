#pragma once
// What the metadata reads of the client layer share: a read-only transaction
// of their own and the release of its statement and transaction on a way out
// by failure.

#include "ibclient/GdsLibrary.h"

#include <ibase.h>

#include <QtGlobal>

// One entry of isc_start_multiple's vector (see Database.cpp).
struct TTransactionEntry {
    gds::Handle* database;
    long tpbLength;
    const char* tpb;
};

// A read-only, read-committed transaction that does not wait for locks.
inline constexpr char ReadOnlyTPB[]
    = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_nowait};

// Releases what a failed read leaves behind, with a status vector of its own
// so that the failure being raised keeps its texts.
class TStatementCleanup {
public:
    explicit TStatementCleanup(IGDSLibrary& library)
        : FLibrary(library)
    {
    }
    TStatementCleanup(const TStatementCleanup&) = delete;
    TStatementCleanup& operator=(const TStatementCleanup&) = delete;
    ~TStatementCleanup()
    {
        gds::StatusVector vector{};
        if (Statement != 0 && FLibrary.isc_dsql_free_statement(vector.data(), &Statement, DSQL_drop) > 0)
            qWarning("A metadata read: the statement could not be freed after a failure");
        if (Transaction != 0 && FLibrary.isc_rollback_transaction(vector.data(), &Transaction) > 0)
            qWarning("A metadata read: the transaction could not be rolled back after a failure");
    }

    gds::Handle Statement = 0;
    gds::Handle Transaction = 0;

private:
    IGDSLibrary& FLibrary;
};
