#include "Errors.h"
#include "FakeClientControl.h"
#include "GdsLibrary.h"

#include <gtest/gtest.h>

TEST(BindingFake, LoadsAndReportsVersion)
{
    EXPECT_EQ(ClientLibrary().GetIBClientVersion(), 63000);
}
