// The connection against the fake client library: what it sends, what it does
// not send, and the failures that only a scripted client can provoke.

#include "EightBitText.h"
#include "FakeClientControl.h"
#include "Raised.h"
#include "ibclient/Database.h"
#include "ibclient/DatabaseCheck.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr long LostConnection = 335544741;
constexpr long NetRead = 335544726;
constexpr long NetWrite = 335544727;

QByteArray Credentials(const QByteArray& user, const QByteArray& password)
{
    QByteArray block(1, char(1));
    block += char(28);
    block += char(user.size());
    block += user;
    block += char(29);
    block += char(password.size());
    block += password;
    return block;
}

// A connection filled the way the connection test fills it; the fake's record
// starts after its construction (which loads the client library).
std::unique_ptr<TIBDatabase> NewConnection()
{
    auto db = std::make_unique<TIBDatabase>();
    db->SetLoginPrompt(false);
    db->Params().Add(QStringLiteral("User_Name=SYSDBA"));
    db->Params().Add(QStringLiteral("Password=plumtrove"));
    db->SetDatabaseName(QStringLiteral("localhost/3055:/data/DADOS.FDB"));
    fake::Reset();
    return db;
}

TEST(IBDatabaseConnect, SendsNameAndBlockAndAsksTheDialect)
{
    auto db = NewConnection();
    db->SetDatabaseName(QString::fromUtf8("localhost/3055:/dados/ação.fdb"));
    fake::Reset();
    db->SetConnected(true);
    EXPECT_TRUE(db->Connected());
    EXPECT_NE(db->Handle(), gds::Handle{});
    EXPECT_EQ(
        fake::Calls(), QStringList({"isc_attach_database", "isc_database_info", "isc_vax_integer", "isc_vax_integer"}));
    EXPECT_EQ(
        fake::LastName("isc_attach_database"), testtext::EightBit(QString::fromUtf8("localhost/3055:/dados/ação.fdb")));
    EXPECT_EQ(fake::LastBlock("isc_attach_database"), Credentials("SYSDBA", "plumtrove"));
    EXPECT_EQ(db->DPBLength(), 5 + 6 + 9);
    EXPECT_EQ(fake::LastBlock("isc_database_info"), QByteArray(1, char(62)));
    EXPECT_EQ(db->DBSQLDialect(), 3);
    EXPECT_EQ(db->CharacterSet(), QStringLiteral("NONE"));

    db->SetConnected(true); // already open: nothing happens
    EXPECT_EQ(fake::CallCount("isc_attach_database"), 1);

    db->SetConnected(false);
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(db->Handle(), gds::Handle{});
    EXPECT_EQ(fake::CallCount("isc_detach_database"), 1);
    EXPECT_EQ(db->DBSQLDialect(), 1);
}

TEST(IBDatabaseConnect, EmptyNameIsRefusedWithoutAnyCall)
{
    auto db = NewConnection();
    db->SetDatabaseName(QString());
    fake::Reset();
    const EIBClientError e = Raised<EIBClientError>([&] { db->SetConnected(true); });
    EXPECT_EQ(e.SQLCode(), 17);
    EXPECT_EQ(e.Message(), QStringLiteral("Database name is missing"));
    EXPECT_FALSE(db->Connected());
    EXPECT_TRUE(fake::Calls().isEmpty());
}

TEST(IBDatabaseConnect, DisconnectingAClosedConnectionDoesNothing)
{
    auto db = NewConnection();
    int events = 0;
    db->BeforeDisconnect = [&] { ++events; };
    db->AfterDisconnect = [&] { ++events; };
    db->SetConnected(false);
    EXPECT_TRUE(fake::Calls().isEmpty());
    EXPECT_EQ(events, 0);
    EXPECT_EQ(db->DBSQLDialect(), 3); // keeps its value
}

