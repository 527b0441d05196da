// A failed call of the real client library against the private server: the
// exception carries the server's own texts.

#include "BindingTestSupport.h"
#include "ibclient/Database.h"
#include "TestServer.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"

#include <gtest/gtest.h>

#include <ibase.h>

TEST(BindingServer, FailedAttachRaisesTheServersTexts)
{
    const QString path = testserver::NewFolder(QStringLiteral("binding-server")) + QStringLiteral("missing.fdb");
    const QByteArray name = (testserver::ServerText() + path).toLocal8Bit();
    const QByteArray user = testserver::User().toLocal8Bit();
    const QByteArray password = testserver::Password().toLocal8Bit();
    QByteArray dpb;
    dpb.append(char(isc_dpb_version1));
    dpb.append(char(isc_dpb_user_name)).append(char(user.size())).append(user);
    dpb.append(char(isc_dpb_password)).append(char(password.size())).append(password);

    bindingtest::THookRecorder hook;
    gds::Handle handle{};
    const gds::Status status = ClientLibrary().isc_attach_database(
        CurrentStatusVector(), short(name.size()), name.constData(), &handle, short(dpb.size()), dpb.constData());
    EXPECT_GT(status, 0);
    EXPECT_EQ(handle, gds::Handle{});
    EXPECT_TRUE(StatusHasCode({isc_io_error}));
    EXPECT_FALSE(StatusHasCode({isc_login}));

    const QString expected = QStringLiteral("I/O error during \"open\" operation for file \"%1\"\r\n"
                                            "Error while trying to open file\r\n"
                                            "No such file or directory")
                                 .arg(testserver::ServerFileName(path));
    try {
        CheckStatus(status, true);
        FAIL() << "no exception";
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(e.Message(), expected);
        EXPECT_EQ(e.IBErrorCode(), 335544344);
        EXPECT_EQ(e.SQLCode(), -902);
    }
    EXPECT_EQ(hook.Errors(), QStringList{QStringLiteral("-902 335544344 ") + expected});
}

TEST(BindingServer, AFailureKeepsItsOwnCodesAfterTheNextCall)
{
    // Decisions about a failure (is the file missing? may a retry pass?) are
    // made after other calls have used the thread's status vector.
    const QString path = testserver::NewFolder(QStringLiteral("binding-codes")) + QStringLiteral("missing.fdb");
    const auto attach = [&path](const QString& password) -> EIBInterBaseError {
        TIBDatabase database;
        database.SetLoginPrompt(false);
        database.Params().Add(QStringLiteral("user_name=") + testserver::User());
        database.Params().Add(QStringLiteral("password=") + password);
        database.SetDatabaseName(testserver::ServerText() + path);
        try {
            database.SetConnected(true);
        } catch (const EIBInterBaseError& failure) {
            return failure;
        }
        ADD_FAILURE() << "attached";
        return EIBInterBaseError(0, QString());
    };
    const EIBInterBaseError missing = attach(testserver::Password());
    const EIBInterBaseError refused = attach(QStringLiteral("errada"));

    EXPECT_TRUE(missing.SaysNoSuchFile());
    EXPECT_TRUE(missing.HasCode({isc_io_error}));
    EXPECT_FALSE(missing.HasCode({isc_login}));
    EXPECT_TRUE(FailureSaysNoSuchFile(missing));
    EXPECT_FALSE(refused.SaysNoSuchFile());
    EXPECT_TRUE(refused.HasCode({isc_login}));
    EXPECT_TRUE(FailureHasCode(refused, {isc_network_error, isc_login}));
    // A failure that is not the server's says nothing of codes.
    EXPECT_FALSE(FailureHasCode(Exception(QStringLiteral("x")), {isc_login}));
}
