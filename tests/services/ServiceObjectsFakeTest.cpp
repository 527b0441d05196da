// The service objects against the fake client library: exact blocks and names
// handed to the client calls, scripted output replies and scripted failures.

#include "BackupRestoreServices.h"
#include "EightBitText.h"
#include "Errors.h"
#include "FakeClientControl.h"
#include "GdsLibrary.h"
#include "ServiceTestSupport.h"
#include "Services.h"

#include <gtest/gtest.h>

#include <memory>

using servicetest::Bytes;
using servicetest::ClientErrorOf;
using servicetest::Hex;

namespace {

const char* const WrongLogin
    = "Your user name and password are not defined. Ask your database administrator to set up a Firebird login.";

class ServicesObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClientLibrary().CheckIBLoaded();
        fake::Reset();
    }

    static void Prepare(TIBCustomService& service)
    {
        service.SetLoginPrompt(false);
        service.SetServerName(QStringLiteral("srv"));
        service.SetParams({QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=pw")});
    }

    // An attached backup object whose request has been started, reading its
    // output in bulk or one line per query.
    static std::unique_ptr<TIBBackupService> StartedBackup(bool bulk = true)
    {
        auto backup = std::make_unique<TIBBackupService>();
        backup->SetBulkOutput(bulk);
        Prepare(*backup);
        backup->SetDatabaseName(QStringLiteral("/db/x.fdb"));
        backup->Attach();
        backup->ServiceStart();
        return backup;
    }
};

} // namespace

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

TEST_F(ServicesObjects, GetNextLineByQueryReadsScriptedReplies)
{
    struct TCase {
        const char* title;
        QByteArray reply;
        int bufferSize;
        int error; // client error expected, -1 for none
        QString line;
        bool eof;
    };
    const QByteArray longLine(32768, 'x');
    const QByteArray accented = testtext::EightBit(QStringLiteral(u"ção"));
    const TCase cases[] = {
        {"end of output", Bytes(62, 0, 0, 1), 32000, -1, QString(), true},
        {"a line", Bytes(62, 5, 0, "hello", 1), 32000, -1, QStringLiteral("hello"), false},
        {"truncated marker", Bytes(62, 5, 0, "hello", 2), 32000, ibxeOutputParsingError, QString(), false},
        {"other first byte", Bytes(63, 5, 0, "hello", 1), 32000, ibxeOutputParsingError, QString(), false},
        {"empty reply", Bytes(0, 0, 0, 0), 32000, ibxeOutputParsingError, QString(), false},
        {"length past the buffer", Bytes(62, 10, 0, "abcdefghij", 1), 8, ibxeOutputParsingError, QString(), false},
        {"end marker just beyond the buffer", Bytes(62, 5, 0, "hello", 1), 8, ibxeOutputParsingError, QString(), false},
        {"reply filling the buffer exactly", Bytes(62, 5, 0, "hello", 1), 9, -1, QStringLiteral("hello"), false},
        {"a zero byte ends the text", Bytes(62, 3, 0, "a", 0, "b", 1), 32000, -1, QStringLiteral("a"), false},
        {"8-bit text", Bytes(62, int(accented.size()), 0, accented, 1), 32000, -1, QStringLiteral("\u00e7\u00e3o"),
            false},
        {"line length above 32767", Bytes(62, 0x00, 0x80, longLine, 1), 40000, -1, QString::fromLatin1(longLine),
            false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.title);
        fake::Reset();
        auto backup = StartedBackup(false);
        backup->SetBufferSize(c.bufferSize);
        fake::PushQueryReply(c.reply);
        QString line;
        EXPECT_EQ(ClientErrorOf([&] { line = backup->GetNextLine(); }), c.error);
        EXPECT_EQ(line, c.line);
        EXPECT_EQ(backup->Eof(), c.eof);
        // A reply the reader refuses leaves the attachment in place.
        EXPECT_TRUE(backup->Active());
        EXPECT_EQ(Hex(fake::LastBlock("isc_service_query")), Hex(Bytes(62)));
    }
}