TEST(IBDatabaseConnect, EventsAndClientsInOrder)
{
    auto db = NewConnection();
    QStringList told;
    db->BeforeConnect = [&] { told << "BeforeConnect"; };
    db->AfterConnect = [&] { told << "AfterConnect"; };
    db->BeforeDisconnect = [&] { told << "BeforeDisconnect"; };
    db->AfterDisconnect = [&] { told << "AfterDisconnect"; };
    int client = 0;
    db->RegisterClient(&client, [&](bool connecting) {
        told << (connecting ? "client: open" : "client: closing") + QStringLiteral(" %1").arg(db->Connected());
    });
    db->SetConnected(true);
    db->SetConnected(false);
    EXPECT_EQ(told,
        QStringList({"BeforeConnect", "client: open 1", "AfterConnect", "BeforeDisconnect", "client: closing 1",
            "AfterDisconnect"}));
}

TEST(IBDatabaseConnect, ConnectedReadFromADescriptionWaitsForTheLoad)
{
    for (const bool allowed : {true, false}) {
        auto db = NewConnection();
        db->SetAllowStreamedConnected(allowed);
        db->BeginLoading();
        db->SetConnected(true);
        EXPECT_FALSE(db->Connected());
        EXPECT_EQ(fake::CallCount("isc_attach_database"), 0);
        db->Loaded();
        EXPECT_EQ(db->Connected(), allowed);
    }
}

TEST(IBDatabaseConnect, AnOverlongNameIsRefusedBeforeAnyCall)
{
    auto db = NewConnection();
    db->SetDatabaseName(QString(32768, u'x'));
    fake::Reset();
    const EIBClientError e = Raised<EIBClientError>([&] { db->SetConnected(true); });
    EXPECT_EQ(e.SQLCode(), ibxeParamValueTooLong);
    EXPECT_TRUE(fake::Calls().isEmpty());
}

TEST(IBDatabaseParamBlock, UnchangedLinesReuseTheBlockAndChangedOnesRebuildIt)
{
    auto db = NewConnection();
    db->SetConnected(true);
    const QByteArray first = fake::LastBlock("isc_attach_database");
    db->SetConnected(false);
    db->SetConnected(true);
    EXPECT_EQ(fake::LastBlock("isc_attach_database"), first);
    db->SetConnected(false);

    db->Params().Clear();
    db->Params().Add(QStringLiteral("user_name=ANA"));
    db->Params().Add(QStringLiteral("password=x"));
    db->SetConnected(true);
    EXPECT_EQ(fake::LastBlock("isc_attach_database"), Credentials("ANA", "x"));
}

TEST(IBDatabaseParamBlock, AfterARefusedBuildTheNextConnectBuildsAgain)
{
    auto db = NewConnection();
    db->SetConnected(true); // a good block is now stored
    db->SetConnected(false);
    db->Params().Add(QStringLiteral("bogus=1"));

    for (int attempt = 0; attempt < 2; ++attempt) {
        const EIBClientError e = Raised<EIBClientError>([&] { db->SetConnected(true); });
        EXPECT_EQ(e.SQLCode(), 114);
        EXPECT_EQ(e.Message(), QStringLiteral("DPB Constant (bogus) is unknown"));
        EXPECT_FALSE(db->Connected());
    }
    // The stored block of the earlier lines is never sent for the new ones.
    EXPECT_EQ(fake::CallCount("isc_attach_database"), 1);

    db->Params().Delete(2);
    db->SetConnected(true);
    EXPECT_EQ(fake::LastBlock("isc_attach_database"), Credentials("SYSDBA", "plumtrove"));
}

TEST(IBDatabaseParamBlock, AFailedAttachKeepsTheBlockForTheNextAttempt)
{
    auto db = NewConnection();
    fake::Fail("isc_attach_database", -902, {{335544472, "Your user name and password are not defined."}});
    const EIBInterBaseError e = Raised<EIBInterBaseError>([&] { db->SetConnected(true); });
    EXPECT_EQ(e.Message(), QStringLiteral("Your user name and password are not defined"));
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(db->Handle(), gds::Handle{});
    const QByteArray sent = fake::LastBlock("isc_attach_database");
    db->SetConnected(true);
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(fake::LastBlock("isc_attach_database"), sent);
}

