// The runs as a hostile world tries them, against the private server: a
// server field written another way, paths that the service would read as a
// name and a size, a database that the server holds, long paths, large pages,
// fields changed during and after a run, a server killed while it replaces
// the database, and scratch databases left by an earlier run. Wherever a road
// fails, the operator's database is whole and online, and the success box
// comes only where the job really succeeded.

#include "RunsTestSupport.h"
#include "ServerKill.h"
#include "SmallVolume.h"

#include "core/AppPaths.h"
#include "core/BackupFile.h"
#include "runs/RestoreSafety.h"
#include "runs/RestoreSteps.h"

namespace {

const QString ReplacedText
    = QStringLiteral("A base de dados %1 foi substituída e está incompleta. Restaure novamente o "
                     "backup %2.");

class RunsDataSafetyTest : public RunsTest {
protected:
    // The server field without its final ":" ("localhost/3055").
    static QString ServerFieldWithoutColon()
    {
        QString field = testserver::ServerText();
        field.chop(1);
        return field;
    }

    // A database of `rows` rows in CLIENTES and its backup, made by the server.
    QString BackupOf(const QString& name, int rows) { return BackupOfTable(name, QStringLiteral("CLIENTES"), rows); }

    // The operator's database: `rows` rows in CLIENTES, online.
    QString LiveDatabase(int rows)
    {
        const QString database = Folder() + QStringLiteral("DADOS.FDB");
        testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), rows));
        return database;
    }

    void ExpectWhole(const QString& database, int rows)
    {
        EXPECT_EQ(ShutdownModeOf(database), 0);
        EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), rows);
        EXPECT_EQ(ScratchDatabasesBeside(database), QStringList());
    }

    static QStringList RestoreLog(QWidget& window) { return Lines(*Log(window, "mmRestore")); }
};

} // namespace

TEST_F(RunsDataSafetyTest, ChecksReachTheDatabaseThatTheRestoreWrites)
{
    // Without its final ":" the field still names the server, for the
    // service and for every check alike.
    const QString database = LiveDatabase(5000);
    const QString noise = Folder() + QStringLiteral("RUIDO.BKP");
    QByteArray bytes(64 * 1024, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7919 + 13) % 251);
    WriteFile(noise, bytes);
    auto window = ShownWindow(database);
    Field(*window, "edServidor")->setText(ServerFieldWithoutColon());
    Choose(*window, noise);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    ExpectWhole(database, 5000);
    EXPECT_EQ(
        RestoreLog(*window).first(), QStringLiteral("Verificando o backup antes de substituir a base de dados..."));

    // A good backup of another database replaces it, and the run says so.
    dialogs.boxes.clear();
    const QString good = BackupOf(QStringLiteral("OUTRA"), 12);
    window->FillCatalogue();
    Choose(*window, good);
    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    ExpectWhole(database, 12);
}

TEST_F(RunsDataSafetyTest, PathsThatTheServiceWouldReadAsANameAndASizeAreRefused)
{
    // "…/DADOS=12" would go out as the file "…/DADOS" of size 12.
    const QString database = LiveDatabase(30);
    const QString backup = BackupOf(QStringLiteral("OUTRA"), 12);
    const QString destination = Folder() + QStringLiteral("DADOS.FDB=12");
    auto window = ShownWindow(destination);
    Choose(*window, backup);
    runs::TStartCounter& counter = CountStarts(*window);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    EXPECT_EQ(counter.starts, 0);
    EXPECT_TRUE(RestoreLog(*window).first().contains(destination)) << RestoreLog(*window).first().toStdString();
    ExpectWhole(database, 30);
    EXPECT_FALSE(QFileInfo::exists(destination));

    // A program directory with "=" in it: the backup would be written elsewhere.
    dialogs.boxes.clear();
    const QString odd = Folder() + QStringLiteral("BACKUP=5/");
    QDir().mkpath(odd);
    auto backupWindow = ConnectedWindow(database, odd);
    Button(*backupWindow, "btnBackup")->click();

    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(runs::BackupFailed + QStringLiteral("\r\rErro:O caminho")))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_TRUE(QDir(odd).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(QDir(Folder() + QStringLiteral("BACKUP")).entryList(QDir::Files).isEmpty());
    ExpectWhole(database, 30);
}

