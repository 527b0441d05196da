#include "ibclient/Services.h"

#include "ibclient/Errors.h"
#include "ibclient/StringList.h"

#include <ibase.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// Runs an action when the scope ends, however it ends.
template <typename F> class TFinally {
public:
    explicit TFinally(F action)
        : FAction(std::move(action))
    {
    }
    ~TFinally() { FAction(); }
    TFinally(const TFinally&) = delete;
    TFinally& operator=(const TFinally&) = delete;

private:
    F FAction;
};
template <typename F> TFinally<F> Finally(F action)
{
    return TFinally<F>(std::move(action));
}

// Longest attach block (its length is a signed 16-bit count) and longest value in it.
constexpr int MaxAttachBlock = 32767;
constexpr int MaxAttachValue = 255;
// Longest start block and string value (unsigned 16-bit counts).
constexpr int MaxStartBlock = 65535;
constexpr int MaxStartValue = 65535;
// The reply length goes to the query call as an unsigned 16-bit number.
constexpr int MaxBufferSize = 65535;
// How long the server may hold a bulk reply while no output comes (seconds,
// as fbsvcmgr asks): without a timeout it answers only once the reply buffer
// is full or the job has ended, and the log would stay empty meanwhile.
constexpr int BulkOutputTimeout = 1;

// The send item of a bulk query: the timeout, its length (2 bytes) and its
// value (4 bytes), little-endian.
QByteArray BulkTimeoutItem()
{
    QByteArray item;
    item.append(static_cast<char>(isc_info_svc_timeout));
    item.append(static_cast<char>(4));
    item.append(static_cast<char>(0));
    for (int shift = 0; shift < 32; shift += 8)
        item.append(static_cast<char>((BulkOutputTimeout >> shift) & 0xFF));
    return item;
}

// The 16-bit little-endian number at a reply position.
long ReadReplyInteger(const char* position, const TReplyIntegerReader& readInteger)
{
    const long raw = readInteger
        ? readInteger(position, 2)
        : static_cast<unsigned char>(position[0]) | static_cast<unsigned char>(position[1]) << 8;
    return raw & 0xFFFF;
}

struct TSpbName {
    const char* name;
    unsigned char code;
    bool sent;
};

// The names an attach block knows, with their item codes; only the
// credentials and the instance name are sent.
constexpr TSpbName SpbNames[] = {
    {"user_name", isc_spb_user_name, true}, {"sys_user_name", isc_spb_sys_user_name, false},
    {"sys_user_name_enc", isc_spb_sys_user_name_enc, false}, {"password", isc_spb_password, true},
    {"password_enc", isc_spb_password_enc, false}, {"command_line", isc_spb_command_line, false},
    {"db_name", isc_spb_dbname, false}, {"verbose", isc_spb_verbose, false}, {"options", isc_spb_options, false},
    {"connect_timeout", isc_spb_connect_timeout, false},
    {"dummy_packet_interval", isc_spb_dummy_packet_interval, false}, {"sql_role_name", isc_spb_sql_role_name, false},
    {"instance_name", 75, true}, // InterBase's instance name; the C header has no name for it
};

} // namespace

QString BuildServiceName(TProtocol protocol, const QString& serverName)
{
    switch (protocol) {
    case TCP:
        return serverName + QStringLiteral(":service_mgr");
    case SPX:
        return serverName + QStringLiteral("@service_mgr");
    case NamedPipe:
        return QStringLiteral("\\\\") + serverName + QStringLiteral("\\service_mgr");
    case Local:
        break;
    }
    return QStringLiteral("service_mgr");
}