TEST(IBDatabaseParamBlock, LcCtypeSetsTheCharacterSetUntilTheNextBuild)
{
    auto db = NewConnection();
    db->Params().Add(QStringLiteral("lc_ctype=UTF8"));
    db->SetConnected(true);
    EXPECT_EQ(db->CharacterSet(), QStringLiteral("UTF8"));
    EXPECT_EQ(db->CharacterSetCodePage(), 65001);
    db->SetConnected(false);
    db->Params().Delete(2);
    db->SetConnected(true);
    EXPECT_EQ(db->CharacterSet(), QStringLiteral("NONE"));
    EXPECT_EQ(db->CharacterSetCodePage(), 0);
}

TEST(IBDatabaseDialect, ReplyDecidesTheDialectAndLowersTheClientDialect)
{
    auto db = NewConnection();
    int warnings = 0;
    db->OnDialectDowngradeWarning = [&] { ++warnings; };
    fake::SetInfoReply(QByteArray("\x3e\x01\x00\x01\x01", 5));
    db->SetConnected(true);
    EXPECT_EQ(db->DBSQLDialect(), 1);
    EXPECT_EQ(db->SQLDialect(), 1);
    EXPECT_EQ(warnings, 1);
    db->SetConnected(false);

    // A reply that does not name the item: dialect 1.
    fake::SetInfoReply(QByteArray("\x01", 1));
    db->SetConnected(true);
    EXPECT_EQ(db->DBSQLDialect(), 1);
    EXPECT_EQ(warnings, 1); // already 1: not lowered again
}

struct LossCase {
    long sqlCode;
    std::vector<fake::StatusText> texts;
    QString message;
};

void PrintTo(const LossCase& c, std::ostream* os)
{
    *os << "sqlcode " << c.sqlCode << ", code " << c.texts.back().code;
}

// Any call whose status the connection's Call takes with raising on.
class IBDatabaseConnectionLoss : public testing::TestWithParam<LossCase> { };

TEST_P(IBDatabaseConnectionLoss, CallForceClosesAndRaises)
{
    const LossCase& c = GetParam();
    auto db = NewConnection();
    db->SetConnected(true);
    int afterDisconnect = 0;
    db->AfterDisconnect = [&] { ++afterDisconnect; };
    fake::Fail("isc_database_info", c.sqlCode, c.texts);
    gds::Handle handle = db->Handle();
    char reply[8];
    const gds::Status status = ClientLibrary().isc_database_info(CurrentStatusVector(), &handle, 1, "\x3e", 8, reply);
    try {
        db->Call(status, true);
        FAIL() << "nothing raised";
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(e.SQLCode(), c.sqlCode);
        EXPECT_EQ(e.IBErrorCode(), c.texts.front().code);
        EXPECT_EQ(e.Message(), c.message);
    } catch (const EIBError& e) {
        FAIL() << "raised " << e.ClassName() << " instead of EIBInterBaseError";
    }
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(db->Handle(), gds::Handle{});
    EXPECT_EQ(afterDisconnect, 1);
    EXPECT_EQ(fake::CallCount("isc_detach_database"), 1);

    db->SetConnected(true); // a new attach is possible
    EXPECT_TRUE(db->Connected());
}

INSTANTIATE_TEST_SUITE_P(Codes, IBDatabaseConnectionLoss,
    testing::Values(LossCase{-902, {{LostConnection, "connection lost to database"}}, "connection lost to database"},
        LossCase{-551, {{LostConnection, "connection lost to database."}}, "connection lost to database"},
        LossCase{-902,
            {{335544721, "Unable to complete network request to host \"x\"."},
                {NetRead, "Error reading data from the connection."}},
            "Unable to complete network request to host \"x\".\r\nError reading data from the "
            "connection"},
        LossCase{-902, {{NetWrite, "Error writing data to the connection."}}, "Error writing data to the connection"}),
    [](const testing::TestParamInfo<LossCase>& info) { return "Case" + std::to_string(info.index); });

