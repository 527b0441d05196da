#pragma once
// The plan of a job's progress from the database's own metadata: the
// records and indexes each user table is expected to hold.

#include "core/JobProgress.h"
#include "ibclient/TableFigures.h"
#include "runs/RestoreSafety.h"

#include <QString>

#include <vector>

// The records each table is taken to hold: the distinct keys of its most
// selective unique index where the server has measured them, and at least
// what its full pointer pages hold (measured statistics go stale as a
// table grows; a table of one pointer page counts for what its statistics
// say). The plan is known, even when it holds no tables.
TJobPlan PlanFromFigures(const std::vector<TTableFigures>& tables, int pageSize);

// The plan of the database at path (one attachment, one statement); an
// unknown plan when it cannot be read, with the reason in warning.
TJobPlan JobPlanAt(const TDatabaseLogin& login, const QString& path, QString* warning = nullptr);
