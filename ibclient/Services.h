#pragma once
// The service objects' common base: the service manager's name, the attach
// block built from the parameter lines, attaching and detaching, and reading
// a running job's output line by line.

#include "ibclient/GdsLibrary.h"
#include "ibclient/GdsTypes.h"
#include "ibclient/StringList.h"
#include "ibclient/TraceHook.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <exception>
#include <functional>
#include <vector>

// How a service object reaches the server.
enum TProtocol { TCP = 0, SPX = 1, NamedPipe = 2, Local = 3 };

// The service manager's name for a protocol and a server name
// ("host:service_mgr", "host@service_mgr", "\\host\service_mgr", "service_mgr").
QString BuildServiceName(TProtocol protocol, const QString& serverName);

// The attach block (service parameter block of isc_service_attach) for the
// parameter lines: 2, 2, then one item per recognised line. Raises client error
// 88 for a known name that is not sent, 89 for an unknown name, 122 for a value
// over 255 bytes and 123 for a block over 32767 bytes.
QByteArray BuildAttachBlock(const QStringList& params);

// Reads the 16-bit little-endian number at a position of a reply.
using TReplyIntegerReader = std::function<long(const char* position, short length)>;

// What one isc_info_svc_line reply says.
enum class TLineReply {
    Line, // a line of output
    End, // the output has ended (line length 0)
    NotReady, // no line yet, the job still runs: ask again
};

// Checks one isc_info_svc_line reply held in buffer (bufferSize bytes) and
// takes its line. A reply of line length 0 ends the output, unless the server
// marks it with isc_info_data_not_ready or isc_info_svc_timeout before the end
// marker: then no line was ready yet. The server sends that when a query meets
// the job between its last line and its end. Raises client error 95 when the
// reply does not start with 62, when its end marker 1 does not follow the line
// (or that mark), or when the line would run past the buffer; nothing outside
// the buffer is read. line gets the line's bytes up to its first zero byte.
// readInteger reads the line length (by default the bytes themselves; the
// service objects pass the client library's isc_vax_integer).
TLineReply ParseLineReply(const char* buffer, int bufferSize, QByteArray& line,
    const TReplyIntegerReader& readInteger = TReplyIntegerReader());

// What one isc_info_svc_to_eof reply says.
enum class TBulkReply {
    Output, // the output the server held (possibly none yet); more may follow
    End, // the output has ended (no bytes, and no mark that more may follow)
};

// Checks one isc_info_svc_to_eof reply held in buffer (bufferSize bytes) and
// takes its bytes: as much of the job's output as the server held, lines
// ending with their newline and the last one possibly cut off (its rest comes
// in the next reply). After the bytes the server may mark that the job goes
// on (isc_info_truncated, isc_info_data_not_ready or isc_info_svc_timeout);
// then comes the end marker 1. A reply without bytes and without such a mark
// ends the output; one with bytes never does, since the server may still hold
// more. Raises client error 95 when the reply does not start with 63, when
// the end marker does not follow the bytes (or their mark) or when the bytes
// would run past the buffer; nothing outside the buffer is read.
TBulkReply ParseBulkReply(const char* buffer, int bufferSize, QByteArray& output,
    const TReplyIntegerReader& readInteger = TReplyIntegerReader());

// Items of a start block: a string item is the code, the value's length in
// bytes (2 bytes, little-endian) and the value as 8-bit text; an empty value
// appends nothing. A value over 65535 bytes raises client error 122. An integer
// item is the code and the value as 4 bytes, little-endian.
void AppendStringItem(QByteArray& block, const QString& value, unsigned char code);
void AppendIntegerItem(QByteArray& block, int value, unsigned char code);

class TIBCustomService;
// Called with the object after each successful attach.
using TServiceNotification = std::function<void(TIBCustomService& service)>;
// Asked for credentials before an attach when LoginPrompt is on: may rewrite
// the lines it is given; returning false cancels the attach (client error 10).
using TServiceLoginEvent = std::function<bool(TIBCustomService& service, QStringList& loginParams)>;

class TIBCustomService {
public:
    TIBCustomService();
    virtual ~TIBCustomService();
    TIBCustomService(const TIBCustomService&) = delete;
    TIBCustomService& operator=(const TIBCustomService&) = delete;

