#include "core/Version.h"

#include <gtest/gtest.h>

TEST(Version, FormatFileVersion)
{
    const struct {
        quint32 ms;
        quint32 ls;
        const char* text;
    } rows[] = {
        {0x00010000, 0x0000000B, "1.0.0.11"},
        {0x00000000, 0x00000000, "0.0.0.0"},
        {0x0007FFFF, 0x00000007, "7.65535.0.7"},
        {0xFFFFFFFF, 0xFFFFFFFF, "65535.65535.65535.65535"},
        {0x000A0064, 0x03E80007, "10.100.1000.7"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FormatFileVersion(row.ms, row.ls), row.text) << row.text;
}

TEST(Version, VersaoExecutavelIsTheProjectVersion)
{
    EXPECT_EQ(Versao_Executavel(), ZUR_PROJECT_VERSION);
}
