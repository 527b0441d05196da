// Keeping the newest backups of a database: only the names this program gives
// that database's backups are counted and removed, never the file just made.

#include "cli/KeepBackups.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void Touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
}

QStringList Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

} // namespace

TEST(KeepBackupsTest, TheNewestStayAndOtherFilesAreNotTouched)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QStringList ours = {QStringLiteral("DADOS20261201.BKP"), QStringLiteral("dados20261202.bkp"),
        QStringLiteral("DADOS20261203.BKP"), QStringLiteral("DADOS20261204.BKP"), QStringLiteral("DADOS20261205.BKP")};
    const QStringList others = {
        QStringLiteral("DADOS220261130.BKP"), // the database DADOS2
        QStringLiteral("OUTRA20261130.BKP"),
        QStringLiteral("DADOS2026113.BKP"), // seven digits
        QStringLiteral("DADOS20261340.BKP"), // no such date
        QStringLiteral("DADOS20261130.BKP.PARCIAL.x"),
        QStringLiteral("DADOS20261130.ZIP"),
        QStringLiteral("DADOS20261130.log"),
    };
    for (const QString& name : ours + others)
        Touch(folder + name);
    // The run made this one; an older date in its name changes nothing of that.
    const QString justMade = folder + QStringLiteral("DADOS20261203.BKP");
    QStringList lines;

    EXPECT_TRUE(KeepNewestBackups(
        folder, QStringLiteral("/srv/DADOS.FDB"), 3, justMade, [&lines](const QString& line) { lines << line; }));

    QStringList expected = others
        + QStringList{QStringLiteral("DADOS20261203.BKP"), QStringLiteral("DADOS20261204.BKP"),
            QStringLiteral("DADOS20261205.BKP")};
    expected.sort();
    EXPECT_EQ(Names(folder), expected);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QLatin1String("dados20261202.bkp")));
    EXPECT_TRUE(lines[1].contains(QLatin1String("DADOS20261201.BKP")));

    // Keeping one leaves the file just made alone, even when others are newer.
    lines.clear();
    EXPECT_TRUE(KeepNewestBackups(
        folder, QStringLiteral("DADOS.FDB"), 1, justMade, [&lines](const QString& line) { lines << line; }));
    EXPECT_TRUE(QFile::exists(justMade));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("DADOS20261205.BKP")));
    EXPECT_EQ(lines.size(), 2);
}

TEST(KeepBackupsTest, ADaysBackupAndItsCompressedCopyCountAsOne)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    for (const char* name : {"DADOS20261201.BKP", "ZURDADOS20261201.ZIP", "ZURDADOS20261202.ZIP", "DADOS20261203.BKP",
             "ZURDADOS20261203.ZIP", "ZURDADOS2026120.ZIP", "ZUROUTRA20261201.ZIP"})
        Touch(folder + QString::fromLatin1(name));
    QStringList lines;

    EXPECT_TRUE(KeepNewestBackups(folder, QStringLiteral("DADOS.FDB"), 2, folder + QStringLiteral("DADOS20261203.BKP"),
        [&lines](const QString& line) { lines << line; }));

    // The two newest days (the 3rd, the 2nd's archive alone) stay; the 1st goes, both files.
    EXPECT_EQ(Names(folder),
        (QStringList{QStringLiteral("DADOS20261203.BKP"), QStringLiteral("ZURDADOS2026120.ZIP"),
            QStringLiteral("ZURDADOS20261202.ZIP"), QStringLiteral("ZURDADOS20261203.ZIP"),
            QStringLiteral("ZUROUTRA20261201.ZIP")}));
    EXPECT_EQ(lines.size(), 2);
}
