// The service objects against the fake client library: exact blocks and names
// handed to the client calls, scripted output replies and scripted failures.

#include "EightBitText.h"
#include "ServiceTestSupport.h"
#include "ServicesObjectsFixture.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"
#include "ibclient/Services.h"

#include <gtest/gtest.h>

#include <memory>

using servicetest::Bytes;
using servicetest::ClientErrorOf;
using servicetest::Hex;

TEST(ServicesLibrary, ConstructionWithoutClientLibraryIsClientError1)
{
    const QByteArray fakeLibrary = qgetenv("ZUR_CLIENT_LIBRARY");
    qputenv("ZUR_CLIENT_LIBRARY", "/nonexistent/libfbclient.so.2");
    try {
        TIBBackupService backup;
        FAIL() << "constructed without a client library";
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.SQLCode(), 1);
        EXPECT_EQ(e.Message(), ClientErrorMessage(1));
    }
    // A later construction tries the load again.
    qputenv("ZUR_CLIENT_LIBRARY", fakeLibrary);
    TIBRestoreService restore;
    EXPECT_FALSE(restore.Active());
}

TEST_F(ServicesObjects, Defaults)
{
    TIBRestoreService restore;
    EXPECT_EQ(restore.Protocol(), Local);
    EXPECT_TRUE(restore.ServerName().isEmpty());
    EXPECT_TRUE(restore.LoginPrompt());
    EXPECT_EQ(restore.BufferSize(), 65535);
    EXPECT_FALSE(restore.Active());
    EXPECT_EQ(restore.Handle(), gds::Handle{});
    EXPECT_FALSE(restore.Eof());
    EXPECT_EQ(restore.Action(), 0);
    EXPECT_FALSE(restore.Verbose());
    EXPECT_EQ(restore.Options(), TRestoreOptions{TRestoreOption::CreateNewDB});
    EXPECT_EQ(restore.PageSize(), 4096);
    EXPECT_EQ(restore.PageBuffers(), 0);
    TIBBackupService backup;
    EXPECT_TRUE(backup.Options().empty());
    EXPECT_EQ(backup.BlockingFactor(), 0);
    EXPECT_EQ(backup.BackupFile().Count(), 0);
}

TEST_F(ServicesObjects, ServiceNameFollowsProtocolAndServerName)
{
    TIBBackupService service;
    service.SetLoginPrompt(false);

    // A host name on a fresh (Local) object switches it to TCP.
    service.SetServerName(QStringLiteral("db.example"));
    EXPECT_EQ(service.Protocol(), TCP);
    service.Attach();
    EXPECT_EQ(fake::LastName("isc_service_attach"), QByteArray("db.example:service_mgr"));
    service.Detach();

    service.SetProtocol(SPX);
    service.Attach();
    EXPECT_EQ(fake::LastName("isc_service_attach"), QByteArray("db.example@service_mgr"));
    service.Detach();

    service.SetProtocol(NamedPipe);
    service.Attach();
    EXPECT_EQ(fake::LastName("isc_service_attach"), QByteArray("\\\\db.example\\service_mgr"));
    service.Detach();

    // Local clears the server name.
    service.SetProtocol(Local);
    EXPECT_TRUE(service.ServerName().isEmpty());
    service.Attach();
    EXPECT_EQ(fake::LastName("isc_service_attach"), QByteArray("service_mgr"));
    service.Detach();

    // An empty server name turns any other protocol into Local.
    service.SetServerName(QStringLiteral("h"));
    service.SetProtocol(SPX);
    service.SetServerName(QString());
    EXPECT_EQ(service.Protocol(), Local);

    // TCP without a server name: refused before any client call.
    service.SetProtocol(TCP);
    const int attaches = fake::CallCount("isc_service_attach");
    EXPECT_EQ(ClientErrorOf([&] { service.Attach(); }), ibxeServerNameMissing);
    EXPECT_EQ(fake::CallCount("isc_service_attach"), attaches);
    EXPECT_FALSE(service.Active());
}

