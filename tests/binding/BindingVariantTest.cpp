// One fake client library per build of this file (see CMakeLists.txt): which
// library the environment names, the client version its load computes, the
// stand-ins for what it lacks, and that every present function reaches it.
//   BINDING_SUITE               test suite name
//   EXPECTED_LIBRARY_NAME       file name of the fake that the environment names
//   EXPECTED_VERSION            client version in ten-thousandths
//   HAS_V6, HAS_VERSION_QUERY   whether the fake exports isc_rollback_retaining
//                               and isc_get_client_version

#include "BindingTestSupport.h"
#include "FakeClientControl.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"

#include <gtest/gtest.h>

#include <QFileInfo>

using namespace bindingtest;

namespace {

// Groups of the load list that the loaded fake provides.
std::set<TGroup> PresentGroups()
{
    std::set<TGroup> groups{TGroup::Required};
    if (HAS_V6)
        groups.insert(TGroup::Version6);
    if (HAS_VERSION_QUERY)
        groups.insert(TGroup::VersionQuery);
    if (EXPECTED_VERSION >= 70000)
        groups.insert(TGroup::Version70);
    if (EXPECTED_VERSION >= 71000)
        groups.insert(TGroup::Version71);
    if (EXPECTED_VERSION >= 80000)
        groups.insert(TGroup::Version80);
    return groups;
}

} // namespace

TEST(BINDING_SUITE, LoadsTheLibraryThatTheEnvironmentNames)
{
    const QString named = qEnvironmentVariable("ZUR_CLIENT_LIBRARY");
    EXPECT_EQ(QFileInfo(named).fileName(), QStringLiteral(EXPECTED_LIBRARY_NAME));
    EXPECT_EQ(QString::fromLocal8Bit(ClientLibraryFileName()), named);

    ClientLibrary().CheckIBLoaded();
    fake::Reset();
    EXPECT_EQ(ClientLibrary().isc_vax_integer("\x01\x02", 2), 0x0201);
    EXPECT_EQ(fake::Calls(), QStringList{"isc_vax_integer"});
}

TEST(BINDING_SUITE, ReportsTheClientVersion)
{
    EXPECT_EQ(ClientLibrary().GetIBClientVersion(), EXPECTED_VERSION);
    // The load asks the library's version functions once each, when it has them.
    EXPECT_EQ(fake::CallCount("isc_get_client_major_version"), HAS_VERSION_QUERY ? 1 : 0);
    EXPECT_EQ(fake::CallCount("isc_get_client_minor_version"), HAS_VERSION_QUERY ? 1 : 0);
    EXPECT_EQ(fake::CallCount("isc_get_client_version"), 0);
}

TEST(BINDING_SUITE, MissingFunctionsRaiseTheirGroupsMessage)
{
    ClientLibrary().CheckIBLoaded();
    fake::Reset();
    std::set<TGroup> missing;
    for (TGroup group : {TGroup::Version6, TGroup::VersionQuery, TGroup::Version70, TGroup::Version71,
             TGroup::Version80, TGroup::Xml}) {
        if (!PresentGroups().count(group))
            missing.insert(group);
    }
    ExpectSubstitutes(missing);
    EXPECT_EQ(fake::Calls(), QStringList()) << "a stand-in called the library";
}

TEST(BINDING_SUITE, PresentFunctionsReachTheirOwnExport)
{
    ClientLibrary().CheckIBLoaded();
    const std::set<TGroup> present = PresentGroups();
    for (const TFunction& function : Functions()) {
        if (!present.count(function.group))
            continue;
        SCOPED_TRACE(function.name);
        fake::Reset();
        function.call(ClientLibrary());
        EXPECT_EQ(fake::Calls(), QStringList{QString::fromLatin1(function.name)});
    }
}
