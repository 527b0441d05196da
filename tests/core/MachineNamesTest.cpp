// Whether a server field names this machine: decided on a made-up machine
// with a resolver that answers from a table, so that no name goes out on the
// network; then this machine's own names and addresses, read but never looked
// up.

#include "core/MachineNames.h"
#include "core/BackupNaming.h"

#include <QMap>

#include <gtest/gtest.h>

TEST(MachineNames, WhereTheServerWrites)
{
    const QMap<QString, QStringList> dns{
        {"servidor01.empresa.local", {"192.168.10.5"}},
        {"servidor01.empresa.local.", {"192.168.10.5"}},
        {"v6.empresa.local", {"2001:DB8:0:0:0:0:0:5", "::ffff:192.168.10.5"}},
        {"hosts.empresa.local", {"127.0.1.1"}},
        {"outro.empresa.local", {"192.168.10.9"}},
        {"misto.empresa.local", {"192.168.10.5", "192.168.10.9"}},
        {"localhost.example.com", {"203.0.113.7"}},
    };
    QStringList asked;
    TMachineNames self;
    self.hostNames = {"Servidor01", QString()};
    self.addresses = {"127.0.0.1", "::1", "192.168.10.5", "fe80::a00:27ff:fe4e:66a1%eth0", "2001:db8::5"};
    self.resolve = [&](const QString& name) {
        asked << name;
        return dns.value(name);
    };
    const struct {
        TServiceTarget target;
        bool thisMachine;
        bool resolved;
    } cases[] = {
        {{QString(), false}, true, false},
        {{"localhost/3055", true}, true, false},
        {{" LocalHost.", true}, true, false},
        {{"localhost.example.com", true}, false, true},
        {{"127.0.0.1/3055", true}, true, false},
        {{"127.8.9.10", true}, true, false},
        {{"[::1]/3055", true}, true, false},
        {{"[0:0:0:0:0:0:0:1]", true}, true, false},
        {{"::ffff:127.0.0.1", true}, true, false},
        {{"192.168.10.5/3050", true}, true, false},
        {{"[::ffff:c0a8:a05]/3050", true}, true, false},
        {{"[FE80::A00:27FF:FE4E:66A1]", true}, true, false},
        {{"2001:0db8:0000::0005", true}, true, false},
        {{"192.168.10.9/3050", true}, false, false},
        {{"2001:db8::6", true}, false, false},
        {{"::", true}, false, false},
        {{"servidor01/3050", true}, true, false},
        {{"SERVIDOR01.", true}, true, false},
        {{"servidor01.empresa.local/3050", true}, true, true},
        {{"servidor01.empresa.local.", true}, true, true},
        {{"v6.empresa.local", true}, true, true},
        {{"hosts.empresa.local", true}, true, true},
        {{"outro.empresa.local/3050", true}, false, true},
        // Some of its addresses lead elsewhere, and the client may take one.
        {{"misto.empresa.local", true}, false, true},
        {{"desconhecido", true}, false, true},
        // The system's resolver reads a leading zero as octal: not read here.
        {{"192.168.010.5", true}, false, true},
        {{"1::2::3", true}, false, true},
        {{"/3050", true}, false, false},
    };
    for (const auto& c : cases) {
        asked.clear();
        const std::string name = c.target.serverName.toStdString();
        EXPECT_EQ(ServerIsThisMachine(c.target, self), c.thisMachine) << '"' << name << '"';
        EXPECT_EQ(!asked.isEmpty(), c.resolved) << '"' << name << '"';
    }
    // Without a resolver a name is only its own.
    self.resolve = nullptr;
    EXPECT_FALSE(HostIsThisMachine(QStringLiteral("servidor01.empresa.local"), self));
}

TEST(MachineNames, ThisMachine)
{
    const TMachineNames self = ThisMachineNames();
    ASSERT_FALSE(self.hostNames.isEmpty());
    ASSERT_FALSE(self.addresses.isEmpty());
    // Each of its addresses, written as the platform part wrote it, is taken
    // for this machine without a look-up.
    TMachineNames offline = self;
    offline.resolve = nullptr;
    for (const QString& address : self.addresses)
        EXPECT_TRUE(HostIsThisMachine(address, offline)) << address.toStdString();
    EXPECT_TRUE(ServerIsThisMachine({self.hostNames.front(), true}));
    EXPECT_TRUE(ServerIsThisMachine({QStringLiteral("127.0.0.1/3055"), true}));
}