TEST_F(RunsDataSafetyTest, ADatabaseThatTheServerHoldsIsLeftAlone)
{
    // The local engine cannot open what the server has open; nor does any
    // restore replace a database that another program is using.
    const QString database = LiveDatabase(40);
    const qint64 size = QFileInfo(database).size();
    const QString backup = BackupOf(QStringLiteral("OUTRA"), 12);
    TIBDatabase user;
    user.SetLoginPrompt(false);
    user.Params().Add(QStringLiteral("user_name=") + testserver::User());
    user.Params().Add(QStringLiteral("password=") + testserver::Password());
    user.SetDatabaseName(testserver::ServerText() + database);
    user.SetConnected(true);

    for (const QString& server : {QString(), testserver::ServerText()}) {
        SCOPED_TRACE(server.isEmpty() ? "local engine" : "through the server");
        dialogs.boxes.clear();
        auto window = ShownWindow(database);
        Field(*window, "edServidor")->setText(server);
        Choose(*window, backup);
        runs::TStartCounter& counter = CountStarts(*window);

        Button(*window, "btnRestore")->click();

        EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
        EXPECT_EQ(counter.starts, 0);
        const QStringList lines = RestoreLog(*window);
        EXPECT_TRUE(
            lines.first().startsWith(QStringLiteral("A base de dados ") + database + QStringLiteral(" está em uso")))
            << lines.first().toStdString();
        EXPECT_EQ(QFileInfo(database).size(), size);
    }
    user.SetConnected(false);
    ExpectWhole(database, 40);
}

TEST_F(RunsDataSafetyTest, ABackupThatDoesNotRestoreIsNoBackupAndTheMorningsStays)
{
    // A database path over 255 bytes: the server cuts it short in the backup,
    // ends its output as always, and on Firebird 3 the file cannot be restored.
    const QString folder = Folder() + QString(120, u'a') + u'/' + QString(120, u'b') + u'/';
    QDir().mkpath(folder);
    const QString database = folder + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 20));
    SetTodayForTests(QDate(2013, 4, 15));
    const QString morning = Folder() + QStringLiteral("DADOS20130415.BKP");
    MakeBackup(LiveDatabase(3), morning);
    const QByteArray morningBytes = ReadFile(morning);
    auto window = ConnectedWindow(database);
    const int entries = Catalogue(*window)->count();

    Button(*window, "btnBackup")->click();

    ASSERT_EQ(dialogs.boxes.size(), 1u);
    const QString log = Log(*window, "mmBackup")->toPlainText();
    EXPECT_TRUE(log.contains(QLatin1String("truncating to 255 bytes"))) << log.toStdString();
    EXPECT_TRUE(log.contains(runs::ProvingBackup));
    if (testserver::Version() == 4) {
        // Firebird 4 cuts the path short as well, but restores such a file:
        // there the backup proves itself.
        EXPECT_EQ(dialogs.boxes[0].text, runs::BackupSucceeded);
        EXPECT_TRUE(log.contains(QLatin1String("Finalizando Backup...")));
        return;
    }
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(runs::BackupFailed + QStringLiteral("\r\rErro:")));
    EXPECT_EQ(dialogs.boxes[0].kind, TMessageKind::Warning);
    EXPECT_FALSE(log.contains(QLatin1String("Finalizando Backup...")));
    EXPECT_EQ(ReadFile(morning), morningBytes);
    EXPECT_EQ(PartialBackupsOf(morning), QStringList());
    EXPECT_EQ(Catalogue(*window)->count(), entries);
    EXPECT_TRUE(Button(*window, "btnBackup")->isEnabled());
    // (The server cannot give the shutdown mode of a database whose path is
    // longer than its monitoring tables hold.)
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 20);
    EXPECT_EQ(ScratchDatabasesBeside(database), QStringList());
}

