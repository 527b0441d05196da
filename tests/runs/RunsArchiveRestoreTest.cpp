// The restore of a compressed backup ("Backup's Compactados") against the
// private server: the backup comes out of the archive into a file of the
// run's own, the restore road runs on it as on a listed backup, and the file
// goes on every way out; a refused archive writes nothing and starts nothing.

#include "RunsTestSupport.h"

#include "ArchiveFixtures.h"
#include "SmallVolume.h"

#include "core/BackupArchive.h"
#include "runs/RestoreSafety.h"
#include "runs/RestoreSteps.h"

#include <functional>

namespace {

const QString ExtractingLine = QStringLiteral("Extraindo o backup do arquivo compactado %1...");
const QString NothingExtractedLine = QStringLiteral("Nada foi extraído e a base de dados não foi alterada.");

class RunsArchiveRestoreTest : public RunsTest {
protected:
    // A backup in the test's folder of a database of rows rows in FORNECEDORES.
    QString BackupOf(const QString& name, int rows)
    {
        return BackupOfTable(name, QStringLiteral("FORNECEDORES"), rows, QStringLiteral(".FBK"));
    }

    // The database the operator restores over: 30 rows in CLIENTES.
    QString LiveDatabase()
    {
        const QString database = Folder() + QStringLiteral("DADOS.FDB");
        testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("CLIENTES"), 30));
        return database;
    }

    // Picks the archive through a browse to its folder, as the operator does.
    void BrowseTo(TfrmPrincipal& window, const QString& archive)
    {
        dialogs.Confirm(archive);
        QTest::keyClick(Catalogue(window), Qt::Key_Down);
        Choose(window, archive);
    }

    static QStringList Extracted(const QString& folder)
    {
        return QDir(folder).entryList({QStringLiteral("*.EXTRAIDO")}, QDir::Files | QDir::Hidden);
    }

    void ExpectWhole(const QString& database, int rows)
    {
        EXPECT_EQ(ShutdownModeOf(database), 0);
        EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), rows);
    }
};

} // namespace

TEST_F(RunsArchiveRestoreTest, AGoodArchiveRestoresToTheRowsOfItsBackup)
{
    const QString backup = BackupOf(QStringLiteral("OUTRA"), 12);
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        bool replaces; // over an existing database, through the trial restore
        bool byZipTool = false; // Debian's zip, which a Windows program under Wine cannot run
    };
    const std::vector<Case> cases = {
        {"made by the zip library, over a database",
            [&](const QString& archive) {
                archives::MakeWithLibrary(archive, {{QStringLiteral("OUTRA.FBK"), ReadFile(backup)}});
            },
            true},
        {"made by Debian's zip, where no database is",
            [&](const QString& archive) {
                archives::MakeWithZipTool(Folder(), archive, {QStringLiteral("OUTRA.FBK")});
            },
            false, true},
    };
    const bool zipRuns = archives::ToolRuns(QStringLiteral("zip"));
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.byZipTool && !zipRuns)
            continue; // under Wine
        dialogs.boxes.clear();
        const QString archive = Folder() + QStringLiteral("ZUROUTRA%1.ZIP").arg(++round);
        c.make(archive);
        const QString database = c.replaces ? LiveDatabase() : Folder() + QStringLiteral("NOVO%1.FDB").arg(round);
        auto window = ShownWindow(database);
        BrowseTo(*window, archive);
        runs::TStartCounter& counter = CountStarts(*window);

        Button(*window, "btnRestore")->click();

        EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
        // One restore, beside the database, whether or not one was there.
        EXPECT_EQ(counter.starts, 1);
        EXPECT_EQ(ShutdownModeOf(database), 0);
        EXPECT_EQ(testserver::CountRows(database, QStringLiteral("FORNECEDORES")), 12);
        EXPECT_EQ(Find<QLabel>(*window, "lblBase_Restaurada")->text(), database);
        EXPECT_EQ(ScratchDatabasesBeside(database), QStringList());
        EXPECT_EQ(SetAsideFilesBeside(database), QStringList());
        EXPECT_EQ(Extracted(Folder()), QStringList());
        const QString text = Log(*window, "mmRestore")->toPlainText();
        EXPECT_TRUE(text.startsWith(ExtractingLine.arg(archive) + QStringLiteral("\nBackup OUTRA.FBK extraído em ")))
            << text.left(300).toStdString();
        ExpectNothingLeftBusy(*window);
    }
}

