#include "core/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(AppPaths, ExecutableDirectoryHoldsThisProgramAndEndsInTheSeparator)
{
    // No application object exists here: the directory comes from the platform.
    const QString directory = ExecutableDirectory();
    ASSERT_FALSE(directory.isEmpty());
    EXPECT_TRUE(directory.endsWith(PathSeparator())) << directory.toStdString();
    EXPECT_TRUE(QFileInfo(directory).isAbsolute());
    EXPECT_TRUE(QFileInfo(directory + QStringLiteral("core_tests" EXECUTABLE_SUFFIX)).isFile())
        << directory.toStdString();
}

TEST(AppPaths, FileExistsCountsFilesOnly)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString dir = temp.path() + u'/';
    QFile file(dir + QStringLiteral("a.bkp"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("OLD.BKP")));

    EXPECT_TRUE(FileExists(dir + QStringLiteral("a.bkp")));
    EXPECT_FALSE(FileExists(dir + QStringLiteral("OLD.BKP")));
    EXPECT_FALSE(FileExists(dir + QStringLiteral("missing.bkp")));
    EXPECT_FALSE(FileExists(QString()));
    EXPECT_FALSE(FileExists(QStringLiteral("Outro...")));
}