TEST_F(ServicesObjects, AttachSendsTheBlockOfTheCurrentParameters)
{
    TIBBackupService service;
    Prepare(service);
    int attached = 0;
    service.OnAttach = [&](TIBCustomService& s) {
        EXPECT_EQ(&s, &service);
        ++attached;
    };
    service.Attach();
    EXPECT_TRUE(service.Active());
    EXPECT_NE(service.Handle(), gds::Handle{});
    EXPECT_EQ(attached, 1);
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_attach")), Hex(Bytes(2, 2, 28, 6, "SYSDBA", 29, 2, "pw")));
    service.Detach();
    EXPECT_FALSE(service.Active());

    service.Params().SetValue(QStringLiteral("password"), QStringLiteral("other"));
    service.Attach();
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_attach")), Hex(Bytes(2, 2, 28, 6, "SYSDBA", 29, 5, "other")));
    service.Detach();

    service.SetParams({});
    service.Attach();
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_attach")), Hex(Bytes(2, 2)));
}

TEST_F(ServicesObjects, FailedBuildSendsNothingAndIsBuiltAgain)
{
    TIBBackupService service;
    Prepare(service);
    service.Attach();
    service.Detach();
    const int attaches = fake::CallCount("isc_service_attach");

    service.Params().Add(QStringLiteral("db_name=/x.fdb"));
    EXPECT_EQ(ClientErrorOf([&] { service.Attach(); }), ibxeSPBConstantNotSupported);
    // The next attach builds again instead of sending the earlier block.
    EXPECT_EQ(ClientErrorOf([&] { service.Attach(); }), ibxeSPBConstantNotSupported);
    EXPECT_EQ(fake::CallCount("isc_service_attach"), attaches);
    EXPECT_FALSE(service.Active());

    service.SetParams({"password=" + QString(256, u'p')});
    EXPECT_EQ(ClientErrorOf([&] { service.Attach(); }), ibxeParamValueTooLong);
    EXPECT_EQ(fake::CallCount("isc_service_attach"), attaches);

    service.SetParams({QStringLiteral("user_name=a")});
    service.Attach();
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_attach")), Hex(Bytes(2, 2, 28, 1, "a")));
}

TEST_F(ServicesObjects, NothingChangesWhileAttached)
{
    TIBBackupService service;
    Prepare(service);
    service.Attach();
    const gds::Handle handle = service.Handle();

    EXPECT_EQ(ClientErrorOf([&] { service.Attach(); }), ibxeServiceInActive);
    EXPECT_EQ(ClientErrorOf([&] { service.SetServerName(QStringLiteral("other")); }), ibxeServiceInActive);
    EXPECT_EQ(ClientErrorOf([&] { service.SetProtocol(SPX); }), ibxeServiceInActive);
    EXPECT_EQ(ClientErrorOf([&] { service.Params().Add(QStringLiteral("user_name=x")); }), ibxeServiceInActive);
    EXPECT_EQ(ClientErrorOf([&] { service.SetParams({}); }), ibxeServiceInActive);
    EXPECT_EQ(ClientErrorOf([&] { service.Params().Clear(); }), ibxeServiceInActive);
    // Writing the values it already has is no change.
    EXPECT_EQ(ClientErrorOf([&] {
        service.SetServerName(QStringLiteral("srv"));
        service.SetProtocol(TCP);
        service.SetActive(true);
    }),
        -1);

    EXPECT_EQ(service.Handle(), handle);
    EXPECT_EQ(service.ServerName(), QStringLiteral("srv"));
    EXPECT_EQ(service.Protocol(), TCP);
    EXPECT_EQ(service.Params().Lines(), QStringList({"user_name=SYSDBA", "password=pw"}));
    EXPECT_EQ(fake::CallCount("isc_service_attach"), 1);

    service.SetActive(false);
    EXPECT_FALSE(service.Active());
    EXPECT_EQ(fake::CallCount("isc_service_detach"), 1);
    EXPECT_EQ(ClientErrorOf([&] { service.SetActive(false); }), -1);
    EXPECT_EQ(ClientErrorOf([&] { service.Detach(); }), ibxeServiceActive);
    EXPECT_EQ(fake::CallCount("isc_service_detach"), 1);
    service.SetActive(true);
    EXPECT_TRUE(service.Active());
}

