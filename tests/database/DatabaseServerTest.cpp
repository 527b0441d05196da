// The connection against the private Firebird server.

#include "Raised.h"
#include "TestServer.h"
#include "ibclient/Database.h"
#include "ibclient/DatabaseCheck.h"
#include "ibclient/Errors.h"

#include <gtest/gtest.h>

#include <QFile>

#include <memory>

namespace {

std::unique_ptr<TIBDatabase> NewConnection(const QString& path, const QString& password = testserver::Password())
{
    auto db = std::make_unique<TIBDatabase>();
    db->SetLoginPrompt(false);
    db->Params().Add(QStringLiteral("User_Name=") + testserver::User());
    db->Params().Add(QStringLiteral("Password=") + password);
    db->SetDatabaseName(testserver::ServerText() + path);
    return db;
}

TEST(IBDatabaseServerConnect, AttachesAndReadsTheDialect)
{
    const QString folder = testserver::NewFolder(QStringLiteral("database-connect"));
    const QString three = folder + QStringLiteral("DIALECT3.FDB");
    const QString one = folder + QStringLiteral("DIALECT1.FDB");
    testserver::CreateDatabase(three);
    testserver::CreateDatabase(one, QString(), 1);

    auto db = NewConnection(three);
    db->SetConnected(true);
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(db->DBSQLDialect(), 3);
    EXPECT_EQ(db->SQLDialect(), 3);
    db->SetConnected(false);
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(db->DBSQLDialect(), 1);

    auto old = NewConnection(one);
    old->SetConnected(true);
    EXPECT_EQ(old->DBSQLDialect(), 1);
    EXPECT_EQ(old->SQLDialect(), 1);
    old->SetConnected(false);

    // Connected again with the same lines (the stored block).
    db->SetConnected(true);
    EXPECT_EQ(db->DBSQLDialect(), 3);
}

TEST(IBDatabaseServerConnect, RefusalsCarryTheServersTexts)
{
    const QString folder = testserver::NewFolder(QStringLiteral("database-refusals"));
    const QString path = folder + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(path);

    auto db = NewConnection(path, QStringLiteral("wrong"));
    const EIBInterBaseError wrong = Raised<EIBInterBaseError>([&] { db->SetConnected(true); });
    EXPECT_EQ(wrong.IBErrorCode(), 335544472);
    EXPECT_EQ(wrong.SQLCode(), -902);
    EXPECT_EQ(wrong.Message(),
        QStringLiteral("Your user name and password are not defined. Ask your database "
                       "administrator to set up a Firebird login"));
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(db->Handle(), gds::Handle{});

    // The same object attaches once the password is right.
    db->Params().SetValue(QStringLiteral("Password"), testserver::Password());
    db->SetConnected(true);
    EXPECT_TRUE(db->Connected());
    db->SetConnected(false);

    const QString missing = folder + QStringLiteral("NO_SUCH.FDB");
    db->SetDatabaseName(testserver::ServerText() + missing);
    const EIBInterBaseError absent = Raised<EIBInterBaseError>([&] { db->SetConnected(true); });
    EXPECT_EQ(absent.IBErrorCode(), 335544344);
    EXPECT_EQ(absent.Message(),
        QStringLiteral("I/O error during \"open\" operation for file \"%1\"\r\n"
                       "Error while trying to open file\r\n"
                       "No such file or directory")
            .arg(testserver::ServerFileName(missing)));
    EXPECT_FALSE(db->Connected());
}

TEST(IBDatabaseServerConnect, NameAndParamsCannotChangeWhileConnected)
{
    const QString path = testserver::NewFolder(QStringLiteral("database-guards")) + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(path);
    auto db = NewConnection(path);
    db->SetConnected(true);
    const gds::Handle handle = db->Handle();
    const QStringList lines = db->Params().Lines();
    const QString name = db->DatabaseName();

    const std::vector<std::function<void()>> changes = {
        [&] { db->SetDatabaseName(name + QStringLiteral("X")); },
        [&] { db->Params().Add(QStringLiteral("sql_role_name=R")); },
        [&] { db->Params().Clear(); },
        [&] { db->Params().SetLine(1, QStringLiteral("Password=other")); },
        [&] { db->Params().Delete(0); },
        [&] { db->Params().Assign({QStringLiteral("user_name=X")}); },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        const EIBClientError e = Raised<EIBClientError>(changes[i]);
        EXPECT_EQ(e.SQLCode(), 16) << "change " << i;
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot perform operation -- DB is currently open"));
    }
    EXPECT_EQ(db->DatabaseName(), name);
    EXPECT_EQ(db->Params().Lines(), lines);
    EXPECT_EQ(db->Handle(), handle);
    EXPECT_NO_THROW(db->SetDatabaseName(name)); // the same text: nothing happens

    // Closed, the changes are accepted and the next connect uses them.
    db->SetConnected(false);
    db->Params().SetLine(1, QStringLiteral("Password=other"));
    EXPECT_THROW(db->SetConnected(true), EIBInterBaseError);
}

TEST(IBDatabaseServerConnect, ActiveTransactionIsCommittedBeforeTheDetach)
{
    const QString path = testserver::NewFolder(QStringLiteral("database-transaction")) + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(path);
    auto db = NewConnection(path);
    TIBTransaction transaction;
    db->SetDefaultTransaction(&transaction);
    transaction.SetDefaultDatabase(db.get());
    db->SetConnected(true);
    transaction.StartTransaction();
    ASSERT_TRUE(transaction.InTransaction());
    // The server refuses to detach with an open transaction; the close finishes it first.
    EXPECT_NO_THROW(db->SetConnected(false));
    EXPECT_FALSE(transaction.InTransaction());
    EXPECT_FALSE(db->Connected());
}

TEST(IBDatabaseServerCheck, ShutdownModeOfAnOnlineAndAShutDownDatabase)
{
    const QString path = testserver::NewFolder(QStringLiteral("database-shutdown")) + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(path);
    {
        auto db = NewConnection(path);
        db->SetConnected(true);
        EXPECT_EQ(ReadShutdownMode(*db), 0);
        EXPECT_EQ(ReadShutdownMode(*db), 0); // nothing left behind that blocks a second read
        db->SetConnected(false);
    }

    testserver::Gfix({QStringLiteral("-shut"), QStringLiteral("single"), QStringLiteral("-force"), QStringLiteral("0"),
        testserver::ServerText() + path});
    ASSERT_FALSE(::testing::Test::HasFailure());

    auto db = NewConnection(path);
    db->SetConnected(true);
    EXPECT_NE(ReadShutdownMode(*db), 0);
    db->SetConnected(false);
}

TEST(IBDatabaseServerCheck, DropDatabaseRemovesTheFile)
{
    const QString path = testserver::NewFolder(QStringLiteral("database-drop")) + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(path);
    ASSERT_TRUE(QFile::exists(path));
    auto db = NewConnection(path);
    db->SetConnected(true);
    DropDatabase(*db);
    EXPECT_FALSE(db->Connected());
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
