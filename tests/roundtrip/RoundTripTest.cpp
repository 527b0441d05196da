// Real databases through the window's backup and then its restore of the
// backup just made over the same database, on the server under test (Firebird
// 3, or 4 with ZUR_FB_VERSION=4): what comes back is what went in, metadata
// and rows, with only the page size changed as the restore asks. And the
// window's logs hold the server's lines as gbak prints them for the same jobs.

#include "RoundTripSupport.h"

#include <QRegularExpression>

namespace {

roundtrip::TPlace Here()
{
    return {testserver::Version(), testserver::Version()};
}

// The server's lines of a log: from its first "gbak:" line up to the empty
// line that ends the output, each without the one blank that ends a line the
// server sends a line per query.
QStringList ServerBlock(const QStringList& lines)
{
    QStringList block;
    bool in = false;
    for (const QString& line : lines) {
        if (!in && !line.startsWith(QLatin1String("gbak:")))
            continue;
        in = true;
        if (line.isEmpty())
            break;
        block << (line.endsWith(u' ') ? line.chopped(1) : line);
    }
    return block;
}

QStringList OutputLines(const QString& output)
{
    QStringList lines = QString(output).remove(u'\r').split(u'\n');
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u' '))
            line.chop(1);
    return lines;
}

// Paths that differ between the window's job and gbak's, masked.
QStringList Masked(QStringList lines, const QStringList& paths)
{
    static const QRegularExpression creatingFile(QStringLiteral("^(gbak:\\s*creating file ).*$"));
    for (QString& line : lines) {
        line.replace(creatingFile, QStringLiteral("\\1<backup file>"));
        for (const QString& path : paths)
            line.replace(path, QStringLiteral("<path>"));
    }
    return lines;
}

QStringList Gbak(const QStringList& arguments)
{
    const QStringList login{QStringLiteral("-user"), testserver::User(), QStringLiteral("-password"),
        testserver::Password(), QStringLiteral("-se"), testserver::ServerText() + QStringLiteral("service_mgr")};
    return OutputLines(testserver::RunTool(testserver::Version(), QStringLiteral("gbak"), login + arguments));
}

} // namespace

TEST_F(RoundTripTest, EveryTypeInAWin1252DatabaseComesBackAsItWas)
{
    const QString database = Folder() + QStringLiteral("TIPOS.FDB");
    CreateEveryType(testserver::Version(), database);
    const roundtrip::TDatabaseImage original = roundtrip::ImageOf(Here(), database);
    ASSERT_TRUE(original.contents.value(QStringLiteral("TIPOS")).startsWith(QLatin1String("4 rows")));
    ASSERT_TRUE(original.contents.value(QStringLiteral("CLIENTES")).startsWith(QLatin1String("299 rows")));
    ASSERT_TRUE(original.contents.value(QStringLiteral("VAZIA")).startsWith(QLatin1String("0 rows")));

    auto window = WindowOn(testserver::Version(), Folder(), database);
    BackupThroughTheWindow(*window);
    RestoreThroughTheWindow(*window);

    EXPECT_EQ(ShutdownModeOf(database), 0);
    roundtrip::ExpectSameDatabase(original, roundtrip::ImageOf(Here(), database));
    // The accented text, as the server reads it now.
    const QString names = testserver::RunTool(testserver::Version(), QStringLiteral("isql-fb"),
        {QStringLiteral("-q"), QStringLiteral("-ch"), QStringLiteral("UTF8"), QStringLiteral("-user"),
            testserver::User(), QStringLiteral("-password"), testserver::Password(),
            testserver::ServerText() + database},
        "set list on; select NOME, LATIM from TIPOS where CODIGO = 'MÁXIMO';");
    EXPECT_TRUE(names.contains(QStringLiteral("João Conceição Açaí"))) << names.toStdString();
    EXPECT_TRUE(names.contains(QStringLiteral("Coração"))) << names.toStdString();
}