QByteArray BuildAttachBlock(const QStringList& params)
{
    QByteArray block;
    block.append(static_cast<char>(isc_spb_version));
    block.append(static_cast<char>(isc_spb_current_version));
    for (const QString& line : params) {
        const int equals = line.indexOf(u'=');
        const QString written = equals < 0 ? QString() : line.left(equals);
        if (IsBlank(written))
            continue;
        QString name = AsciiLower(written);
        if (name.startsWith(QLatin1String("isc_spb_")))
            name.remove(0, 8);
        const TSpbName* entry = nullptr;
        for (const TSpbName& candidate : SpbNames) {
            if (name == QLatin1String(candidate.name)) {
                entry = &candidate;
                break;
            }
        }
        if (!entry)
            RaiseClientError(ibxeSPBConstantUnknown);
        if (!entry->sent)
            RaiseClientError(ibxeSPBConstantNotSupported);
        const QByteArray value = ToClientText(line.mid(equals + 1));
        if (value.size() > MaxAttachValue)
            RaiseClientError(ibxeParamValueTooLong,
                {QStringLiteral("%1 (%2 bytes, at most %3)").arg(written).arg(value.size()).arg(MaxAttachValue)});
        block.append(static_cast<char>(entry->code));
        block.append(static_cast<char>(value.size()));
        block.append(value);
        if (block.size() > MaxAttachBlock)
            RaiseClientError(ibxeParamBlockTooLong,
                {QStringLiteral("service attach block (more than %1 bytes)").arg(MaxAttachBlock)});
    }
    return block;
}

TLineReply ParseLineReply(const char* buffer, int bufferSize, QByteArray& line, const TReplyIntegerReader& readInteger)
{
    line.clear();
    // Code, two length bytes and at least the end marker.
    if (!buffer || bufferSize < 4 || static_cast<unsigned char>(buffer[0]) != isc_info_svc_line)
        RaiseClientError(ibxeOutputParsingError);
    const int length = static_cast<int>(ReadReplyInteger(buffer + 1, readInteger));
    if (length == 0 && bufferSize >= 5 && static_cast<unsigned char>(buffer[4]) == isc_info_end) {
        const auto mark = static_cast<unsigned char>(buffer[3]);
        if (mark == isc_info_data_not_ready || mark == isc_info_svc_timeout)
            return TLineReply::NotReady;
    }
    // The end marker must lie inside the buffer; nothing beyond it is read.
    if (length >= bufferSize - 3 || static_cast<unsigned char>(buffer[3 + length]) != isc_info_end)
        RaiseClientError(ibxeOutputParsingError);
    if (length == 0)
        return TLineReply::End;
    line = QByteArray(buffer + 3, static_cast<int>(qstrnlen(buffer + 3, static_cast<size_t>(length))));
    return TLineReply::Line;
}

TBulkReply ParseBulkReply(
    const char* buffer, int bufferSize, QByteArray& output, const TReplyIntegerReader& readInteger)
{
    output.clear();
    // Code, two length bytes and at least the end marker.
    if (!buffer || bufferSize < 4 || static_cast<unsigned char>(buffer[0]) != isc_info_svc_to_eof)
        RaiseClientError(ibxeOutputParsingError);
    const int length = static_cast<int>(ReadReplyInteger(buffer + 1, readInteger));
    // The byte after the output must lie inside the buffer; nothing beyond it is read.
    if (length >= bufferSize - 3)
        RaiseClientError(ibxeOutputParsingError);
    int end = 3 + length;
    const auto mark = static_cast<unsigned char>(buffer[end]);
    const bool more = mark == isc_info_truncated || mark == isc_info_data_not_ready || mark == isc_info_svc_timeout;
    if (more)
        ++end;
    if (end >= bufferSize || static_cast<unsigned char>(buffer[end]) != isc_info_end)
        RaiseClientError(ibxeOutputParsingError);
    output = QByteArray(buffer + 3, length);
    return length == 0 && !more ? TBulkReply::End : TBulkReply::Output;
}

void AppendStringItem(QByteArray& block, const QString& value, unsigned char code)
{
    const QByteArray bytes = ToClientText(value);
    if (bytes.isEmpty())
        return;
    if (bytes.size() > MaxStartValue)
        RaiseClientError(ibxeParamValueTooLong,
            {QStringLiteral("item %1 (%2 bytes, at most %3)").arg(code).arg(bytes.size()).arg(MaxStartValue)});
    block.append(static_cast<char>(code));
    block.append(static_cast<char>(bytes.size() & 0xFF));
    block.append(static_cast<char>((bytes.size() >> 8) & 0xFF));
    block.append(bytes);
}

