// The window and the command line are two doors to the same roads: for the
// same backup and the same restores the server receives the same requests
// from both (the verbose output, the options, the page size, the login and
// the names, but for each run's own mark).

#include "RunsTestSupport.h"

#include "cli/CommandLineRun.h"
#include "core/BackupFile.h"
#include "runs/RestoreSteps.h"

#include <QRegularExpression>

namespace {

class RunsDoorsTest : public RunsTest { };

// A start request with each run's own part of its names taken out: the mark,
// and the new path a restore was sent to.
QString Comparable(const TRecordedStart& start, const QString& newPath)
{
    static const QRegularExpression mark(QStringLiteral("\\.(PARCIAL|ZURTESTE|ZURANTERIOR)\\.[0-9a-f-]+$"));
    QStringList names;
    for (QString name : start.databases + start.backups) {
        name.replace(mark, QStringLiteral(".\\1.*"));
        if (!newPath.isEmpty())
            name.replace(newPath, QStringLiteral("NOVA"));
        names << name;
    }
    QStringList options;
    for (TRestoreOption option : start.restoreOptions)
        options << QString::number(static_cast<int>(option));
    for (TBackupOption option : start.backupOptions)
        options << QString::number(static_cast<int>(option));
    return QStringLiteral("%1 verbose=%2 options=%3 page=%4 %5 %6 [%7] [%8]")
        .arg(start.restore ? QStringLiteral("restore") : QStringLiteral("backup"))
        .arg(start.verbose)
        .arg(options.join(u','))
        .arg(start.pageSize)
        .arg(start.protocol)
        .arg(start.serverName, start.params.join(u' '), names.join(u' '));
}

QStringList Comparable(const std::vector<TRecordedStart>& starts, const QString& newPath = QString())
{
    QStringList all;
    for (const TRecordedStart& start : starts)
        all << Comparable(start, newPath);
    return all;
}

} // namespace

TEST_F(RunsDoorsTest, TheWindowAndTheCommandLineSendTheSameRequests)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 20));
    const QString backupFile = BackupFileName(Folder(), database, Today());
    TServiceRecorder& recorder = RecordServiceStarts();
    const auto commandLine = [&](const QStringList& arguments) {
        recorder.recorded.clear();
        EXPECT_EQ(RunCommandLine(QStringList{QStringLiteral("zur"), QStringLiteral("--quiet"),
                                     QStringLiteral("--server"), testserver::ServerText()}
                      + arguments),
            0);
        return recorder.recorded;
    };

    // The backup and its proof.
    auto window = ConnectedWindow(database);
    Button(*window, "btnBackup")->click();
    ASSERT_EQ(Boxes(dialogs), (TBoxes{{runs::BackupSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    const std::vector<TRecordedStart> windowBackup = recorder.recorded;
    const std::vector<TRecordedStart> lineBackup = commandLine(
        {QStringLiteral("--backup"), QStringLiteral("--database"), database, QStringLiteral("--dest"), Folder()});
    ASSERT_EQ(windowBackup.size(), 2u);
    EXPECT_TRUE(windowBackup[0].verbose && windowBackup[1].verbose);
    EXPECT_EQ(Comparable(lineBackup), Comparable(windowBackup));

    // A restore over the database.
    dialogs.boxes.clear();
    recorder.recorded.clear();
    Button(*window, "btnRestore")->click();
    ASSERT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    const std::vector<TRecordedStart> windowOver = recorder.recorded;
    const std::vector<TRecordedStart> lineOver
        = commandLine({QStringLiteral("--restore"), backupFile, QStringLiteral("--database"), database});
    ASSERT_EQ(windowOver.size(), 1u);
    const TRestoreOptions windowOptions{
        TRestoreOption::Replace, TRestoreOption::CreateNewDB, TRestoreOption::UseAllSpace};
    EXPECT_EQ(windowOver[0].restoreOptions, windowOptions);
    EXPECT_TRUE(windowOver[0].verbose);
    EXPECT_EQ(Comparable(lineOver), Comparable(windowOver));

    // A restore to a new path.
    dialogs.boxes.clear();
    recorder.recorded.clear();
    const QString windowNew = Folder() + QStringLiteral("NOVA1.FDB");
    auto another = ShownWindow(windowNew);
    Choose(*another, backupFile);
    Button(*another, "btnRestore")->click();
    ASSERT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    const std::vector<TRecordedStart> windowToNew = recorder.recorded;
    const QString lineNew = Folder() + QStringLiteral("NOVA2.FDB");
    const std::vector<TRecordedStart> lineToNew = commandLine(
        {QStringLiteral("--restore"), backupFile, QStringLiteral("--database"), lineNew, QStringLiteral("--create")});
    ASSERT_EQ(windowToNew.size(), 1u);
    EXPECT_EQ(Comparable(lineToNew, lineNew), Comparable(windowToNew, windowNew));
    EXPECT_EQ(testserver::CountRows(lineNew, QStringLiteral("CLIENTES")), 20);
}