// A query that meets the job between its last line and its end gets an empty
// line marked "not ready" (or "timeout") from the server: no line yet, not the
// end of the output and not a failure.
TEST_F(ServicesObjects, GetNextLineByQueryAsksAgainWhileTheServerHasNoLineReady)
{
    auto backup = StartedBackup(false);
    fake::PushQueryReply(Bytes(62, 0, 0, 4, 1));
    fake::PushQueryReply(Bytes(62, 0, 0, 64, 1));
    fake::PushQueryReply(Bytes(62, 5, 0, "hello", 1));
    fake::PushQueryReply(Bytes(62, 0, 0, 4, 1));
    fake::PushQueryReply(Bytes(62, 0, 0, 1));
    EXPECT_EQ(backup->GetNextLine(), QStringLiteral("hello"));
    EXPECT_FALSE(backup->Eof());
    EXPECT_EQ(fake::CallCount("isc_service_query"), 3);
    EXPECT_EQ(backup->GetNextLine(), QString());
    EXPECT_TRUE(backup->Eof());
    EXPECT_EQ(fake::CallCount("isc_service_query"), 5);

    // Only an empty line carries that mark; anything else after a line is refused.
    fake::Reset();
    backup = StartedBackup(false);
    fake::PushQueryReply(Bytes(62, 5, 0, "hello", 4, 1));
    EXPECT_EQ(ClientErrorOf([&] { backup->GetNextLine(); }), ibxeOutputParsingError);
    fake::PushQueryReply(Bytes(62, 0, 0, 4, 2));
    EXPECT_EQ(ClientErrorOf([&] { backup->GetNextLine(); }), ibxeOutputParsingError);
}

TEST_F(ServicesObjects, GetNextLineBeforeStartAndAfterEnd)
{
    TIBBackupService service;
    service.SetBulkOutput(false);
    Prepare(service);
    service.SetDatabaseName(QStringLiteral("/db/x.fdb"));
    service.Attach();
    EXPECT_EQ(ClientErrorOf([&] { service.GetNextLine(); }), ibxeQueryParamsError);
    EXPECT_EQ(fake::CallCount("isc_service_query"), 0);

    service.ServiceStart();
    fake::PushQueryReply(Bytes(62, 3, 0, "one", 1));
    fake::PushQueryReply(Bytes(62, 3, 0, "two", 1));
    QStringList lines;
    while (!service.Eof())
        lines << service.GetNextLine();
    EXPECT_EQ(lines, QStringList({"one", "two", ""}));
    EXPECT_EQ(fake::CallCount("isc_service_query"), 3);
    EXPECT_EQ(service.GetNextLine(), QString());
    EXPECT_EQ(service.GetNextLine(), QString());
    EXPECT_EQ(fake::CallCount("isc_service_query"), 3);
    EXPECT_EQ(service.Action(), 1);

    // A new start reads again.
    service.ServiceStart();
    EXPECT_FALSE(service.Eof());
    fake::PushQueryReply(Bytes(62, 5, 0, "again", 1));
    EXPECT_EQ(service.GetNextLine(), QStringLiteral("again"));
    EXPECT_EQ(fake::CallCount("isc_service_query"), 4);
}

// An isc_info_svc_to_eof reply: the output bytes, then the mark that the job
// goes on (isc_info_truncated 2, isc_info_data_not_ready 4,
// isc_info_svc_timeout 64; 0 for none) and the end marker.
QByteArray BulkReply(const QByteArray& output, int mark = 2)
{
    QByteArray reply = Bytes(63, output.size() & 0xFF, (output.size() >> 8) & 0xFF, output);
    if (mark)
        reply.append(static_cast<char>(mark));
    reply.append(static_cast<char>(1));
    return reply;
}

// The lines GetNextLine gives to the end of the output (the empty one that
// sets Eof included), at most 100.
QStringList ReadAll(TIBControlAndQueryService& service)
{
    QStringList lines;
    while (!service.Eof() && lines.size() < 100)
        lines << service.GetNextLine();
    return lines;
}