void AppendIntegerItem(QByteArray& block, int value, unsigned char code)
{
    const auto bits = static_cast<quint32>(value);
    block.append(static_cast<char>(code));
    for (int shift = 0; shift < 32; shift += 8)
        block.append(static_cast<char>((bits >> shift) & 0xFF));
}

// --- TIBCustomService -------------------------------------------------------

TIBCustomService::TIBCustomService()
    : FGDSLibrary(ClientLibrary())
{
    FGDSLibrary.CheckIBLoaded();
    FIBLoaded = true;
    FParams.OnChanging = [this] { RequireDetached(); };
    FParams.OnChange = [this] { FParamsChanged = true; };
}

TIBCustomService::~TIBCustomService()
{
    if (FIBLoaded && Active()) {
        try {
            Detach();
        } catch (const Exception&) {
            // A destructor cannot report the failure; its text has gone to the
            // trace hook, and the handle is forgotten either way.
        }
    }
}

void TIBCustomService::SetServerName(const QString& value)
{
    if (value == FServerName)
        return;
    RequireDetached();
    FServerName = value;
    if (FProtocol == Local && !FServerName.isEmpty())
        FProtocol = TCP;
    else if (FProtocol != Local && FServerName.isEmpty())
        FProtocol = Local;
}

void TIBCustomService::SetProtocol(TProtocol value)
{
    if (value == FProtocol)
        return;
    RequireDetached();
    FProtocol = value;
    if (FProtocol == Local)
        FServerName.clear();
}

void TIBCustomService::SetParams(const QStringList& lines)
{
    FParams.Assign(lines);
}

void TIBCustomService::SetActive(bool value)
{
    if (value == Active())
        return;
    if (value)
        Attach();
    else
        Detach();
}

void TIBCustomService::SetBufferSize(int value)
{
    if (value == FBufferSize)
        return;
    if (value < 1 || value > MaxBufferSize)
        RaiseClientError(
            ibxeParamValueTooLong, {QStringLiteral("BufferSize %1 (1 to %2 bytes)").arg(value).arg(MaxBufferSize)});
    FBufferSize = value;
    if (!FOutputBuffer.empty())
        FOutputBuffer.assign(static_cast<size_t>(FBufferSize), 0);
}

void TIBCustomService::RequireAttached() const
{
    if (FHandle == 0)
        RaiseClientError(ibxeServiceActive);
}

void TIBCustomService::RequireDetached() const
{
    if (FHandle != 0)
        RaiseClientError(ibxeServiceInActive);
}

void TIBCustomService::RequireServerName() const
{
    if (FServerName.isEmpty() && FProtocol != Local)
        RaiseClientError(ibxeServerNameMissing);
}

gds::Status TIBCustomService::Call(gds::Status errCode, bool raiseError)
{
    return CheckStatus(errCode, raiseError);
}

void TIBCustomService::LoseHandleAndRaise()
{
    FHandle = 0;
    FAttached = false;
    RaiseServerError();
}

void TIBCustomService::Attach()
{
    RequireDetached();
    RequireServerName();

    QStringList lines = FParams.Lines();
    bool linesAreTheList = true;
    if (FLoginPrompt && OnLogin) {
        if (!OnLogin(*this, lines))
            RaiseClientError(ibxeOperationCancelled);
        linesAreTheList = lines == FParams.Lines();
        if (!linesAreTheList)
            FParamsChanged = true;
    }
    if (FParamsChanged) {
        // Forget the old block first; a build that fails leaves FParamsChanged
        // set, so the next attach builds again.
        FSPB.clear();
        FSPBLength = 0;
        FSPB = BuildAttachBlock(lines);
        FSPBLength = static_cast<short>(FSPB.size());
        // A block made from the login handler's lines is not the list's.
        FParamsChanged = !linesAreTheList;
    }

    const QByteArray serviceName = ToClientText(BuildServiceName(FProtocol, FServerName));
    if (serviceName.size() > 65535)
        RaiseClientError(
            ibxeParamValueTooLong, {QStringLiteral("service name (%1 bytes, at most 65535)").arg(serviceName.size())});
    const gds::Status status
        = FGDSLibrary.isc_service_attach(CurrentStatusVector(), static_cast<unsigned short>(serviceName.size()),
            serviceName.constData(), &FHandle, static_cast<unsigned short>(FSPBLength), FSPB.constData());
    if (Call(status, false) > 0)
        LoseHandleAndRaise();
    FAttached = FHandle != 0;
    if (FTraceFlags.count(tfService))
        MonitorHook().ServiceAttach(this);
    if (OnAttach)
        OnAttach(*this);
}

