#include "ibclient/Errors.h"

#include "ibclient/GdsLibrary.h"
#include "ibclient/TraceHook.h"

#include <ibase.h>

#include <QHash>

#include <cerrno>
#include <cstring>
#include <vector>

Exception::Exception(QString message)
    : FMessage(std::move(message))
    , FWhat(FMessage.toUtf8())
{
}

EOSError::EOSError(int errorCode, QString message)
    : Exception(std::move(message))
    , FErrorCode(errorCode)
{
}

EIBError::EIBError(int sqlCode, QString message)
    : EDatabaseError(std::move(message))
    , FSQLCode(sqlCode)
{
}

EIBError::EIBError(int sqlCode, int ibErrorCode, QString message, TStatusCodes status)
    : EDatabaseError(std::move(message))
    , FSQLCode(sqlCode)
    , FIBErrorCode(ibErrorCode)
    , FStatus(std::move(status))
{
}

bool EIBError::HasCode(std::initializer_list<gds::Status> codes) const
{
    for (gds::Status code : FStatus.codes) {
        for (gds::Status wanted : codes) {
            if (code == wanted)
                return true;
        }
    }
    return false;
}

bool FailureHasCode(const std::exception& failure, std::initializer_list<gds::Status> codes)
{
    const auto* server = dynamic_cast<const EIBError*>(&failure);
    return server != nullptr && server->HasCode(codes);
}

bool FailureSaysNoSuchFile(const std::exception& failure)
{
    const auto* server = dynamic_cast<const EIBError*>(&failure);
    return server != nullptr && server->SaysNoSuchFile();
}

QString ClientErrorMessage(int code)
{
    static const QHash<int, QString> table = {
        {ibxeGDSLibraryNotFound,
            QStringLiteral("InterBase library gds32.dll not found in the path. Please install InterBase to use this "
                           "functionality")},
        {ibxeIB60feature,
            QStringLiteral("%s is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality")},
        {ibxeOperationCancelled, QStringLiteral("Operation cancelled at user's request")},
        {ibxeDPBConstantNotSupported, QStringLiteral("DPB Constant (isc_dpb_%s) is unsupported")},
        {ibxeDatabaseClosed, QStringLiteral("Cannot perform operation -- DB is not open")},
        {ibxeDatabaseOpen, QStringLiteral("Cannot perform operation -- DB is currently open")},
        {ibxeDatabaseNameMissing, QStringLiteral("Database name is missing")},
        {ibxeSPBConstantNotSupported, QStringLiteral("SPB Constant Not supported")},
        {ibxeSPBConstantUnknown, QStringLiteral("SPB Constant Unknown")},
        {ibxeServiceActive, QStringLiteral("Cannot perform operation -- service is not attached")},
        {ibxeServiceInActive, QStringLiteral("Cannot perform operation -- service is attached")},
        {ibxeServerNameMissing, QStringLiteral("Server Name Missing")},
        {ibxeQueryParamsError, QStringLiteral("Query Parameters missing or incorrect")},
        {ibxeStartParamsError, QStringLiteral("start Parameters missing or incorrect")},
        {ibxeOutputParsingError, QStringLiteral("Unexpected Output buffer value")},
        {ibxeDPBConstantUnknown, QStringLiteral("DPB Constant (%s) is unknown")},
        {ibxeParamValueTooLong, QStringLiteral("Parameter value too long: %s")},
        {ibxeParamBlockTooLong, QStringLiteral("Parameter block too long: %s")},
        {ibxeNotInTransaction, QStringLiteral("Transaction is not active")},
        {ibxeInTransaction, QStringLiteral("Transaction is active")},
    };
    return table.value(code);
}

namespace {

thread_local gds::StatusVector statusVector{};

QString FormatMessage(const QString& format, const QStringList& arguments)
{
    QString text;
    int next = 0;
    for (int i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size() && (format.at(i + 1) == u's' || format.at(i + 1) == u'd')) {
            if (next < arguments.size())
                text += arguments.at(next);
            ++next;
            ++i;
        } else {
            text += c;
        }
    }
    return text;
}

// Windows' codes for a missing file and a missing folder.
constexpr gds::Status WindowsFileNotFound = 2;
constexpr gds::Status WindowsPathNotFound = 3;

// The operating system's text for a missing file, as a server sends it when
// the number itself does not cross the network (Linux and Windows servers in
// English). A text in another language is not recognised, and the database is
// then taken as one that may exist: the safe side.
bool IsNoSuchFileText(QString text)
{
    text = text.trimmed();
    if (text.endsWith(u'.'))
        text.chop(1);
    static const QStringList texts = {
        QStringLiteral("No such file or directory"),
        QStringLiteral("The system cannot find the file specified"),
        QStringLiteral("The system cannot find the path specified"),
    };
    return texts.contains(text, Qt::CaseInsensitive);
}

} // namespace

gds::Status* CurrentStatusVector()
{
    return statusVector.data();
}