TEST_F(ServicesObjects, BulkQueryAsksForAllTheOutputWithATimeout)
{
    auto backup = StartedBackup();
    fake::PushQueryReply(BulkReply("gbak: one\n"));
    EXPECT_EQ(backup->GetNextLine(), QStringLiteral("gbak: one "));
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_query")), Hex(Bytes(63)));
    // isc_info_svc_timeout, 4 bytes, 1 second.
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_query send")), Hex(Bytes(64, 4, 0, 1, 0, 0, 0)));
    // The line-per-query reading sends nothing.
    backup = StartedBackup(false);
    fake::PushQueryReply(Bytes(62, 3, 0, "one", 1));
    EXPECT_EQ(backup->GetNextLine(), QStringLiteral("one"));
    EXPECT_EQ(Hex(fake::LastBlock("isc_service_query send")), "");
}

// The lines come out as a line-per-query reading gives them: each with one
// blank in place of its newline, whatever way the replies cut the output.
TEST_F(ServicesObjects, BulkRepliesAreSplitIntoTheServersLines)
{
    struct TCase {
        const char* title;
        std::vector<QByteArray> replies; // the default reply (the end) follows them
        int bufferSize;
        QStringList lines;
        int queries;
    };
    const QByteArray longLine(40, 'x');
    const TCase cases[] = {
        {"the end marker alone", {}, 32000, {""}, 1},
        {"several lines in one reply", {BulkReply("gbak: a\ngbak: bb\n")}, 32000, {"gbak: a ", "gbak: bb ", ""}, 2},
        {"the last reply of a job carries no mark", {BulkReply("a\nb\n", 0)}, 32000, {"a ", "b ", ""}, 2},
        {"a line split across replies", {BulkReply("gbak: one\ngbak: t"), BulkReply("w", 64), BulkReply("o\n")}, 32000,
            {"gbak: one ", "gbak: two ", ""}, 4},
        {"a newline alone at the start of a reply", {BulkReply("abc"), BulkReply("\nd\n")}, 32000, {"abc ", "d ", ""},
            3},
        {"a line longer than the reply buffer",
            {BulkReply(longLine.left(15)), BulkReply(longLine.mid(15, 15)), BulkReply(longLine.mid(30) + "\nz\n")}, 20,
            {QString::fromLatin1(longLine) + " ", "z ", ""}, 4},
        {"replies without output while the job is busy",
            {BulkReply("", 4), BulkReply("", 64), BulkReply("a\n"), BulkReply("", 64)}, 32000, {"a ", ""}, 5},
        {"the last line without a newline", {BulkReply("a\nb", 0)}, 32000, {"a ", "b", ""}, 2},
        {"empty lines", {BulkReply("\n\na\n")}, 32000, {" ", " ", "a ", ""}, 2},
        {"a carriage return stays", {BulkReply("a\r\n")}, 32000, {"a\r ", ""}, 2},
        {"a zero byte ends a line's text", {BulkReply(QByteArray("a\0b\nc\n", 6))}, 32000, {"a", "c ", ""}, 2},
        {"8-bit text", {BulkReply(testtext::EightBit(QStringLiteral(u"ção")) + "\n")}, 32000,
            {QStringLiteral("\u00e7\u00e3o "), ""}, 2},
        {"a reply filling the buffer exactly", {BulkReply("abc\n"), BulkReply("de\n", 0)}, 9, {"abc ", "de ", ""}, 3},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.title);
        fake::Reset();
        auto backup = StartedBackup();
        backup->SetBufferSize(c.bufferSize);
        for (const QByteArray& reply : c.replies)
            fake::PushQueryReply(reply);
        EXPECT_EQ(ReadAll(*backup), c.lines);
        EXPECT_EQ(fake::CallCount("isc_service_query"), c.queries);
        EXPECT_TRUE(backup->Eof());
        EXPECT_TRUE(backup->Active());
        EXPECT_EQ(backup->GetNextLine(), QString());
        EXPECT_EQ(fake::CallCount("isc_service_query"), c.queries);
    }
}