void TIBCustomService::Detach()
{
    RequireAttached();
    const gds::Status status = FGDSLibrary.isc_service_detach(CurrentStatusVector(), &FHandle);
    // Detached whether or not the call succeeded.
    FHandle = 0;
    FAttached = false;
    if (Call(status, false) > 0)
        RaiseServerError();
    if (FTraceFlags.count(tfService))
        MonitorHook().ServiceDetach(this);
}

void TIBCustomService::RunQuery()
{
    if (FQueryParams.isEmpty())
        RaiseClientError(ibxeQueryParamsError);
    const auto cleanup = Finally([this] {
        FQuerySPB.clear();
        FQuerySPBLength = 0;
        FQueryParams.clear();
        FQuerySendItems.clear();
    });
    if (FQueryParams.size() > MaxAttachBlock || FQuerySendItems.size() > MaxAttachBlock)
        RaiseClientError(ibxeParamBlockTooLong,
            {QStringLiteral("query items (%1 bytes, at most %2)")
                    .arg(std::max(FQueryParams.size(), FQuerySendItems.size()))
                    .arg(MaxAttachBlock)});
    FQuerySPBLength = static_cast<short>(FQueryParams.size());
    FQuerySPB = FQueryParams;
    if (FOutputBuffer.empty())
        FOutputBuffer.assign(static_cast<size_t>(FBufferSize), 0);
    const QByteArray sendItems = FQuerySendItems;
    const gds::Status status = FGDSLibrary.isc_service_query(CurrentStatusVector(), &FHandle, nullptr,
        static_cast<unsigned short>(sendItems.size()), sendItems.isEmpty() ? nullptr : sendItems.constData(),
        static_cast<unsigned short>(FQuerySPBLength), FQuerySPB.constData(),
        static_cast<unsigned short>(FOutputBuffer.size()), FOutputBuffer.data());
    if (Call(status, false) > 0)
        LoseHandleAndRaise();
    if (FTraceFlags.count(tfService))
        MonitorHook().ServiceQuery(this);
}

void TIBCustomService::ClearOutputBuffer()
{
    if (FOutputBuffer.empty())
        FOutputBuffer.assign(static_cast<size_t>(FBufferSize), 0);
    else
        std::fill(FOutputBuffer.begin(), FOutputBuffer.end(), 0);
}

// --- TIBControlService ------------------------------------------------------

void TIBControlService::ServiceStart()
{
    RequireAttached();
    FStartParams.clear();
    BuildStartRequest();
    SendStartRequest();
}

void TIBControlService::SendStartRequest()
{
    if (FStartParams.isEmpty())
        RaiseClientError(ibxeStartParamsError);
    const auto cleanup = Finally([this] {
        FStartSPB.clear();
        FStartSPBLength = 0;
        FStartParams.clear();
    });
    if (FStartParams.size() > MaxStartBlock)
        RaiseClientError(ibxeParamBlockTooLong,
            {QStringLiteral("start request (%1 bytes, at most %2)").arg(FStartParams.size()).arg(MaxStartBlock)});
    FStartSPBLength = static_cast<int>(FStartParams.size());
    FStartSPB = FStartParams;
    const gds::Status status = GDSLibrary().isc_service_start(CurrentStatusVector(), HandleAddress(), nullptr,
        static_cast<unsigned short>(FStartSPBLength), FStartSPB.constData());
    if (Call(status, false) > 0)
        LoseHandleAndRaise();
    if (TraceFlags().count(tfService))
        MonitorHook().ServiceStart(this);
}

