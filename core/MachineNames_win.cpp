#include "core/MachineNames.h"

// Winsock before windows.h, which would otherwise bring the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <windows.h>

#include <string>
#include <vector>

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

QString ComputerName(COMPUTER_NAME_FORMAT format)
{
    DWORD size = 0;
    GetComputerNameExW(format, nullptr, &size);
    if (size == 0)
        return {};
    std::wstring name(size, L'\0');
    if (!GetComputerNameExW(format, name.data(), &size))
        return {};
    return QString::fromWCharArray(name.data(), static_cast<qsizetype>(size));
}

QStringList InterfaceAddresses()
{
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // Adapters may come and go between the call that sizes the list and the
    // one that fills it; a few tries settle it.
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = GetAdaptersAddresses(
            AF_UNSPEC, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    QStringList addresses;
    if (result != NO_ERROR)
        return addresses;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr; unicast = unicast->Next) {
            const QString text = SocketAddressText(unicast->Address.lpSockaddr);
            if (!text.isEmpty())
                addresses << text;
        }
    }
    return addresses;
}

QStringList Resolve(const QString& name)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return {};
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    QStringList addresses;
    const std::wstring wide = name.toStdWString();
    if (GetAddrInfoW(wide.c_str(), nullptr, &hints, &found) == 0) {
        for (const ADDRINFOW* entry = found; entry != nullptr; entry = entry->ai_next) {
            const QString text = SocketAddressText(entry->ai_addr);
            if (!text.isEmpty())
                addresses << text;
        }
        FreeAddrInfoW(found);
    }
    WSACleanup();
    return addresses;
}

} // namespace

TMachineNames ThisMachineNames()
{
    TMachineNames self;
    // The DNS host name, the NetBIOS name older settings were typed with, and
    // the full name with the primary DNS suffix: this machine's own even where
    // the DNS holds no record of them.
    for (const COMPUTER_NAME_FORMAT format :
        {ComputerNameDnsHostname, ComputerNameNetBIOS, ComputerNameDnsFullyQualified}) {
        const QString name = ComputerName(format);
        if (!name.isEmpty() && !self.hostNames.contains(name, Qt::CaseInsensitive))
            self.hostNames << name;
    }
    self.addresses = InterfaceAddresses();
    self.resolve = Resolve;
    return self;
}
