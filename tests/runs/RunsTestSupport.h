#pragma once
// What the tests of the connection test and of the backup and restore runs
// share: a shown window pointed at the private server, its controls by object
// name, databases and backups made on the server, and a count of the start
// requests that reach the trace hook.

#include "ServerAttach.h"
#include "ServiceRecorder.h"
#include "WindowTestSupport.h"

#include "core/BackupNaming.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "ibclient/DatabaseCheck.h"
#include "ibclient/TraceHook.h"

#include "LinuxProcess.h"
#include "logview/LogView.h"
#include <QComboBox>
#include <QCursor>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

#include <memory>
#include <tuple>

namespace runs {

// The run's texts, as the operator reads them.
inline const QString Attention = QStringLiteral("Atenção");
inline const QString BackupFailed = QStringLiteral("Ocorreram problemas e o Backup não foi realizado!");
inline const QString RestoreFailed = QStringLiteral("Ocorreram problemas e o Backup não foi restaurado!!!");
inline const QString BackupSucceeded = QStringLiteral("Backup realizado com sucesso !!!");
inline const QString RestoreSucceeded = QStringLiteral("Backup Restaurado com Sucesso !!!");
inline const QString ProvingBackup = QStringLiteral("Verificando o backup: restaurando-o numa base de teste...");
inline const QString WrongPasswordText = QStringLiteral(
    "Your user name and password are not defined. Ask your database administrator to set up a Firebird login");

// Counts (and records) the start requests of the roads' services.
using TStartCounter = TServiceRecorder;

// A file of rows for a table of `rows` rows made inside the server.
inline QString TableWithRows(const QString& table, int rows)
{
    return QStringLiteral("create table %1 (ID integer, NAME varchar(40));\n"
                          "commit;\n"
                          "set term ^ ;\n"
                          "execute block as declare i integer = 0; begin\n"
                          "  while (i < %2) do begin\n"
                          "    insert into %1 values (:i, 'linha ' || :i);\n"
                          "    i = i + 1;\n"
                          "  end\n"
                          "end^\n"
                          "set term ; ^\n")
        .arg(table)
        .arg(rows);
}

} // namespace runs

class RunsTest : public WindowTest {
protected:
    void TearDown() override
    {
        SetTodayForTests(QDate());
        ReplaceMonitorHook(nullptr);
    }