QString StatusVectorMessage()
{
    IGDSLibrary& library = ClientLibrary();
    QString text;
    gds::Status* cursor = CurrentStatusVector();
    std::vector<char> buffer(20480);
    for (;;) {
        std::memset(buffer.data(), 0, buffer.size());
        if (library.isc_interprete(buffer.data(), &cursor) <= 0)
            break;
        if (!text.isEmpty() && text.back() != QChar(10))
            text += QStringLiteral("\r\n");
        text += FromClientText(buffer.data());
    }
    if (!text.isEmpty() && text.back() == u'.')
        text.chop(1);
    return text;
}

void RaiseServerError()
{
    gds::Status* vector = CurrentStatusVector();
    const int errorCode = static_cast<int>(vector[1]);
    const int sqlCode = ClientLibrary().isc_sqlcode(vector);
    TStatusCodes codes = CaptureStatusCodes();
    const QString text = StatusVectorMessage();
    MonitorHook().SendError(QString::number(sqlCode) + u' ' + QString::number(errorCode) + u' ' + text);
    if (sqlCode == -551)
        throw EIBInterBaseRoleError(sqlCode, errorCode, text, std::move(codes));
    throw EIBInterBaseError(sqlCode, errorCode, text, std::move(codes));
}

void RaiseClientError(int code, const QStringList& arguments)
{
    const QString text = FormatMessage(ClientErrorMessage(code), arguments);
    MonitorHook().SendError(text);
    throw EIBClientError(code, 0, text);
}

TStatusCodes CaptureStatusCodes()
{
    // Clusters: type 1 (error code) and 4 (number) are taken, type 3 (counted
    // string) carries two words, every other type one; type 0 ends the vector.
    TStatusCodes status;
    const gds::Status* vector = CurrentStatusVector();
    int i = 0;
    while (i < gds::StatusLength && vector[i] != 0) {
        if (vector[i] == 1 || vector[i] == 4) {
            if (++i >= gds::StatusLength)
                break;
            status.codes.push_back(vector[i]);
            ++i;
        } else if (vector[i] == 3) {
            i += 3;
        } else {
            i += 2;
        }
    }
    status.noSuchFile = StatusSaysNoSuchFile();
    return status;
}

bool StatusHasCode(std::initializer_list<gds::Status> codes)
{
    const TStatusCodes status = CaptureStatusCodes();
    for (gds::Status code : status.codes) {
        for (gds::Status wanted : codes) {
            if (code == wanted)
                return true;
        }
    }
    return false;
}

gds::Status CheckStatus(gds::Status errCode, bool raiseError)
{
    if (raiseError && errCode > 0)
        RaiseServerError();
    return errCode;
}

int StrToInt(const QString& text)
{
    auto fail = [&]() -> int { throw EConvertError(QStringLiteral("''%1'' is not a valid integer value").arg(text)); };
    int i = 0;
    const int n = text.size();
    while (i < n && text.at(i) == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text.at(i) == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && text.at(i) == u'0' && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return fail();
    qint64 value = 0;
    for (; i < n; ++i) {
        const int digit = QChar(text.at(i)).isDigit() && text.at(i).unicode() < 128 ? text.at(i).unicode() - '0'
            : base == 16 && text.at(i).toLower() >= u'a' && text.at(i).toLower() <= u'f'
            ? text.at(i).toLower().unicode() - 'a' + 10
            : -1;
        if (digit < 0)
            return fail();
        value = value * base + digit;
        // Hexadecimal texts may give the full 32-bit pattern; decimal must fit the signed range.
        if (value > (base == 16 ? qint64(0xFFFFFFFF) : qint64(0x80000000)))
            return fail();
    }
    if (base == 16)
        value = static_cast<qint32>(static_cast<quint32>(value));
    if (negative)
        value = -value;
    if (value > 0x7FFFFFFF || value < -qint64(0x80000000))
        return fail();
    return static_cast<int>(value);
}

bool StatusSaysNoSuchFile()
{
    // The server's "open" failure (isc_io_open_err) followed by the operating
    // system's reason: a number from an engine on this machine, a text from a
    // server across the network.
    const gds::Status* vector = CurrentStatusVector();
    bool openFailed = false;
    int i = 0;
    while (i + 1 < gds::StatusLength && vector[i] != isc_arg_end) {
        const gds::Status type = vector[i];
        const gds::Status value = vector[i + 1];
        if (type == isc_arg_gds) {
            openFailed = openFailed || value == isc_io_open_err;
        } else if (openFailed && type == isc_arg_unix) {
            return value == ENOENT;
        } else if (openFailed && type == isc_arg_win32) {
            return value == WindowsFileNotFound || value == WindowsPathNotFound;
        } else if (openFailed && (type == isc_arg_interpreted || type == isc_arg_string)) {
            return IsNoSuchFileText(FromClientText(reinterpret_cast<const char*>(value)));
        }
        // A counted string carries its length and its address.
        i += type == isc_arg_cstring ? 3 : 2;
    }
    return false;
}