TEST_F(RoundTripTest, TheEmployeeSampleComesBackAsItWas)
{
    const QString database = Folder() + QStringLiteral("EMPLOYEE.FDB");
    roundtrip::CreateEmployee(testserver::Version(), database);
    const roundtrip::TDatabaseImage original = roundtrip::ImageOf(Here(), database);
    ASSERT_TRUE(original.contents.value(QStringLiteral("EMPLOYEE")).startsWith(QLatin1String("42 rows")))
        << original.contents.value(QStringLiteral("EMPLOYEE")).toStdString();

    auto window = WindowOn(testserver::Version(), Folder(), database);
    BackupThroughTheWindow(*window);
    RestoreThroughTheWindow(*window);

    EXPECT_EQ(ShutdownModeOf(database), 0);
    roundtrip::ExpectSameDatabase(original, roundtrip::ImageOf(Here(), database));
}

TEST_F(RoundTripTest, TheLogsHoldTheServersLinesAsGbakPrintsThem)
{
    const QString database = Folder() + QStringLiteral("TIPOS.FDB");
    CreateEveryType(testserver::Version(), database);
    auto window = WindowOn(testserver::Version(), Folder(), database);

    const QString backup = BackupThroughTheWindow(*window);
    const QString gbakBackup = Folder() + QStringLiteral("GBAK.FBK");
    const QStringList gbakBackupLines = Gbak({QStringLiteral("-b"), QStringLiteral("-v"), database, gbakBackup});
    const QStringList backupBlock = ServerBlock(Lines(*Log(*window, "mmBackup")));
    ASSERT_GT(backupBlock.size(), 50);
    EXPECT_EQ(Masked(backupBlock, {}), Masked(gbakBackupLines, {}));

    RestoreThroughTheWindow(*window);
    const QStringList restoreBlock = ServerBlock(Lines(*Log(*window, "mmRestore")));
    // gbak restores the same backup elsewhere, with the window's options and
    // the page size that its log shows.
    static const QRegularExpression created(QStringLiteral("created database .*, page_size (\\d+) bytes"));
    const auto pageSize = created.match(restoreBlock.join(u'\n'));
    ASSERT_TRUE(pageSize.hasMatch()) << restoreBlock.join(u'\n').toStdString();
    const QString elsewhere = Folder() + QStringLiteral("GBAK.FDB");
    const QStringList gbakRestoreLines = Gbak({QStringLiteral("-c"), QStringLiteral("-rep"), QStringLiteral("-v"),
        QStringLiteral("-page_size"), pageSize.captured(1), QStringLiteral("-use_all_space"), backup, elsewhere});
    ASSERT_GT(restoreBlock.size(), 50);
    // The window's restore wrote a database beside the destination, of the
    // run's own name, that then took the destination's place.
    static const QRegularExpression scratch(QStringLiteral("created database (.*), page_size"));
    const QString written = scratch.match(restoreBlock.join(u'\n')).captured(1);
    EXPECT_TRUE(written.startsWith(testserver::ServerFileName(database) + QStringLiteral(".ZURTESTE.")))
        << written.toStdString();
    EXPECT_EQ(Masked(restoreBlock, {written}), Masked(gbakRestoreLines, {testserver::ServerFileName(elsewhere)}));

    // Where the two servers' lines differ.
    const bool firebird4 = testserver::Version() == 4;
    EXPECT_EQ(backupBlock.contains(QStringLiteral("gbak:writing publications")), firebird4);
    EXPECT_TRUE(restoreBlock.contains(
        firebird4 ? QStringLiteral("gbak:backup version is 11") : QStringLiteral("gbak:backup version is 10")));
    EXPECT_TRUE(restoreBlock.contains(firebird4 ? QStringLiteral("gbak:adjusting views dbkey length")
                                                : QStringLiteral("gbak:fixing views dbkey length")));
}
