// The service objects' reading of a started request's output against the fake
// client library: a line per query and in bulk, scripted replies and failures.

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