    // A shown window whose program directory is the test's folder. Its user
    // and password are the window's defaults, which the private server
    // accepts. The server field is the test server's text: under CI it equals
    // the window's default "localhost/3055:"; a developer's own port differs.
    // (Or programDirectory, when given.)
    std::unique_ptr<TfrmPrincipal> ShownWindow(
        const QString& databasePath = QString(), const QString& programDirectory = QString())
    {
        auto window = MakeWindow(programDirectory);
        Field(*window, "edServidor")->setText(testserver::ServerText());
        if (!databasePath.isEmpty())
            Field(*window, "edCaminho")->setText(databasePath);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    // A shown window after a successful connection test to databasePath.
    std::unique_ptr<TfrmPrincipal> ConnectedWindow(
        const QString& databasePath, const QString& programDirectory = QString())
    {
        auto window = ShownWindow(databasePath, programDirectory);
        Find<QToolButton>(*window, "SpeedButton1")->click();
        EXPECT_TRUE(window->DB->Connected());
        EXPECT_TRUE(dialogs.boxes.empty());
        return window;
    }

    static QLineEdit* Field(QWidget& window, const char* name) { return Find<QLineEdit>(window, name); }
    static TLogView* Log(QWidget& window, const char* name) { return Find<TLogView>(window, name); }
    static QPushButton* Button(QWidget& window, const char* name) { return Find<QPushButton>(window, name); }
    static QComboBox* Catalogue(QWidget& window) { return Find<QComboBox>(window, "cmbBackups"); }

    // Selects the catalogue entry of a file, as the operator would pick it.
    static void Choose(QWidget& window, const QString& path)
    {
        QComboBox* catalogue = Catalogue(window);
        const int index = catalogue->findData(path);
        ASSERT_GE(index, 0) << path.toStdString();
        catalogue->setCurrentIndex(index);
    }

    static QStringList Lines(const TLogView& log) { return log.toPlainText().split(QLatin1Char('\n')); }

    // The boxes shown, as text, caption and kind.
    using TBoxes = std::vector<std::tuple<QString, QString, TMessageKind>>;
    static TBoxes Boxes(const TRecordingDialogs& recorded)
    {
        TBoxes boxes;
        for (const TRecordedBox& box : recorded.boxes)
            boxes.emplace_back(box.text, box.caption, box.kind);
        return boxes;
    }

    static void ExpectNothingLeftBusy(const TfrmPrincipal& window)
    {
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(window.RoadInProgress(), TfrmPrincipal::TRoadPage::None);
        EXPECT_FALSE(window.Running());
    }

    // What a run shows while it works, seen from the changes of its log and
    // from a message left pending before it started.
    struct TDuringRun {
        int changes = 0;
        int changesUnderTheHourGlass = 0;
        bool pendingMessageHandledInTheRun = false;
    };
    static void Watch(TfrmPrincipal& window, TLogView& log, TDuringRun& seen)
    {
        QObject::connect(&log, &TLogView::textChanged, &log, [&seen] {
            ++seen.changes;
            const QCursor* cursor = QApplication::overrideCursor();
            if (cursor != nullptr && cursor->shape() == Qt::WaitCursor)
                ++seen.changesUnderTheHourGlass;
        });
        QMetaObject::invokeMethod(
            &window, [&seen, &window] { seen.pendingMessageHandledInTheRun = window.Running(); }, Qt::QueuedConnection);
    }

    // Counts the start requests of the window's runs from now on.
    static runs::TStartCounter& CountStarts(TfrmPrincipal&) { return RecordServiceStarts(); }

    // A backup of database into backupFile, written by the server.
    static void MakeBackup(const QString& database, const QString& backupFile)
    {
        TIBBackupService service;
        AttachToServer(service);
        service.SetDatabaseName(database);
        service.BackupFile().Add(backupFile);
        service.ServiceStart();
        while (!service.Eof())
            service.GetNextLine();
        service.Detach();
        ASSERT_TRUE(QFileInfo(backupFile).size() > 0) << backupFile.toStdString();
    }

    // A database name.FDB in the test's folder with rows rows in table, and
    // its backup name + suffix there, written by the server; the backup's path.
    QString BackupOfTable(
        const QString& name, const QString& table, int rows, const QString& suffix = QStringLiteral(".BKP"))
    {
        const QString database = Folder() + name + QStringLiteral(".FDB");
        testserver::CreateDatabase(database, runs::TableWithRows(table, rows));
        const QString backup = Folder() + name + suffix;
        MakeBackup(database, backup);
        return backup;
    }

    // A copy of file with the first half of its bytes.
    static void WriteFirstHalf(const QString& file, const QString& copy)
    {
        QFile source(file);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        WriteFile(copy, bytes.left(bytes.size() / 2));
    }

    // Attaches to the database at path; the shutdown mode it reads (0 = online),
    // -2 when the attachment fails.
    static int ShutdownModeOf(const QString& path)
    {
        TIBDatabase database;
        database.SetLoginPrompt(false);
        database.Params().Add(QStringLiteral("user_name=") + testserver::User());
        database.Params().Add(QStringLiteral("password=") + testserver::Password());
        database.SetDatabaseName(testserver::ServerText() + path);
        try {
            database.SetConnected(true);
            const int mode = ReadShutdownMode(database);
            database.SetConnected(false);
            return mode;
        } catch (const Exception& failure) {
            ADD_FAILURE() << "attaching " << path.toStdString() << ": " << failure.what();
            return -2;
        }
    }

    // Runs scripts/firebird-server with an action for the test's own server.
    static int FirebirdServer(const QString& action) { return testserver::ServerScript(action); }
};
