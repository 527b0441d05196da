// Keeping the newest backups of a database: only the names this program gives
// that database's backups are counted and removed, never the file just made;
// the logs of that database from before the oldest backup kept go with them.

#include "cli/KeepBackups.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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

TEST(KeepBackupsTest, TheLogsOfDaysBeforeTheOldestBackupKeptGoWithIt)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QString logs = folder + QStringLiteral("logs/");
    ASSERT_TRUE(QDir().mkpath(logs));
    for (const char* name : {"DADOS20261201.BKP", "DADOS20261203.BKP", "DADOS20261205.BKP"})
        Touch(folder + QString::fromLatin1(name));
    struct TLog {
        const char* name;
        bool stays;
    };
    // Keeping two leaves the 3rd and the 5th: the logs of days before the 3rd go.
    const std::vector<TLog> cases = {
        {"ZUR-DADOS-20261130-233002.log", false},
        {"ZUR-DADOS-20261201-233002.log", false},
        {"ZUR-DADOS-20261202-010000-2.log", false}, // a second run in the same second
        {"zur-dados-20261202-233002.LOG", false},
        {"ZUR-DADOS-20261203-233002.log", true}, // the oldest backup's day
        {"ZUR-DADOS-20261205-233002.log", true},
        {"ZUR-DADOS2-20261130-233002.log", true}, // the database DADOS2
        {"ZUR-OUTRA-20261130-233002.log", true},
        {"ZUR-DADOS-20261130-2330.log", true}, // not a name this program gives
        {"ZUR-DADOS-20261130-233002.log.bak", true},
        {"ZUR-DADOS-manual.log", true},
    };
    for (const TLog& log : cases)
        Touch(logs + QString::fromLatin1(log.name));
    // A log of the same name beside the backups is no log of the logs folder.
    Touch(folder + QStringLiteral("ZUR-DADOS-20261130-233002.log"));
    QStringList lines;

    EXPECT_TRUE(KeepNewestBackups(folder, QStringLiteral("DADOS.FDB"), 2, folder + QStringLiteral("DADOS20261205.BKP"),
        [&lines](const QString& line) { lines << line; }));

    for (const TLog& log : cases)
        EXPECT_EQ(QFile::exists(logs + QString::fromLatin1(log.name)), log.stays) << log.name;
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("ZUR-DADOS-20261130-233002.log")));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("DADOS20261201.BKP")));
    // One line for the backup, one for each log.
    EXPECT_EQ(lines.size(), 5) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines.filter(QStringLiteral("Registro antigo removido (--keep 2): ")).size(), 4);
}

TEST(KeepBackupsTest, ALogThatCannotGoIsTold)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QString logs = folder + QStringLiteral("logs/");
    ASSERT_TRUE(QDir().mkpath(logs));
    Touch(folder + QStringLiteral("DADOS20261205.BKP"));
    const QString stuck = logs + QStringLiteral("ZUR-DADOS-20261130-233002.log");
    Touch(stuck);
    // Not even root removes a file from an immutable folder.
    if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), logs}) != 0)
        GTEST_SKIP() << "no immutable folders here";
    QStringList lines;

    const bool removedAll = KeepNewestBackups(folder, QStringLiteral("DADOS.FDB"), 1,
        folder + QStringLiteral("DADOS20261205.BKP"), [&lines](const QString& line) { lines << line; });

    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), logs});
    EXPECT_FALSE(removedAll);
    EXPECT_TRUE(QFile::exists(stuck));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("O registro antigo %1 não pôde ser removido: ").arg(stuck)))
        << lines[0].toStdString();
}
