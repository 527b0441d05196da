#include "core/MachineNames.h"

#include <QFile>

#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString SocketAddressText(const sockaddr* address)
{
    if (address == nullptr)
        return {};
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        return AddressText(reinterpret_cast<const unsigned char*>(&v4->sin_addr), 4);
    }
    if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        return AddressText(reinterpret_cast<const unsigned char*>(&v6->sin6_addr), 16);
    }
    return {};
}

QStringList Resolve(const QString& name)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(QFile::encodeName(name).constData(), nullptr, &hints, &found) != 0)
        return {};
    QStringList addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const QString text = SocketAddressText(entry->ai_addr);
        if (!text.isEmpty())
            addresses << text;
    }
    ::freeaddrinfo(found);
    return addresses;
}

} // namespace

TMachineNames ThisMachineNames()
{
    TMachineNames self;
    char name[256 + 1] = {};
    if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0')
        self.hostNames << QString::fromLocal8Bit(name);
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) == 0) {
        for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
            const QString text = SocketAddressText(entry->ifa_addr);
            if (!text.isEmpty())
                self.addresses << text;
        }
        ::freeifaddrs(interfaces);
    }
    self.resolve = Resolve;
    return self;
}