    QString ServerName() const { return FServerName; }
    void SetServerName(const QString& value);
    TProtocol Protocol() const { return FProtocol; }
    void SetProtocol(TProtocol value);
    // Parameter lines (name=value); changing them while attached raises client error 91.
    TStringList& Params() { return FParams; }
    const TStringList& Params() const { return FParams; }
    void SetParams(const QStringList& lines);
    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool value) { FLoginPrompt = value; }
    TTraceFlags TraceFlags() const { return FTraceFlags; }
    void SetTraceFlags(const TTraceFlags& value) { FTraceFlags = value; }
    // May be asked from another thread while this one's output is read.
    bool Active() const { return FAttached.load(); }
    void SetActive(bool value);
    gds::Handle Handle() const { return FHandle; }
    // Size in bytes of the reply buffer of the output queries (1 to 65535).
    int BufferSize() const { return FBufferSize; }
    void SetBufferSize(int value);

    TServiceNotification OnAttach;
    TServiceLoginEvent OnLogin;

    void Attach();
    void Detach();

    void RequireAttached() const;
    void RequireDetached() const;
    void RequireServerName() const;

    // The status of a finished client call (raises the server error when asked and failed).
    gds::Status Call(gds::Status errCode, bool raiseError);

    // Request items of the next query, the items it sends (none unless set),
    // and the query itself: one isc_service_query whose reply is left in the
    // reply buffer. Both item lists are cleared by the query.
    QByteArray QueryParams() const { return FQueryParams; }
    void SetQueryParams(const QByteArray& value) { FQueryParams = value; }
    QByteArray QuerySendItems() const { return FQuerySendItems; }
    void SetQuerySendItems(const QByteArray& value) { FQuerySendItems = value; }
    void RunQuery();
    const std::vector<char>& OutputBuffer() const { return FOutputBuffer; }

protected:
    IGDSLibrary& GDSLibrary() { return FGDSLibrary; }
    gds::Handle* HandleAddress() { return &FHandle; }
    // Forgets the handle after a failed call on it and raises the server error.
    [[noreturn]] void LoseHandleAndRaise();
    // Allocates the reply buffer when it does not exist yet and fills it with
    // zero bytes, so that nothing of an earlier reply can be taken for the
    // next one.
    void ClearOutputBuffer();

private:
    bool FIBLoaded = false;
    bool FParamsChanged = true;
    QByteArray FSPB;
    QByteArray FQuerySPB;
    short FSPBLength = 0;
    short FQuerySPBLength = 0;
    TTraceFlags FTraceFlags;
    bool FLoginPrompt = true;
    // The largest reply the query call takes: read in bulk, each reply costs
    // the job a round trip, during which its output waits.
    int FBufferSize = 65535;
    std::vector<char> FOutputBuffer;
    QByteArray FQueryParams;
    QByteArray FQuerySendItems;
    QString FServerName;
    gds::Handle FHandle = 0;
    // Whether FHandle holds a handle, for Active() from other threads.
    std::atomic<bool> FAttached{false};
    TProtocol FProtocol = Local;
    TStringList FParams;
    IGDSLibrary& FGDSLibrary;
};

class TIBControlService : public TIBCustomService {
public:
    TIBControlService() = default;

    // Sends the object's start request on the attached service.
    virtual void ServiceStart();
    // The start block being sent: what the monitor hook's ServiceStart is
    // told of (empty at any other time).
    const QByteArray& StartBlock() const { return FStartSPB; }

protected:
    // Builds the start block into StartParams(); nothing here, the backup and
    // restore objects build theirs.
    virtual void BuildStartRequest() { }
    // Sends the start block with isc_service_start; client error 94 when it is
    // empty, 123 when it is over 65535 bytes.
    void SendStartRequest();
    QByteArray& StartParams() { return FStartParams; }
    void AppendStringItem(const QString& value, unsigned char code);
    void AppendIntegerItem(int value, unsigned char code);

private:
    QByteArray FStartParams;
    QByteArray FStartSPB;
    int FStartSPBLength = 0;
};

class TIBControlAndQueryService : public TIBControlService {
public:
    TIBControlAndQueryService() = default;

    // The next line of the running action's output, as a line-per-query
    // reply gives it (its newline turned into one blank); empty at its end,
    // which sets Eof.
    QString GetNextLine();
    bool Eof() const { return FEof; }
    // Action code of the last started request: 0 none, 1 backup, 2 restore.
    int Action() const { return FAction; }
    // Whether GetNextLine asks the server for all the output it holds at once
    // (isc_info_svc_to_eof, the default) or for one line per query
    // (isc_info_svc_line). The lines are the same either way; in bulk a job
    // costs a round trip per reply buffer of output instead of one per line.
    bool BulkOutput() const { return FBulkOutput; }
    void SetBulkOutput(bool value) { FBulkOutput = value; }

protected:
    void BeginAction(int code);

private:
    QString NextLineByQuery();
    QString NextLineInBulk();
    // One isc_info_svc_to_eof query; its bytes go to FHeld.
    void QueryBulk();

    bool FEof = false;
    int FAction = 0;
    bool FBulkOutput = true;
    // Output received in bulk and not handed out yet: from FHeldFrom on.
    QByteArray FHeld;
    qsizetype FHeldFrom = 0;
    // The server has said that the output ended; FHeld has the last of it.
    bool FOutputEnded = false;
    // What a failed bulk query raised: raised once the lines its reply
    // carried have been handed out.
    std::exception_ptr FFailure;
};