TEST_F(RunsDataSafetyTest, LargePagesStayLargeOnBothRoads)
{
    // An index key that fits in 8 KB pages and not in 4 KB ones.
    const QString database = Folder() + QStringLiteral("PAGINAS.FDB");
    testserver::CreateDatabase(database,
        QStringLiteral("create table NOMES (ID integer, NOME varchar(300) character set UTF8);\n"
                       "create index NOMES_NOME on NOMES (NOME);\n"
                       "insert into NOMES values (1, 'Conceição');\ncommit;\n")
            + runs::TableWithRows(QStringLiteral("CLIENTES"), 9),
        3, 8192);
    const QString external = Folder() + QStringLiteral("EXTERNO.FBK");
    MakeBackup(database, external);
    EXPECT_EQ(BackupPageSize(external), 8192);
    auto window = ConnectedWindow(database);
    runs::TStartCounter& counter = CountStarts(*window);

    // The backup proves itself at its own page size, then restores over its database.
    Button(*window, "btnBackup")->click();
    ASSERT_EQ(Boxes(dialogs), (TBoxes{{runs::BackupSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    dialogs.boxes.clear();
    Button(*window, "btnRestore")->click();
    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    ExpectWhole(database, 9);
    EXPECT_EQ(counter.LastRestore().pageSize, 8192);
    EXPECT_TRUE(testserver::IsqlOn(database,
        QStringLiteral("select 'ativo:' || coalesce(RDB$INDEX_INACTIVE, 0) from RDB$INDICES "
                       "where RDB$INDEX_NAME = 'NOMES_NOME';\n"))
                    .contains(QLatin1String("ativo:0")));

    // A backup made elsewhere: its header gives the page size.
    dialogs.boxes.clear();
    auto another = ShownWindow(database);
    another->FillCatalogue();
    QComboBox* catalogue = Catalogue(*another);
    catalogue->insertItem(0, AsciiUpper(external), external);
    catalogue->setCurrentIndex(0);
    Button(*another, "btnRestore")->click();
    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    EXPECT_EQ(counter.LastRestore().pageSize, 8192);
    ExpectWhole(database, 9);
}

TEST_F(RunsDataSafetyTest, ARunKeepsTheValuesItStartedWith)
{
    const QString database = LiveDatabase(25);
    const QString other = Folder() + QStringLiteral("OUTRO.FDB");
    testserver::CreateDatabase(other, runs::TableWithRows(QStringLiteral("CLIENTES"), 8));
    auto window = ConnectedWindow(database);
    runs::TStartCounter& counter = CountStarts(*window);
    // The operator changes the path while the backup runs, and browses.
    QObject::connect(Log(*window, "mmBackup"), &TLogView::textChanged, window.get(), [&] {
        Field(*window, "edCaminho")->setText(other);
        Find<QToolButton>(*window, "sbAbrir")->click();
    });
    Button(*window, "btnBackup")->click();
    ASSERT_EQ(Boxes(dialogs), (TBoxes{{runs::BackupSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    EXPECT_TRUE(dialogs.requests.empty()); // the browse waited for the run's end
    EXPECT_EQ(counter.starts, 2);
    EXPECT_EQ(ScratchDatabasesBeside(other), QStringList());

    // Over OUTRO, as over any database: one restore beside it, then the swap.
    dialogs.boxes.clear();
    QObject::disconnect(Log(*window, "mmBackup"), nullptr, window.get(), nullptr);
    QObject::connect(Log(*window, "mmRestore"), &TLogView::textChanged, window.get(),
        [&] { Field(*window, "edCaminho")->setText(database); });
    Field(*window, "edCaminho")->setText(other);
    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    EXPECT_EQ(counter.starts, 3);
    EXPECT_EQ(Find<QLabel>(*window, "lblBase_Restaurada")->text(), other);
    ExpectWhole(other, 25);
    ExpectWhole(database, 25);
}

TEST_F(RunsDataSafetyTest, AServerKilledWhileTheRestoreRunsLeavesTheDatabaseAsItWas)
{
    // A table whose data keeps the server busy for a few seconds.
    const QString source = Folder() + QStringLiteral("GRANDE.FDB");
    const int rows = 1500000;
    testserver::CreateDatabase(source, runs::TableWithRows(QStringLiteral("GRANDE"), rows));
    const QString backup = Folder() + QStringLiteral("GRANDE.BKP");
    MakeBackup(source, backup);
    const QString database = LiveDatabase(30);
    auto window = ShownWindow(database);
    Choose(*window, backup);

    // Once the server is writing the restored database beside the
    // destination, it goes away at once, as in a crash.
    TKillServerWhen kill([&] {
        if (!window->Running())
            return false;
        const QStringList scratch = ScratchDatabasesBeside(database);
        return !scratch.isEmpty() && QFileInfo(scratch.first()).size() > 16 * 1024 * 1024;
    });

    Button(*window, "btnRestore")->click();
    EXPECT_EQ(FirebirdServer(QStringLiteral("start")), 0);

    ASSERT_TRUE(kill.Killed());
    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    EXPECT_FALSE(Lines(*Log(*window, "mmRestore")).contains(ReplacedText.arg(database, backup)));
    EXPECT_EQ(Find<QLabel>(*window, "lblBase_Restaurada")->text(), QStringLiteral("..."));
    EXPECT_TRUE(Button(*window, "btnRestore")->isEnabled());
    ExpectNothingLeftBusy(*window);
    EXPECT_EQ(ShutdownModeOf(database), 0);
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 30);

    // Tried again, the run first clears what the server left, and says so.
    dialogs.boxes.clear();
    Button(*window, "btnRestore")->click();
    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    EXPECT_TRUE(Log(*window, "mmRestore")->toPlainText().contains(QLatin1String("Encontrada a base de teste")));
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("GRANDE")), rows);
    EXPECT_EQ(ScratchDatabasesBeside(database), QStringList());
}

TEST_F(RunsDataSafetyTest, AScratchDatabaseLeftByAnEarlierRunGoesWhenTheWindowStarts)
{
    const QString database = LiveDatabase(30);
    const QString backup = BackupOf(QStringLiteral("OUTRA"), 12);
    // An earlier run's scratch database, left shut down as a cut-short restore leaves it.
    const QString scratch = ScratchDatabasePath(database, QStringLiteral("20130415000000000-1-abcd"));
    testserver::CreateDatabase(scratch, runs::TableWithRows(QStringLiteral("RESTO"), 3));
    testserver::Gfix({QStringLiteral("-shut"), QStringLiteral("single"), QStringLiteral("-force"), QStringLiteral("0"),
        testserver::ServerText() + scratch});
    auto window = ShownWindow(database);
    // The window's start puts right what was left beside its database, and says so once.
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].kind, TMessageKind::Information);
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("Encontrada a base de teste ") + scratch))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_TRUE(Log(*window, "mmBackup")->toPlainText().contains(scratch));
    EXPECT_EQ(ScratchDatabasesBeside(database), QStringList());
    dialogs.boxes.clear();
    Choose(*window, backup);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    ExpectWhole(database, 12);
}

TEST_F(RunsDataSafetyTest, AFullDiskLeavesTheMorningsBackupAndTakesNoSpace)
{
    const QString database = LiveDatabase(30);
    testserver::IsqlOn(database, runs::TableWithRows(QStringLiteral("GRANDE"), 60000));
    SetTodayForTests(QDate(2013, 4, 15));
    const QString measured = Folder() + QStringLiteral("MEDIDA.BKP");
    MakeBackup(database, measured);
    const qint64 backupSize = QFileInfo(measured).size();

    // The program's directory holds this morning's backup and room for half another.
    const QString program = Folder() + QStringLiteral("programa/");
    TSmallVolume programVolume(program, backupSize * 3 / 2);
    if (!programVolume.Mounted())
        GTEST_SKIP() << "a tmpfs cannot be mounted here (the test needs root)";
    const QString morning = program + QStringLiteral("DADOS20130415.BKP");
    ASSERT_TRUE(QFile::copy(measured, morning));
    const QByteArray morningBytes = ReadFile(morning);
    auto window = ConnectedWindow(database, program);

    Button(*window, "btnBackup")->click();

    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(runs::BackupFailed + QStringLiteral("\r\rErro:")));
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QLatin1String("free disk space exhausted")))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_EQ(ReadFile(morning), morningBytes);
    EXPECT_EQ(QDir(program).entryList(QDir::Files), QStringList{QStringLiteral("DADOS20130415.BKP")});
    ExpectWhole(database, 30);

    // A volume with room for the database and not for its proof: the scratch
    // database goes, and the database has its room again.
    dialogs.boxes.clear();
    const QString volume = Folder() + QStringLiteral("volume/");
    TSmallVolume databaseVolume(volume, QFileInfo(database).size() * 3 / 2);
    ASSERT_TRUE(databaseVolume.Mounted());
    const QString tight = volume + QStringLiteral("DADOS.FDB");
    ASSERT_TRUE(QFile::copy(database, tight));
    Field(*window, "edCaminho")->setText(tight);
    Find<QToolButton>(*window, "SpeedButton1")->click();
    ASSERT_TRUE(window->DB->Connected());
    QFile::remove(morning);

    Button(*window, "btnBackup")->click();

    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(runs::BackupFailed + QStringLiteral("\r\rErro:")));
    EXPECT_TRUE(dialogs.boxes[0].text.contains(QLatin1String("No space left on device")))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_EQ(QDir(volume).entryList(QDir::Files), QStringList{QStringLiteral("DADOS.FDB")});
    EXPECT_TRUE(QDir(program).entryList(QDir::Files).isEmpty());
    window->DB->SetConnected(false);
    testserver::IsqlOn(tight, QStringLiteral("insert into CLIENTES values (31, 'depois');\ncommit;\n"));
    ExpectWhole(tight, 31);
}
