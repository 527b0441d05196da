// What a database's own metadata tells the progress of a job, read from the
// private server: the tables that hold data with their records, indexes and
// record length, and the counts of the others.

#include "RunsTestSupport.h"

#include "runs/JobPlan.h"

#include <algorithm>

namespace {

const QString Tables = QStringLiteral(
    "create table CLIENTES (ID integer not null primary key, NOME varchar(40));\n"
    "create table VAZIA (ID integer not null primary key);\n"
    "create table NOTAS (TEXTO varchar(150));\n"
    "commit;\n"
    "set term ^ ;\n"
    "execute block as declare i integer = 0; begin\n"
    "  while (i < 20000) do begin insert into CLIENTES values (:i, 'cliente ' || :i); i = i + 1; end\n"
    "  i = 0;\n"
    // Texts that the server's compression of records leaves at about their
    // length (a run of one character would take a few bytes).
    "  while (i < 100000) do begin\n"
    "    insert into NOTAS values (lpad(:i * 104729, 150, 'abcdefghij' || mod(:i, 97))); i = i + 1; end\n"
    "end^\n"
    "set term ; ^\n"
    "commit;\n");

const TTableEstimate* Listed(const TJobPlan& plan, const QString& name)
{
    const auto found = std::find_if(
        plan.tables.begin(), plan.tables.end(), [&name](const TTableEstimate& table) { return table.name == name; });
    return found == plan.tables.end() ? nullptr : &*found;
}

class RunsJobPlanTest : public RunsTest {
protected:
    static void Restore(const QString& backupFile, const QString& database)
    {
        TIBRestoreService service;
        AttachToServer(service);
        service.BackupFile().Add(backupFile);
        service.DatabaseName().Add(database);
        service.ServiceStart();
        while (!service.Eof())
            service.GetNextLine();
        service.Detach();
    }
};

} // namespace

TEST_F(RunsJobPlanTest, ThePlanIsWhatTheMetadataSays)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    // Small pages: a table of a few megabytes spans several pointer pages.
    testserver::CreateDatabase(database, Tables, 3, 4096);
    const TDatabaseLogin login{
        BackupServiceTarget(testserver::ServerText()), testserver::User(), testserver::Password()};
    {
        SCOPED_TRACE("a database whose tables were filled after their indexes were made");
        const TJobPlan plan = JobPlanAt(login, database);
        ASSERT_TRUE(plan.known);
        // Only the table of many pointer pages shows data; its records come
        // from its pages, within a factor of two.
        ASSERT_EQ(plan.tables.size(), 1u);
        const TTableEstimate* notas = Listed(plan, QStringLiteral("NOTAS"));
        ASSERT_NE(notas, nullptr);
        EXPECT_GT(notas->rows, 50000);
        EXPECT_LT(notas->rows, 200000);
        EXPECT_EQ(notas->indexes, 0);
        EXPECT_EQ(notas->recordLength, 152);
        EXPECT_EQ(plan.otherTables, 2);
        EXPECT_EQ(plan.otherIndexes, 2);
        // A line for each table, a domain and a column line for each of the four columns.
        EXPECT_EQ(plan.metaLines, 3 + 2 * 4);
        EXPECT_GT(plan.grants, 0);
    }
    {
        SCOPED_TRACE("its restored copy, whose index keys the server has counted");
        const QString backup = Folder() + QStringLiteral("DADOS.BKP");
        MakeBackup(database, backup);
        const QString restored = Folder() + QStringLiteral("RESTAURADA.FDB");
        Restore(backup, restored);
        const TJobPlan plan = JobPlanAt(login, restored);
        ASSERT_TRUE(plan.known);
        const TTableEstimate* clientes = Listed(plan, QStringLiteral("CLIENTES"));
        ASSERT_NE(clientes, nullptr);
        EXPECT_EQ(clientes->rows, 20000);
        EXPECT_EQ(clientes->indexes, 1);
        EXPECT_EQ(clientes->recordLength, 4 + 42);
        ASSERT_NE(Listed(plan, QStringLiteral("NOTAS")), nullptr);
        // The empty table is counted, not listed.
        EXPECT_EQ(Listed(plan, QStringLiteral("VAZIA")), nullptr);
        EXPECT_EQ(plan.otherTables, 1);
        EXPECT_EQ(plan.otherIndexes, 1);
    }
    {
        SCOPED_TRACE("a database that is not there");
        EXPECT_FALSE(JobPlanAt(login, Folder() + QStringLiteral("NENHUMA.FDB")).known);
    }
}
