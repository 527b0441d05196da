#pragma once
// Whether a host that a server field names is this machine, when it is named
// by something other than "localhost": one of its addresses, its full domain
// name, or a name that leads only here.

#include <QString>
#include <QStringList>

#include <functional>

struct TMachineNames {
    // Compared without case and without a trailing ".".
    QStringList hostNames;
    // The addresses of this machine's interfaces, as text, IPv4 or IPv6 in any
    // written form (a "%zone" suffix is ignored).
    QStringList addresses;
    // The addresses a name resolves to, as text; empty when it resolves to
    // nothing. Left empty, names are not resolved.
    std::function<QStringList(const QString& name)> resolve;
};

// Whether host (no port, no brackets) is this machine: "localhost", a
// loopback address (127.0.0.0/8, ::1), one of self's addresses or names, or a
// name whose every address is one of those. Address literals are never
// resolved, nor is a name already known.
bool HostIsThisMachine(const QString& host, const TMachineNames& self);

// This machine's names and interface addresses, with the system's resolver
// (which waits as long as the system lets it for a name that does not
// resolve).
TMachineNames ThisMachineNames();

// The text of an address of 4 (IPv4) or 16 (IPv6) bytes in network order, for
// the platform parts; empty for any other size.
QString AddressText(const unsigned char* bytes, int size);
