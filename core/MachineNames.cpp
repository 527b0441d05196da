#include "core/MachineNames.h"

#include <QStringView>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

namespace {

// An address in one form whatever way it was written: IPv4 as IPv4-mapped IPv6.
using TAddress = std::array<unsigned char, 16>;

std::optional<unsigned> Number(QStringView digits, int base, int maxDigits)
{
    if (digits.isEmpty() || digits.size() > maxDigits)
        return std::nullopt;
    unsigned value = 0;
    for (const QChar c : digits) {
        const char16_t u = c.toLower().unicode();
        const int digit = u >= u'0' && u <= u'9' ? u - u'0' : base == 16 && u >= u'a' && u <= u'f' ? u - u'a' + 10 : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
    }
    return value;
}

// Four decimal parts only, none with a leading zero: the system's resolver
// reads "010" as octal and "127.1" as 127.0.0.1, so anything looser is left
// to it rather than read differently here.
std::optional<std::array<unsigned char, 4>> ParseIPv4(QStringView text)
{
    const auto parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    std::array<unsigned char, 4> bytes{};
    for (int i = 0; i < 4; ++i) {
        const auto value = Number(parts[i], 10, 3);
        if (!value || *value > 255 || (parts[i].size() > 1 && parts[i].front() == u'0'))
            return std::nullopt;
        bytes[i] = static_cast<unsigned char>(*value);
    }
    return bytes;
}

// The 16-bit groups of one side of a "::"; the last may be an IPv4 address
// when it ends the whole address.
std::optional<std::vector<unsigned>> Groups(QStringView text, bool endsAddress)
{
    std::vector<unsigned> groups;
    if (text.isEmpty())
        return groups;
    const auto pieces = text.split(u':');
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (endsAddress && i == pieces.size() - 1 && pieces[i].contains(u'.')) {
            const auto v4 = ParseIPv4(pieces[i]);
            if (!v4)
                return std::nullopt;
            groups.push_back((*v4)[0] << 8 | (*v4)[1]);
            groups.push_back((*v4)[2] << 8 | (*v4)[3]);
            continue;
        }
        const auto value = Number(pieces[i], 16, 4);
        if (!value)
            return std::nullopt;
        groups.push_back(*value);
    }
    return groups;
}

std::optional<TAddress> ParseIPv6(QStringView text)
{
    const auto zone = text.indexOf(u'%');
    if (zone >= 0)
        text = text.left(zone);
    const auto gap = text.indexOf(QLatin1String("::"));
    std::optional<std::vector<unsigned>> head;
    std::optional<std::vector<unsigned>> tail;
    if (gap < 0) {
        head = Groups(text, true);
        tail.emplace();
        if (!head || head->size() != 8)
            return std::nullopt;
    } else {
        head = Groups(text.left(gap), false);
        tail = Groups(text.mid(gap + 2), true);
        if (!head || !tail || head->size() + tail->size() > 7)
            return std::nullopt;
    }
    TAddress address{};
    const auto put = [&address](size_t group, unsigned value) {
        address[group * 2] = static_cast<unsigned char>(value >> 8);
        address[group * 2 + 1] = static_cast<unsigned char>(value & 0xff);
    };
    for (size_t i = 0; i < head->size(); ++i)
        put(i, (*head)[i]);
    for (size_t i = 0; i < tail->size(); ++i)
        put(8 - tail->size() + i, (*tail)[i]);
    return address;
}

std::optional<TAddress> ParseAddress(QStringView text)
{
    if (text.contains(u':'))
        return ParseIPv6(text);
    const auto v4 = ParseIPv4(text);
    if (!v4)
        return std::nullopt;
    TAddress address{};
    address[10] = address[11] = 0xff;
    std::copy(v4->begin(), v4->end(), address.begin() + 12);
    return address;
}

bool IsLoopback(const TAddress& address)
{
    const auto zeroUpTo = [&address](int end) {
        return std::all_of(address.begin(), address.begin() + end, [](unsigned char b) { return b == 0; });
    };
    const bool v4 = zeroUpTo(10) && address[10] == 0xff && address[11] == 0xff;
    return (v4 && address[12] == 127) || (zeroUpTo(15) && address[15] == 1);
}

bool IsThisMachine(const TAddress& address, const std::vector<TAddress>& own)
{
    return IsLoopback(address) || std::find(own.begin(), own.end(), address) != own.end();
}

// "Host." names the same host as "host": the dot only says the name is whole.
QString NameKey(const QString& name)
{
    QString key = name.toCaseFolded();
    if (key.endsWith(u'.'))
        key.chop(1);
    return key;
}

} // namespace

QString AddressText(const unsigned char* bytes, int size)
{
    if (size == 4)
        return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
    if (size != 16)
        return {};
    QStringList groups;
    for (int i = 0; i < 16; i += 2)
        groups << QString::number(bytes[i] << 8 | bytes[i + 1], 16);
    return groups.join(u':');
}

bool HostIsThisMachine(const QString& host, const TMachineNames& self)
{
    if (host.isEmpty())
        return false;
    std::vector<TAddress> own;
    for (const QString& text : self.addresses) {
        if (const auto address = ParseAddress(text))
            own.push_back(*address);
    }
    if (const auto literal = ParseAddress(host))
        return IsThisMachine(*literal, own);
    const QString key = NameKey(host);
    if (key == QLatin1String("localhost"))
        return true;
    for (const QString& name : self.hostNames) {
        if (!name.isEmpty() && NameKey(name) == key)
            return true;
    }
    if (!self.resolve)
        return false;
    // Every address, not any: the client connects to whichever answers
    // first, and a name that may lead to another machine is not this one.
    const QStringList resolved = self.resolve(host);
    return !resolved.isEmpty() && std::all_of(resolved.begin(), resolved.end(), [&own](const QString& text) {
        const auto address = ParseAddress(text);
        return address && IsThisMachine(*address, own);
    });
}
