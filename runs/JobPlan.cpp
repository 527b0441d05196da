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

TJobPlan PlanFromFigures(const TDatabaseTables& figures, int pageSize)
{
    TJobPlan plan;
    plan.known = true;
    int sizedIndexes = 0;
    for (const TTableFigures& table : figures.sized) {
        sizedIndexes += table.indexes;
        TTableEstimate estimate;
        estimate.name = table.name;
        const double measured = table.uniqueSelectivity > 0 ? std::round(1 / table.uniqueSelectivity) : 0;
        estimate.rows = std::max(measured, RecordsInFullPointerPages(table, pageSize));
        estimate.indexes = table.indexes;
        estimate.recordLength = table.recordLength;
        plan.tables.push_back(estimate);
    }
    plan.otherTables = std::max(0, figures.tables - static_cast<int>(figures.sized.size()));
    plan.otherIndexes = std::max(0, figures.indexes - sizedIndexes);
    // A domain and a column line for each column, a line for each table.
    plan.metaLines = figures.tables + 2.0 * figures.columns;
    plan.grants = figures.privileges;
    return plan;
}

TJobPlan ReadJobPlan(TIBDatabase& database, int pageSize)
{
    try {
        return PlanFromFigures(ReadTableFigures(database), pageSize >= 0 ? pageSize : ReadPageSize(database));
    } catch (const Exception& failure) {
        qWarning("No estimate of the job's work: %s", failure.what());
        return TJobPlan();
    }
}

TJobPlan JobPlanAt(const TDatabaseLogin& login, const QString& path)
{
    return DatabaseFiguresAt(login, path, true).plan;
}

TDatabaseFigures DatabaseFiguresAt(const TDatabaseLogin& login, const QString& path, bool withPlan)
{
    TDatabaseFigures figures;
    TIBDatabase database;
    try {
        OpenDatabase(database, login, path);
        figures.pageSize = std::max(0, ReadPageSize(database));
        if (withPlan)
            figures.plan = ReadJobPlan(database, figures.pageSize);
        database.SetConnected(false);
    } catch (const Exception& failure) {
        qWarning("The page size of %s could not be read: %s", qUtf8Printable(path), failure.what());
    }
    return figures;
}