TEST(IBDatabaseDialect, ALostConnectionDuringTheQueryForceClosesAndRaises)
{
    for (const long sqlCode : {-902L, -551L}) {
        auto db = NewConnection();
        fake::Fail("isc_database_info", sqlCode, {{LostConnection, "connection lost to database"}});
        try {
            db->SetConnected(true);
            ADD_FAILURE() << "nothing raised";
        } catch (const EIBInterBaseError& e) {
            EXPECT_EQ(e.SQLCode(), sqlCode);
            EXPECT_EQ(e.IBErrorCode(), LostConnection);
            EXPECT_EQ(e.Message(), QStringLiteral("connection lost to database"));
        } catch (const EIBError& e) {
            ADD_FAILURE() << "raised " << e.ClassName() << " instead of EIBInterBaseError";
        }
        EXPECT_FALSE(db->Connected()) << sqlCode;
        EXPECT_EQ(fake::CallCount("isc_detach_database"), 1);
    }
}

// Only a lost connection counts as loss for the dialect query: another failure,
// a network read error included, leaves the attachment open.
TEST(IBDatabaseDialect, AnotherFailureOfTheQueryLeavesTheConnectionOpen)
{
    for (const long code : {335544344L, NetRead}) {
        auto db = NewConnection();
        fake::Fail("isc_database_info", -902, {{code, "I/O error"}});
        const EIBInterBaseError e = Raised<EIBInterBaseError>([&] { db->SetConnected(true); });
        EXPECT_EQ(e.IBErrorCode(), code);
        EXPECT_TRUE(db->Connected());
        EXPECT_EQ(fake::CallCount("isc_detach_database"), 0);
    }
}

TEST(IBDatabaseDisconnect, AFailingDetachForceClosesAndReachesTheCaller)
{
    auto db = NewConnection();
    db->SetConnected(true);
    fake::Fail("isc_detach_database", -902, {{335544721, "Unable to complete network request"}});
    const EIBInterBaseError e = Raised<EIBInterBaseError>([&] { db->SetConnected(false); });
    EXPECT_EQ(e.Message(), QStringLiteral("Unable to complete network request"));
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(db->Handle(), gds::Handle{});
    EXPECT_EQ(fake::CallCount("isc_detach_database"), 2); // the detach, then the forced one
}

TEST(IBDatabaseDisconnect, ForceCloseLetsNoServerFailureOut)
{
    auto db = NewConnection();
    db->SetConnected(true);
    fake::Fail("isc_detach_database", -902, {{335544721, "Unable to complete network request"}});
    EXPECT_NO_THROW(db->ForceClose());
    EXPECT_FALSE(db->Connected());
    EXPECT_NO_THROW(db->ForceClose()); // closed: nothing
    EXPECT_EQ(fake::CallCount("isc_detach_database"), 1);
}

TEST(IBDatabaseDestruction, DetachesAndLetsNothingOut)
{
    for (const bool failing : {false, true}) {
        auto db = NewConnection();
        db->SetConnected(true);
        if (failing) {
            fake::Fail("isc_detach_database", -902, {{335544721, "network"}});
            fake::Fail("isc_detach_database", -902, {{335544721, "network"}});
        }
        EXPECT_NO_THROW(db.reset()) << "failing detach: " << failing;
        EXPECT_GE(fake::CallCount("isc_detach_database"), 1);
    }
}

TEST(IBDatabaseGuards, ChecksRaiseTheirClientErrors)
{
    auto db = NewConnection();
    EXPECT_EQ(Raised<EIBClientError>([&] { db->CheckActive(); }).SQLCode(), 15);
    EXPECT_NO_THROW(db->CheckInactive());
    db->SetConnected(true);
    EXPECT_NO_THROW(db->CheckActive());
    const EIBClientError e = Raised<EIBClientError>([&] { db->CheckInactive(); });
    EXPECT_EQ(e.SQLCode(), 16);
    EXPECT_EQ(e.Message(), QStringLiteral("Cannot perform operation -- DB is currently open"));
    EXPECT_EQ(Raised<EIBClientError>([&] { ReadShutdownMode(*std::make_unique<TIBDatabase>()); }).SQLCode(), 15);
}