TEST_F(RunsArchiveRestoreTest, RefusedArchivesChangeNothingAndStartNothing)
{
    const QString database = LiveDatabase();
    const QString backup = BackupOf(QStringLiteral("OUTRA"), 12);
    const QByteArray bytes = ReadFile(backup);
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        QString says;
        bool byZipTool = false; // Debian's zip, which a Windows program under Wine cannot run
    };
    const std::vector<Case> cases = {
        {"no backup in it",
            [&](const QString& a) {
                archives::MakeWithLibrary(a, {{QStringLiteral("a/"), {}}});
            },
            QStringLiteral("não contém um backup")},
        {"two backups",
            [&](const QString& a) {
                archives::MakeWithLibrary(a, {{QStringLiteral("A.FBK"), bytes}, {QStringLiteral("B.FBK"), bytes}});
            },
            QStringLiteral("mais de um backup")},
        {"a name climbing out",
            [&](const QString& a) {
                archives::MakeWithLibrary(a, {{QStringLiteral("../OUTRA.FBK"), bytes}});
            },
            QStringLiteral("sai da pasta")},
        {"a drive letter",
            [&](const QString& a) {
                archives::MakeWithLibrary(a, {{QStringLiteral("C:\\OUTRA.FBK"), bytes}});
            },
            QStringLiteral("indica um drive")},
        {"encrypted",
            [&](const QString& a) {
                archives::MakeWithZipTool(
                    Folder(), a, {QStringLiteral("OUTRA.FBK")}, {QStringLiteral("-P"), QStringLiteral("x")});
            },
            QStringLiteral("protegido por senha"), true},
        {"not a zip", [&](const QString& a) { ASSERT_TRUE(QFile::copy(backup, a)); },
            QStringLiteral("Not a zip archive")},
        {"more data than declared",
            [&](const QString& a) {
                archives::MakeWithLibrary(a, {{QStringLiteral("OUTRA.FBK"), bytes}});
                archives::DeclareSize(a, static_cast<quint32>(bytes.size() / 2));
            },
            QStringLiteral("mais dados do que")},
    };
    const bool zipRuns = archives::ToolRuns(QStringLiteral("zip"));
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.byZipTool && !zipRuns)
            continue; // under Wine
        dialogs.boxes.clear();
        const QString archive = Folder() + QStringLiteral("ZUR%1.ZIP").arg(++round);
        c.make(archive);
        const QStringList before = QDir(Folder()).entryList(QDir::Files | QDir::Hidden);
        auto window = ShownWindow(database);
        BrowseTo(*window, archive);
        runs::TStartCounter& counter = CountStarts(*window);

        Button(*window, "btnRestore")->click();

        EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
        EXPECT_EQ(counter.starts, 0);
        const QStringList lines = Lines(*Log(*window, "mmRestore"));
        ASSERT_EQ(lines.size(), 4) << lines.join(u'\n').toStdString();
        EXPECT_EQ(lines[0], ExtractingLine.arg(archive));
        EXPECT_TRUE(lines[1].contains(c.says)) << lines[1].toStdString();
        EXPECT_EQ(lines[2], NothingExtractedLine);
        EXPECT_EQ(lines[3], QString());
        EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden), before);
        EXPECT_TRUE(Button(*window, "btnRestore")->isEnabled());
        ExpectNothingLeftBusy(*window);
    }
    ExpectWhole(database, 30);
}

TEST_F(RunsArchiveRestoreTest, ABackupThatFailsToRestoreLeavesNoExtractedFile)
{
    // An archive of the first half of a backup of many rows: whole as an
    // archive, cut short as a backup.
    const QString source = Folder() + QStringLiteral("GRANDE.FDB");
    testserver::CreateDatabase(source, runs::TableWithRows(QStringLiteral("MOVIMENTO"), 120000));
    const QString whole = Folder() + QStringLiteral("GRANDE.FBK");
    MakeBackup(source, whole);
    const QByteArray bytes = ReadFile(whole);
    const QString archive = Folder() + QStringLiteral("ZURGRANDE.ZIP");
    archives::MakeWithLibrary(archive, {{QStringLiteral("METADE.FBK"), bytes.left(bytes.size() / 2)}});
    const QString database = LiveDatabase();
    auto window = ShownWindow(database);
    BrowseTo(*window, archive);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    ExpectWhole(database, 30);
    EXPECT_EQ(Extracted(Folder()), QStringList());
    EXPECT_TRUE(
        Lines(*Log(*window, "mmRestore"))
            .contains(QStringLiteral("O backup escolhido está incompleto. A base de dados não foi substituída!")));
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsArchiveRestoreTest, AServerOnAnotherMachineIsToldAndNothingIsExtracted)
{
    const QString archive = Folder() + QStringLiteral("ZURDADOS.ZIP");
    archives::MakeWithLibrary(archive, {{QStringLiteral("DADOS.FBK"), QByteArray(1000, 'x')}});
    auto window = ShownWindow(Folder() + QStringLiteral("DADOS.FDB"));
    // A documentation address: never this machine, and nothing answers there.
    Field(*window, "edServidor")->setText(QStringLiteral("192.0.2.1/3050:"));
    BrowseTo(*window, archive);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    EXPECT_EQ(Lines(*Log(*window, "mmRestore")),
        (QStringList{QStringLiteral("O servidor 192.0.2.1/3050 não está neste computador e não leria o backup "
                                    "extraído aqui do arquivo compactado %1. Nada foi alterado.")
                         .arg(archive),
            QString()}));
    EXPECT_EQ(Extracted(Folder()), QStringList());
    ExpectNothingLeftBusy(*window);
}

TEST_F(RunsArchiveRestoreTest, NoRoomBesideTheProgramForTheBackupWritesNothing)
{
    const QString database = LiveDatabase();
    const QString backup = BackupOf(QStringLiteral("OUTRA"), 12);
    const QString archive = Folder() + QStringLiteral("ZUROUTRA.ZIP");
    archives::MakeWithLibrary(archive, {{QStringLiteral("OUTRA.FBK"), ReadFile(backup)}});
    // Room for the backup itself, not for the room to spare after it.
    const QString program = Folder() + QStringLiteral("programa/");
    const qint64 size = QFileInfo(backup).size();
    TSmallVolume volume(program, (size + RoomForExtraction(size)) / 2);
    if (!volume.Mounted())
        GTEST_SKIP() << "a tmpfs cannot be mounted here (the test needs root)";
    auto window = ShownWindow(database, program);
    BrowseTo(*window, archive);

    Button(*window, "btnRestore")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::RestoreFailed, runs::Attention, TMessageKind::Warning}}));
    const QStringList lines = Lines(*Log(*window, "mmRestore"));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Não há espaço em %1 para extrair o backup OUTRA.FBK").arg(program)))
        << lines[1].toStdString();
    EXPECT_EQ(QDir(program).entryList(QDir::Files | QDir::Hidden), QStringList());
    ExpectWhole(database, 30);
    ExpectNothingLeftBusy(*window);
}
