#pragma once
// What the round-trip tests share: the window's backup and restore roads,
// and the databases they take through them.

#include "RunsTestSupport.h"

#include "DatabaseImage.h"

class RoundTripTest : public RunsTest {
protected:
    // The database with every type, in WIN1252; made on Firebird 4 it has the
    // types that Firebird 4 adds.
    static void CreateEveryType(int version, const QString& path)
    {
        QStringList scripts{roundtrip::Script(QStringLiteral("EveryType.sql"))};
        if (version == 4)
            scripts << roundtrip::Script(QStringLiteral("EveryTypeFirebird4.sql"));
        roundtrip::CreateFromScripts(version, path, QStringLiteral("WIN1252"), scripts);
    }

    // A window on the server of that version, with the program directory
    // folder, after a successful connection test to database.
    std::unique_ptr<TfrmPrincipal> WindowOn(int version, const QString& folder, const QString& database)
    {
        auto window = MakeWindow(folder);
        Field(*window, "edServidor")->setText(testserver::ServerTextOf(version));
        Field(*window, "edCaminho")->setText(database);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    // The connection test and "Iniciar Backup", as the operator presses them;
    // the backup's path.
    QString BackupThroughTheWindow(TfrmPrincipal& window)
    {
        Find<QToolButton>(window, "SpeedButton1")->click();
        EXPECT_TRUE(window.DB->Connected());
        Button(window, "btnBackup")->click();
        EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::BackupSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
        dialogs.boxes.clear();
        return window.SelectedBackupPath();
    }

    // "Iniciar Restore" of the backup selected in the catalogue.
    void RestoreThroughTheWindow(TfrmPrincipal& window)
    {
        Button(window, "btnRestore")->click();
        EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
        dialogs.boxes.clear();
    }
};