TEST(IBDatabaseLogin, PromptGivesTheCredentialsOrCancels)
{
    auto db = NewConnection();
    db->SetLoginPrompt(true);
    db->OnLogin = [](QString& user, QString& password) {
        EXPECT_EQ(user, QStringLiteral("SYSDBA"));
        EXPECT_EQ(password, QStringLiteral("plumtrove"));
        user = QStringLiteral("ANA");
        password = QStringLiteral("secret");
        return true;
    };
    db->SetConnected(true);
    EXPECT_EQ(fake::LastBlock("isc_attach_database"), Credentials("ANA", "secret"));
    EXPECT_EQ(db->Params().Value(QStringLiteral("password")), QStringLiteral("plumtrove")); // never stored
    db->SetConnected(false);

    db->OnLogin = [](QString&, QString&) { return false; };
    const EIBClientError e = Raised<EIBClientError>([&] { db->SetConnected(true); });
    EXPECT_EQ(e.SQLCode(), 10);
    EXPECT_EQ(fake::CallCount("isc_attach_database"), 1);

    // Prompt off again: the stored password goes, not the one given at the prompt.
    db->SetLoginPrompt(false);
    db->SetConnected(true);
    EXPECT_EQ(fake::LastBlock("isc_attach_database"), Credentials("ANA", "plumtrove"));
}

TEST(IBDatabaseWiring, DefaultTransactionAndStatementLinks)
{
    auto db = NewConnection();
    TIBTransaction transaction;
    TIBSQL statement;
    db->SetDefaultTransaction(&transaction);
    transaction.SetDefaultDatabase(db.get());
    statement.SetDatabase(db.get());

    EXPECT_EQ(statement.Transaction(), &transaction);
    EXPECT_EQ(db->FindTransaction(db->InternalTransaction()), 0);
    EXPECT_EQ(db->FindTransaction(&transaction), 1);
    EXPECT_EQ(transaction.FindDatabase(db.get()), 0);
    EXPECT_EQ(db->SQLObject(0), &statement.Base());
    EXPECT_EQ(transaction.SQLObject(0), &statement.Base());

    // Without a default, a link takes the first transaction bound to the connection.
    db->SetDefaultTransaction(nullptr);
    TIBSQL second;
    second.SetDatabase(db.get());
    EXPECT_EQ(second.Transaction(), &transaction);
    EXPECT_EQ(second.Base().IndexInDatabase(), 1);

    // A freed place is reused.
    statement.SetDatabase(nullptr);
    TIBSQL third;
    third.SetDatabase(db.get());
    EXPECT_EQ(third.Base().IndexInDatabase(), 0);
}

TEST(IBDatabaseWiring, DestructionInAnyOrderLeavesNoDanglingLink)
{
    {
        auto db = NewConnection();
        auto transaction = std::make_unique<TIBTransaction>();
        auto statement = std::make_unique<TIBSQL>();
        db->SetDefaultTransaction(transaction.get());
        transaction->SetDefaultDatabase(db.get());
        statement->SetDatabase(db.get());
        int freed = 0;
        const TIBDatabase* connection = db.get();
        statement->Base().OnDatabaseFree = [&](TIBBase& link) {
            ++freed;
            EXPECT_EQ(link.Database(), connection);
        };
        db->SetConnected(true);
        db.reset();
        EXPECT_EQ(freed, 1);
        EXPECT_EQ(statement->Database(), nullptr);
        EXPECT_EQ(transaction->DefaultDatabase(), nullptr);
        EXPECT_EQ(statement->Transaction(), transaction.get());
        transaction.reset();
        EXPECT_EQ(statement->Transaction(), nullptr);
    }
    {
        auto db = NewConnection();
        auto transaction = std::make_unique<TIBTransaction>();
        auto statement = std::make_unique<TIBSQL>();
        db->SetDefaultTransaction(transaction.get());
        transaction->SetDefaultDatabase(db.get());
        statement->SetDatabase(db.get());
        statement.reset();
        EXPECT_EQ(db->SQLObject(0), nullptr);
        transaction.reset();
        EXPECT_EQ(db->DefaultTransaction(), nullptr);
        EXPECT_EQ(db->FindTransaction(nullptr), 1);
        db->SetConnected(true);
        db->SetConnected(false); // walks the lists: nothing freed is touched
    }
}

struct EndCase {
    TIBTransactionAction action;
    bool failFinish;
    QStringList calls;
};

