// The backup and restore roads against the real server with the database,
// the program and its backups in a folder whose name has accents: the names
// cross the client library in the ANSI code page (Windows-1252) and come back
// from the server as its own names of the same files.

#include "core/AppPaths.h"
#include "RunsTestSupport.h"

#include <QDate>

#include <gtest/gtest.h>

class AccentedFolderRuns : public RunsTest { };

TEST_F(AccentedFolderRuns, BackupAndRestoreOverTheDatabaseInAFolderWithAccents)
{
    const QString folder = testserver::NewFolder(QStringLiteral("Cópia de Segurança São João"));
    const QString database = folder + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 40));
    SetTodayForTests(QDate(2026, 12, 10));
    auto window = ConnectedWindow(database, folder);

    Button(*window, "btnBackup")->click();

    ASSERT_EQ(Boxes(dialogs), (TBoxes{{runs::BackupSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    const QString backup = folder + QStringLiteral("DADOS20261210.BKP");
    ASSERT_TRUE(FileExists(backup)) << backup.toStdString();
    EXPECT_GT(QFileInfo(backup).size(), 0);
    // The server's lines, which name the files in the server's own
    // character set (docs/windows.md).
    const QString backupLog = Log(*window, "mmBackup")->toPlainText();
    EXPECT_TRUE(backupLog.contains(QStringLiteral("gbak:readied database "))) << backupLog.left(300).toStdString();

    // Rows the backup does not have; the restore's rename puts the file made
    // from the backup in the database's place.
    testserver::IsqlOn(database, QStringLiteral("delete from CLIENTES;\ncommit;\n"));
    ASSERT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 0);
    dialogs.boxes.clear();
    Choose(*window, backup);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    EXPECT_EQ(ShutdownModeOf(database), 0);
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 40);
    EXPECT_EQ(Find<QLabel>(*window, "lblBase_Restaurada")->text(), database);
}