void TIBControlService::AppendStringItem(const QString& value, unsigned char code)
{
    ::AppendStringItem(FStartParams, value, code);
}

void TIBControlService::AppendIntegerItem(int value, unsigned char code)
{
    ::AppendIntegerItem(FStartParams, value, code);
}

// --- TIBControlAndQueryService ----------------------------------------------

void TIBControlAndQueryService::BeginAction(int code)
{
    FAction = code;
    FEof = false;
    FHeld.clear();
    FHeldFrom = 0;
    FOutputEnded = false;
    FFailure = nullptr;
}

QString TIBControlAndQueryService::GetNextLine()
{
    if (FEof)
        return QString();
    if (FAction == 0)
        RaiseClientError(ibxeQueryParamsError);
    return FBulkOutput ? NextLineInBulk() : NextLineByQuery();
}

QString TIBControlAndQueryService::NextLineByQuery()
{
    QByteArray line;
    TLineReply reply = TLineReply::NotReady;
    while (reply == TLineReply::NotReady) {
        SetQueryParams(QByteArray(1, static_cast<char>(isc_info_svc_line)));
        RunQuery();
        const std::vector<char>& output = OutputBuffer();
        reply = ParseLineReply(
            output.data(), static_cast<int>(output.size()), line, [this](const char* position, short length) {
                return static_cast<long>(GDSLibrary().isc_vax_integer(position, length));
            });
    }
    if (reply == TLineReply::End) {
        FEof = true;
        return QString();
    }
    FEof = false;
    return FromClientText(line.constData());
}

QString TIBControlAndQueryService::NextLineInBulk()
{
    for (;;) {
        const qsizetype newline = FHeld.indexOf('\n', FHeldFrom);
        if (newline >= 0) {
            // A line-per-query reply carries the line with one blank where
            // the server's newline is; the text ends at its first zero byte.
            QByteArray line = FHeld.mid(FHeldFrom, newline - FHeldFrom);
            line.append(' ');
            FHeldFrom = newline + 1;
            return FromClientText(line.constData());
        }
        if (FOutputEnded || FFailure) {
            // The last of the output, when it does not end with a newline,
            // is a line as the server wrote it.
            if (FHeldFrom < FHeld.size()) {
                const QByteArray rest = FHeld.mid(FHeldFrom);
                FHeld.clear();
                FHeldFrom = 0;
                return FromClientText(rest.constData());
            }
            FHeld.clear();
            FHeldFrom = 0;
            if (FFailure) {
                const std::exception_ptr failure = FFailure;
                FFailure = nullptr;
                std::rethrow_exception(failure);
            }
            FEof = true;
            return QString();
        }
        QueryBulk();
    }
}

void TIBControlAndQueryService::QueryBulk()
{
    FHeld.remove(0, FHeldFrom);
    FHeldFrom = 0;
    SetQuerySendItems(BulkTimeoutItem());
    SetQueryParams(QByteArray(1, static_cast<char>(isc_info_svc_to_eof)));
    ClearOutputBuffer();
    const auto readInteger = [this](const char* position, short length) {
        return static_cast<long>(GDSLibrary().isc_vax_integer(position, length));
    };
    QByteArray output;
    try {
        RunQuery();
    } catch (const EIBInterBaseError&) {
        // The server sends the job's failure with the reply of the query that
        // met it, and that reply carries the output written before the
        // failure: those lines go out first, then the failure.
        FFailure = std::current_exception();
        const std::vector<char>& reply = OutputBuffer();
        try {
            ParseBulkReply(reply.data(), static_cast<int>(reply.size()), output, readInteger);
            FHeld.append(output);
        } catch (const EIBClientError&) {
            // No reply came with the failure (the buffer holds no valid
            // reply): there is nothing to hand out before it.
        }
        return;
    }
    const std::vector<char>& reply = OutputBuffer();
    if (ParseBulkReply(reply.data(), static_cast<int>(reply.size()), output, readInteger) == TBulkReply::End)
        FOutputEnded = true;
    FHeld.append(output);
}