void PrintTo(const EndCase& c, std::ostream* os)
{
    *os << "action " << c.action << (c.failFinish ? ", finish fails" : "");
}

class IBDatabaseEndBeforeDisconnect : public testing::TestWithParam<EndCase> { };

TEST_P(IBDatabaseEndBeforeDisconnect, ActiveTransactionIsFinishedBeforeTheDetach)
{
    const EndCase& c = GetParam();
    auto db = NewConnection();
    TIBTransaction transaction;
    transaction.SetDefaultAction(c.action);
    db->SetDefaultTransaction(&transaction);
    transaction.SetDefaultDatabase(db.get());
    TIBSQL statement;
    statement.SetDatabase(db.get());
    QStringList told;
    statement.Base().BeforeTransactionEnd = [&](TIBBase&) { told << "before end"; };
    statement.Base().AfterTransactionEnd = [&](TIBBase&) { told << "after end"; };
    statement.Base().BeforeDatabaseDisconnect = [&](TIBBase&) { told << "before disconnect"; };
    statement.Base().AfterDatabaseDisconnect = [&](TIBBase&) { told << "after disconnect"; };

    db->SetConnected(true);
    transaction.StartTransaction();
    ASSERT_TRUE(transaction.InTransaction());
    fake::Reset();
    if (c.failFinish)
        fake::Fail(c.calls.front().toLatin1().constData(), -902, {{335544721, "network"}});

    EXPECT_NO_THROW(db->SetConnected(false));
    EXPECT_FALSE(transaction.InTransaction());
    EXPECT_FALSE(db->Connected());
    QStringList calls = fake::Calls();
    calls.removeAll(QStringLiteral("isc_sqlcode"));
    calls.removeAll(QStringLiteral("isc_interprete"));
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(told, QStringList({"before disconnect", "before end", "after end", "after disconnect"}));
}

INSTANTIATE_TEST_SUITE_P(Actions, IBDatabaseEndBeforeDisconnect,
    testing::Values(EndCase{TACommit, false, {"isc_commit_transaction", "isc_detach_database"}},
        EndCase{TACommitRetaining, false, {"isc_commit_transaction", "isc_detach_database"}},
        EndCase{TARollback, false, {"isc_rollback_transaction", "isc_detach_database"}},
        EndCase{TARollbackRetaining, false, {"isc_rollback_transaction", "isc_detach_database"}},
        EndCase{TACommit, true, {"isc_commit_transaction", "isc_rollback_transaction", "isc_detach_database"}},
        EndCase{TARollback, true, {"isc_rollback_transaction", "isc_rollback_transaction", "isc_detach_database"}}),
    [](const testing::TestParamInfo<EndCase>& info) {
        return "Action" + std::to_string(info.param.action) + (info.param.failFinish ? "Failing" : "");
    });

TEST(IBDatabaseTransaction, DestroyedWhileActiveIsFinishedByItsDefaultAction)
{
    auto db = NewConnection();
    db->SetConnected(true);
    {
        TIBTransaction transaction;
        transaction.SetDefaultDatabase(db.get());
        transaction.SetDefaultAction(TARollback);
        transaction.StartTransaction();
        const EIBClientError e = Raised<EIBClientError>([&] { transaction.StartTransaction(); });
        EXPECT_EQ(e.SQLCode(), ibxeInTransaction);
    }
    EXPECT_EQ(fake::CallCount("isc_rollback_transaction"), 1);
    EXPECT_EQ(db->FindTransaction(nullptr), 1); // its place is free again
}

TEST(IBDatabaseDropDatabase, DropsAndLeavesTheObjectClosed)
{
    auto db = NewConnection();
    db->SetConnected(true);
    DropDatabase(*db);
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(fake::CallCount("isc_drop_database"), 1);
    EXPECT_EQ(fake::CallCount("isc_detach_database"), 0);

    db->SetConnected(true);
    fake::Fail("isc_drop_database", -901, {{335544351, "unsuccessful metadata update"}});
    EXPECT_THROW(DropDatabase(*db), EIBInterBaseError);
    EXPECT_TRUE(db->Connected()); // the server refused: still attached
}

} // namespace