TEST_F(ServicesObjects, LoginPrompt)
{
    TIBBackupService service;
    Prepare(service);
    service.SetLoginPrompt(true);

    // Without a handler the list is used as it is.
    service.Attach();
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_attach")), Hex(Bytes(2, 2, 28, 6, "SYSDBA", 29, 2, "pw")));
    service.Detach();

    // A handler's answer is sent for this attach; the list stays as it was.
    service.OnLogin = [](TIBCustomService&, QStringList& lines) {
        lines = QStringList{QStringLiteral("user_name=ana"), QStringLiteral("password=x")};
        return true;
    };
    service.Attach();
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_attach")), Hex(Bytes(2, 2, 28, 3, "ana", 29, 1, "x")));
    EXPECT_EQ(service.Params().Value(QStringLiteral("user_name")), QStringLiteral("SYSDBA"));
    service.Detach();
    service.SetLoginPrompt(false);
    service.Attach();
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_attach")), Hex(Bytes(2, 2, 28, 6, "SYSDBA", 29, 2, "pw")));
    service.Detach();

    // A refused prompt cancels the attach.
    service.SetLoginPrompt(true);
    service.OnLogin = [](TIBCustomService&, QStringList&) { return false; };
    const int attaches = fake::CallCount("isc_service_attach");
    EXPECT_EQ(ClientErrorOf([&] { service.Attach(); }), ibxeOperationCancelled);
    EXPECT_EQ(fake::CallCount("isc_service_attach"), attaches);
    EXPECT_FALSE(service.Active());
}

TEST_F(ServicesObjects, FailedAttachIsTheServerErrorAndStaysDetached)
{
    TIBBackupService service;
    Prepare(service);
    fake::Fail("isc_service_attach", -902, {{335544472, WrongLogin}});
    try {
        service.Attach();
        FAIL() << "attached";
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(e.SQLCode(), -902);
        EXPECT_EQ(e.IBErrorCode(), 335544472);
        EXPECT_EQ(e.Message(), QString::fromLatin1(WrongLogin).chopped(1));
    }
    EXPECT_FALSE(service.Active());
    EXPECT_EQ(service.Handle(), gds::Handle{});
    // The block was built; the next attach sends it.
    service.Attach();
    EXPECT_TRUE(service.Active());
}

TEST_F(ServicesObjects, StartSendsTheApplicationsBlocks)
{
    TIBBackupService backup;
    Prepare(backup);
    backup.SetOptions({});
    backup.SetVerbose(true);
    backup.SetDatabaseName(QStringLiteral("/srv/db/DADOS.FDB"));
    backup.BackupFile().Add(QStringLiteral("/exe/DADOS20240131.BKP"));
    backup.Attach();
    backup.ServiceStart();
    EXPECT_EQ(backup.Action(), 1);
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_start")),
        Hex(Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0, 107, 5, 22, 0, "/exe/DADOS20240131.BKP")));

    TIBRestoreService restore;
    Prepare(restore);
    restore.SetOptions({TRestoreOption::Replace, TRestoreOption::CreateNewDB, TRestoreOption::UseAllSpace});
    restore.SetPageSize(4096);
    restore.SetPageBuffers(0);
    restore.SetVerbose(true);
    restore.SetBackupFile({QStringLiteral("/exe/A.BKP")});
    restore.DatabaseName().Add(QStringLiteral("/srv/db/DADOS.FDB"));
    restore.Attach();
    restore.ServiceStart();
    EXPECT_EQ(restore.Action(), 2);
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_start")),
        Hex(Bytes(2, 108, 0x00, 0x70, 0x00, 0x00, 107, 10, 0x00, 0x10, 0x00, 0x00, 5, 10, 0, "/exe/A.BKP", 106, 17, 0,
            "/srv/db/DADOS.FDB")));

    // The properties stay: the same object starts the same request again.
    restore.Detach();
    restore.Attach();
    restore.ServiceStart();
    EXPECT_EQ(fake::CallCount("isc_service_start"), 3);
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_start")).substr(0, 2), "02");
}