TEST_F(ServicesObjects, BulkRepliesThatAreRefused)
{
    struct TCase {
        const char* title;
        QByteArray reply;
        int bufferSize;
    };
    const TCase cases[] = {
        {"a line reply", Bytes(62, 2, 0, "a\n", 1), 32000},
        {"no end marker", Bytes(63, 2, 0, "a\n", 0), 32000},
        {"an unknown mark", Bytes(63, 2, 0, "a\n", 3, 1), 32000},
        {"a mark without the end marker", Bytes(63, 2, 0, "a\n", 2, 0), 32000},
        {"length past the buffer", Bytes(63, 10, 0, "abcdefghij", 1), 8},
        {"end marker just beyond the buffer", Bytes(63, 4, 0, "abc\n", 2, 1), 8},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.title);
        fake::Reset();
        auto backup = StartedBackup();
        backup->SetBufferSize(c.bufferSize);
        fake::PushQueryReply(c.reply);
        EXPECT_EQ(ClientErrorOf([&] { backup->GetNextLine(); }), ibxeOutputParsingError);
        EXPECT_FALSE(backup->Eof());
        EXPECT_TRUE(backup->Active());
    }
}

// A job that fails: its failure comes with the reply of the query that met
// it. The lines read before it, those of that reply included, come out first,
// then the failure; nothing of an earlier reply comes out twice.
TEST_F(ServicesObjects, BulkFailureAfterSomeLines)
{
    const fake::StatusText failure{335544344, "I/O error during \"write\" operation for file \"/b/x.BKP\""};
    const QString message = QString::fromLatin1(failure.text);
    const auto expectFailure = [&](TIBControlAndQueryService& service) {
        try {
            service.GetNextLine();
            ADD_FAILURE() << "no failure";
        } catch (const EIBInterBaseError& e) {
            EXPECT_EQ(e.Message(), message);
            EXPECT_EQ(e.IBErrorCode(), failure.code);
        }
        EXPECT_FALSE(service.Active());
        EXPECT_FALSE(service.Eof());
    };
    {
        SCOPED_TRACE("the failing query's reply carries lines");
        auto backup = StartedBackup();
        fake::PushQueryReply(BulkReply("gbak: one\ngbak: tw"));
        QStringList lines{backup->GetNextLine()};
        // A scripted failure meets the next query.
        fake::FailQueryWithReply(BulkReply("o\ngbak: three\ngbak: fo", 0), -902, failure);
        for (int i = 0; i < 3; ++i)
            lines << backup->GetNextLine();
        EXPECT_EQ(lines, QStringList({"gbak: one ", "gbak: two ", "gbak: three ", "gbak: fo"}));
        EXPECT_FALSE(backup->Active());
        expectFailure(*backup);
    }
    fake::Reset();
    {
        SCOPED_TRACE("the failing query leaves no reply");
        auto backup = StartedBackup();
        fake::PushQueryReply(BulkReply("gbak: one\ngbak: tw"));
        EXPECT_EQ(backup->GetNextLine(), QStringLiteral("gbak: one "));
        fake::Fail("isc_service_query", -902, {failure});
        EXPECT_EQ(backup->GetNextLine(), QStringLiteral("gbak: tw"));
        expectFailure(*backup);
        EXPECT_EQ(fake::CallCount("isc_service_query"), 2);
    }
    fake::Reset();
    {
        SCOPED_TRACE("the failure right after a whole reply");
        auto backup = StartedBackup();
        fake::PushQueryReply(BulkReply("gbak: one\n"));
        EXPECT_EQ(backup->GetNextLine(), QStringLiteral("gbak: one "));
        fake::Fail("isc_service_query", -902, {failure});
        expectFailure(*backup);
    }
}

TEST_F(ServicesObjects, BulkOutputOfAnEarlierRequestIsForgotten)
{
    auto backup = StartedBackup();
    fake::PushQueryReply(BulkReply("gbak: one\ngbak: two\ngbak: th"));
    EXPECT_EQ(backup->GetNextLine(), QStringLiteral("gbak: one "));
    backup->ServiceStart();
    fake::PushQueryReply(BulkReply("gbak: new\n"));
    EXPECT_EQ(ReadAll(*backup), QStringList({"gbak: new ", ""}));
}

TEST_F(ServicesObjects, BufferSizeLimits)
{
    TIBBackupService service;
    EXPECT_EQ(ClientErrorOf([&] { service.SetBufferSize(65536); }), ibxeParamValueTooLong);
    EXPECT_EQ(ClientErrorOf([&] { service.SetBufferSize(0); }), ibxeParamValueTooLong);
    EXPECT_EQ(service.BufferSize(), 65535);
    service.SetBufferSize(32000);
    EXPECT_EQ(service.BufferSize(), 32000);
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
