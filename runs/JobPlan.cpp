#include "runs/JobPlan.h"

#include "ibclient/Database.h"
#include "ibclient/DatabaseCheck.h"
#include "ibclient/Errors.h"

#include <algorithm>
#include <cmath>

namespace {

// A pointer page's header, and the bytes of each data page it lists (its
// number and the page's flags, as ODS 12 and 13 keep them).
constexpr double PointerPageHeader = 32;
constexpr double BitsPerSlot = 40;
// A data page's header, a record's header and its slot on the page, and how
// full the server fills data pages.
constexpr double DataPageHeader = 24;
constexpr double RecordOverhead = 17;
constexpr double PageFill = 0.85;

double RecordsInFullPointerPages(const TTableFigures& table, int pageSize)
{
    if (table.pointerPages <= 1 || pageSize <= 0)
        return 0;
    const double listed = std::floor((pageSize - PointerPageHeader) * 8 / BitsPerSlot);
    const double perPage
        = std::max(1.0, std::floor((pageSize - DataPageHeader) * PageFill / (table.recordLength + RecordOverhead)));
    // The last pointer page is taken as half full.
    return (table.pointerPages - 0.5) * listed * perPage;
}

} // namespace

TJobPlan PlanFromFigures(const std::vector<TTableFigures>& tables, int pageSize)
{
    TJobPlan plan;
    plan.known = true;
    for (const TTableFigures& table : tables) {
        TTableEstimate estimate;
        estimate.name = table.name;
        const double measured = table.uniqueSelectivity > 0 ? std::round(1 / table.uniqueSelectivity) : 0;
        estimate.rows = std::max(measured, RecordsInFullPointerPages(table, pageSize));
        estimate.indexes = table.indexes;
        estimate.recordLength = table.recordLength;
        plan.tables.push_back(estimate);
    }
    return plan;
}

TJobPlan JobPlanAt(const TDatabaseLogin& login, const QString& path, QString* warning)
{
    TIBDatabase database;
    try {
        OpenDatabase(database, login, path);
        const int pageSize = ReadPageSize(database);
        TJobPlan plan = PlanFromFigures(ReadTableFigures(database), pageSize);
        plan.grants = CountPrivileges(database);
        database.SetConnected(false);
        return plan;
    } catch (const Exception& failure) {
        if (warning)
            *warning = failure.Message();
        return TJobPlan();
    }
}