TEST_F(ServicesObjects, StartRefusals)
{
    // Detached: nothing is built, the finished action stays as it was.
    auto backup = StartedBackup();
    while (!backup->Eof())
        backup->GetNextLine();
    backup->Detach();
    EXPECT_EQ(ClientErrorOf([&] { backup->ServiceStart(); }), ibxeServiceActive);
    EXPECT_TRUE(backup->Eof());
    EXPECT_EQ(fake::CallCount("isc_service_start"), 1);

    // Empty database name: refused before the action begins.
    TIBBackupService unnamed;
    Prepare(unnamed);
    unnamed.Attach();
    EXPECT_EQ(ClientErrorOf([&] { unnamed.ServiceStart(); }), ibxeStartParamsError);
    EXPECT_EQ(unnamed.Action(), 0);
    EXPECT_TRUE(unnamed.Active());

    // A size that is no integer: the action has begun, nothing is sent.
    unnamed.SetDatabaseName(QStringLiteral("/db/x.fdb"));
    unnamed.BackupFile().Add(QStringLiteral("/b/x.BKP=big"));
    EXPECT_THROW(unnamed.ServiceStart(), EConvertError);
    EXPECT_EQ(unnamed.Action(), 1);
    EXPECT_FALSE(unnamed.Eof());
    EXPECT_TRUE(unnamed.Active());

    // A start block beyond 65535 bytes.
    unnamed.SetBackupFile({QString(40000, u'a'), QString(40000, u'b')});
    EXPECT_EQ(ClientErrorOf([&] { unnamed.ServiceStart(); }), ibxeParamBlockTooLong);
    EXPECT_TRUE(unnamed.Active());

    // An object without a request of its own has nothing to send.
    TIBControlService control;
    Prepare(control);
    control.Attach();
    EXPECT_EQ(ClientErrorOf([&] { control.ServiceStart(); }), ibxeStartParamsError);
    EXPECT_TRUE(control.Active());

    EXPECT_EQ(fake::CallCount("isc_service_start"), 1);

    // The block that failed leaves nothing behind: the next start sends a whole one.
    unnamed.SetBackupFile({QStringLiteral("/b/x.BKP")});
    unnamed.ServiceStart();
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_start")),
        Hex(Bytes(1, 106, 9, 0, "/db/x.fdb", 108, 0, 0, 0, 0, 5, 8, 0, "/b/x.BKP")));
}

TEST_F(ServicesObjects, FailedStartQueryOrDetachClearsTheHandle)
{
    const std::vector<fake::StatusText> failure{{335544344, "I/O error during \"open\" operation for file \"/x\""},
        {335544734, "Error while trying to open file"}};
    const QString message
        = QStringLiteral("I/O error during \"open\" operation for file \"/x\"\r\nError while trying to open file");

    auto expectServerError = [&](auto&& action) {
        try {
            action();
            ADD_FAILURE() << "no error";
        } catch (const EIBInterBaseError& e) {
            EXPECT_EQ(e.Message(), message);
            EXPECT_EQ(e.IBErrorCode(), 335544344);
        }
    };

    {
        SCOPED_TRACE("start");
        TIBBackupService service;
        Prepare(service);
        service.SetDatabaseName(QStringLiteral("/x"));
        service.Attach();
        fake::Fail("isc_service_start", -902, failure);
        expectServerError([&] { service.ServiceStart(); });
        EXPECT_FALSE(service.Active());
        EXPECT_EQ(service.Handle(), gds::Handle{});
        EXPECT_EQ(service.Action(), 1);
        EXPECT_EQ(ClientErrorOf([&] { service.Detach(); }), ibxeServiceActive);
    }
    EXPECT_EQ(fake::CallCount("isc_service_detach"), 0);

    {
        SCOPED_TRACE("query");
        auto service = StartedBackup();
        fake::Fail("isc_service_query", -902, failure);
        expectServerError([&] { service->GetNextLine(); });
        EXPECT_FALSE(service->Active());
        EXPECT_FALSE(service->Eof());
    }
    EXPECT_EQ(fake::CallCount("isc_service_detach"), 0);

    {
        SCOPED_TRACE("detach");
        auto service = StartedBackup();
        fake::Fail("isc_service_detach", -902, failure);
        expectServerError([&] { service->Detach(); });
        EXPECT_FALSE(service->Active());
        EXPECT_EQ(service->Handle(), gds::Handle{});
    }
    EXPECT_EQ(fake::CallCount("isc_service_detach"), 1);
}

TEST_F(ServicesObjects, DestructionDetaches)
{
    {
        TIBRestoreService service;
        Prepare(service);
        service.Attach();
    }
    EXPECT_EQ(fake::CallCount("isc_service_detach"), 1);
    {
        TIBRestoreService service;
        Prepare(service);
        service.Attach();
        fake::Fail("isc_service_detach", -902, {{335544721, "Unable to complete network request"}});
    }
    EXPECT_EQ(fake::CallCount("isc_service_detach"), 2);
    {
        TIBRestoreService detached;
    }
    EXPECT_EQ(fake::CallCount("isc_service_detach"), 2);
}
