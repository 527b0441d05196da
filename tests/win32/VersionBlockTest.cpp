// The executable's version is read from its version block: this test program
// carries 9.8.7.6 there, not the version stamped into the build.

#include "WindowTestSupport.h"
#include "core/AppPaths.h"
#include "core/Version.h"
#include "window/BackupRestore.h"

#include <QLabel>

#include <gtest/gtest.h>

TEST(WindowsVersionBlock, VersaoExecutavelReadsTheBlock)
{
    EXPECT_EQ(Versao_Executavel(), QStringLiteral("9.8.7.6"));
    const TFileVersion stamped = StampedFileVersion();
    EXPECT_NE(FormatFileVersion(stamped.versionMS, stamped.versionLS), QStringLiteral("9.8.7.6"));
}

class WindowsCaptionTest : public WindowTest { };

TEST_F(WindowsCaptionTest, TheCaptionShowsTheBlocksVersion)
{
    auto window = MakeWindow(ExecutableDirectory());
    window->show();
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral(" v.9.8.7.6"))) << window->windowTitle().toStdString();
    // The executable directory is a Windows path, ending in its separator.
    const QString destination = window->findChild<QLabel*>(QStringLiteral("lblDestino"))->text();
    EXPECT_EQ(destination, ExecutableDirectory());
    EXPECT_TRUE(destination.endsWith(u'\\')) << destination.toStdString();
    EXPECT_FALSE(destination.contains(u'/')) << destination.toStdString();
}
