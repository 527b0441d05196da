// The binding over the real client library (no ZUR_CLIENT_LIBRARY): what it
// loads, the version it reports and the stand-ins for what the library lacks.

#include "BindingTestSupport.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace bindingtest;

TEST(BindingReal, ReportsTheLibrarysOwnVersion)
{
    ASSERT_TRUE(qEnvironmentVariableIsEmpty("ZUR_CLIENT_LIBRARY"));
    EXPECT_STREQ(ClientLibraryFileName(), "libfbclient.so.2");

    // Ask the library directly, as the load does.
    void* library = dlopen("libfbclient.so.2", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using TVersion = int (*)();
    const auto major = reinterpret_cast<TVersion>(dlsym(library, "isc_get_client_major_version"));
    const auto minor = reinterpret_cast<TVersion>(dlsym(library, "isc_get_client_minor_version"));
    ASSERT_NE(major, nullptr);
    ASSERT_NE(minor, nullptr);
    const TClientVersion expected = TClientVersion(major()) * 10000 + TClientVersion(minor()) * 1000;
    dlclose(library);

    EXPECT_EQ(ClientLibrary().GetIBClientVersion(), expected);
    EXPECT_TRUE(ClientLibrary().TryIBLoad());
}

TEST(BindingReal, CallsReachTheLibrary)
{
    ClientLibrary().CheckIBLoaded();
    EXPECT_EQ(ClientLibrary().isc_vax_integer("\x01\x02", 2), 0x0201);
    EXPECT_EQ(ClientLibrary().isc_vax_integer("\x78\x56\x34\x12", 4), 0x12345678);
}

TEST(BindingReal, FunctionsTheLibraryLacksRaiseTheirGroupsMessage)
{
    // The real library stops at version 6.3: everything from InterBase 7.0 on
    // has a stand-in, and the XML extension is never loaded.
    ClientLibrary().CheckIBLoaded();
    ExpectSubstitutes({TGroup::Version70, TGroup::Version71, TGroup::Version80, TGroup::Xml});
}
