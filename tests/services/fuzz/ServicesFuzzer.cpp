// libFuzzer target: arbitrary output replies to the line and bulk readers and arbitrary
// lines to the attach and start block builders. The first input byte picks
// the builder; refusals (client and conversion errors) are expected answers,
// anything else (a crash, a read outside a buffer) is a finding.

#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Errors.h"
#include "ibclient/Services.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// The input after the selector, as the lines of a list (8-bit text).
QStringList Lines(const std::uint8_t* data, std::size_t size)
{
    return QString::fromLocal8Bit(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split(u'\n');
}

void ReadReply(const std::uint8_t* data, std::size_t size)
{
    // A buffer of exactly the reply's size, so any read beyond it is caught.
    auto buffer = std::make_unique<char[]>(size ? size : 1);
    if (size)
        std::memcpy(buffer.get(), data, size);
    QByteArray line;
    const TLineReply reply = ParseLineReply(size ? buffer.get() : nullptr, static_cast<int>(size), line);
    if (reply == TLineReply::Line && line.size() > static_cast<qsizetype>(size))
        __builtin_trap();
}

// The same for a bulk reply (isc_info_svc_to_eof).
void ReadBulkReply(const std::uint8_t* data, std::size_t size)
{
    auto buffer = std::make_unique<char[]>(size ? size : 1);
    if (size)
        std::memcpy(buffer.get(), data, size);
    QByteArray output;
    ParseBulkReply(size ? buffer.get() : nullptr, static_cast<int>(size), output);
    if (output.size() + 4 > static_cast<qsizetype>(size))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > 70000)
        return 0;
    const std::uint8_t selector = data[0];
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    try {
        switch (selector % 5) {
        case 0:
            ReadReply(rest, restSize);
            break;
        case 1:
            BuildAttachBlock(Lines(rest, restSize));
            break;
        case 2: {
            const QStringList lines = Lines(rest, restSize);
            BuildBackupStartBlock(
                lines.value(0), {TBackupOption(selector >> 5)}, selector & 4, selector >> 3, lines.mid(1));
            break;
        }
        case 3: {
            const QStringList lines = Lines(rest, restSize);
            const int half = static_cast<int>(lines.size() / 2);
            BuildRestoreStartBlock({TRestoreOption(selector >> 5)}, selector & 4, selector >> 2, selector >> 4,
                lines.mid(0, half), lines.mid(half));
            break;
        }
        case 4:
            ReadBulkReply(rest, restSize);
            break;
        }
    } catch (const EIBClientError&) {
    } catch (const EConvertError&) {
    }
    return 0;
}
