#pragma once
// The plan of a job's progress from the database's own metadata: the
// records and indexes each user table is expected to hold.

#include "core/JobProgress.h"
#include "ibclient/TableFigures.h"
#include "runs/RestoreSafety.h"

class TIBDatabase;

#include <QString>

#include <vector>

// The records each table that holds data is taken to hold: the distinct keys
// of its most selective unique index where the server has measured them, and
// at least what its full pointer pages hold (measured statistics go stale as
// a table grows). The other tables count as tables without records. The plan
// is known, even when it holds no tables.
TJobPlan PlanFromFigures(const TDatabaseTables& figures, int pageSize);

// The plan of the attached database (its page size read unless given); an
// unknown plan when it cannot be read (the reason in a warning: the run goes
// on without an estimate).
TJobPlan ReadJobPlan(TIBDatabase& database, int pageSize = -1);
// The same in an attachment of its own.
TJobPlan JobPlanAt(const TDatabaseLogin& login, const QString& path);

// What the backup road reads of the database before the backup, in one
// attachment: its page size (0 when it cannot be read) and, when asked for,
// the plan of the backup.
struct TDatabaseFigures {
    int pageSize = 0;
    TJobPlan plan;
};
TDatabaseFigures DatabaseFiguresAt(const TDatabaseLogin& login, const QString& path, bool withPlan);
