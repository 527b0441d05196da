// The catalogue of backups in cmbBackups: the start-up fill, the browse
// through dbDialogo, the append of a new backup and what the restore reads.

#include "WindowTestSupport.h"

#include "ibclient/StringList.h"

#include <QComboBox>
#include <QLabel>
#include <QStringList>

namespace {

class CatalogueTest : public WindowTest {
protected:
    QComboBox* Catalogue(TfrmPrincipal& window) { return Find<QComboBox>(window, "cmbBackups"); }

    static QStringList Texts(const QComboBox& catalogue)
    {
        QStringList texts;
        for (int i = 0; i < catalogue.count(); ++i)
            texts << catalogue.itemText(i);
        return texts;
    }

    // The operator moves the selection one entry down with the keyboard.
    static void PickNext(QComboBox& catalogue) { QTest::keyClick(&catalogue, Qt::Key_Down); }
};

} // namespace

TEST_F(CatalogueTest, StartupFillListsTheBackupsOfTheExecutableDirectory)
{
    struct Case {
        const char* name;
        QStringList files; // created in the folder
        QStringList folders; // subdirectories created in the folder
        QStringList listed; // names as listed, in the list's order
        QStringList displayed; // the same names as the list shows them
    };
    const std::vector<Case> cases = {
        {"none", {QStringLiteral("DADOS.FDB"), QStringLiteral("notas.txt")}, {}, {}, {}},
        {"one", {QStringLiteral("DADOS20240301.BKP")}, {}, {QStringLiteral("DADOS20240301.BKP")},
            {QStringLiteral("DADOS20240301.BKP")}},
        {"lowercase", {QStringLiteral("DADOS20240301.BKP"), QStringLiteral("dados_a.bkp")}, {},
            {QStringLiteral("DADOS20240301.BKP"), QStringLiteral("dados_a.bkp")},
            {QStringLiteral("DADOS20240301.BKP"), QStringLiteral("DADOS_A.BKP")}},
        {"subdirectory", {QStringLiteral("DADOS20240301.BKP"), QStringLiteral("X.FBK")}, {QStringLiteral("OLD.BKP")},
            {QStringLiteral("DADOS20240301.BKP"), QStringLiteral("OLD.BKP")},
            {QStringLiteral("DADOS20240301.BKP"), QStringLiteral("OLD.BKP")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = testserver::NewFolder(QStringLiteral("CatalogueStartup_") + QLatin1String(c.name));
        for (const QString& file : c.files)
            Touch(folder + file);
        for (const QString& sub : c.folders)
            ASSERT_TRUE(QDir(folder).mkdir(sub));
        auto window = MakeWindow(folder);
        window->show();

        QComboBox* catalogue = Catalogue(*window);
        QStringList expected;
        for (const QString& name : c.displayed)
            expected << AsciiUpper(folder) + name;
        expected << QStringLiteral("Outro...");
        EXPECT_EQ(Texts(*catalogue), expected);
        // The last backup listed is selected; none when there is none.
        EXPECT_EQ(catalogue->currentIndex(), catalogue->count() - 2);
        if (c.listed.isEmpty()) {
            EXPECT_TRUE(catalogue->currentText().isEmpty());
            EXPECT_TRUE(window->SelectedBackupPath().isEmpty());
        } else {
            EXPECT_EQ(catalogue->currentText(), expected.at(expected.size() - 2));
            // The restore takes the file as listed, which names it on this file system.
            EXPECT_EQ(window->SelectedBackupPath(), folder + c.listed.last());
        }
        for (int i = 0; i < c.listed.size(); ++i)
            EXPECT_EQ(catalogue->itemData(i).toString(), folder + c.listed.at(i));
        EXPECT_TRUE(dialogs.requests.empty());
    }
}

TEST_F(CatalogueTest, BrowsingRebuildsTheListFromTheChosenDirectory)
{
    const QString browsed = testserver::NewFolder(QStringLiteral("CatalogueBrowse_elsewhere"));
    for (const char* name : {"A.FBK", "B.FBK", "ZUR_1.ZIP", "zur_2.zip", "X.ZIP"})
        Touch(browsed + QLatin1String(name));
    auto window = MakeWindow();
    window->show();
    QComboBox* catalogue = Catalogue(*window);
    ASSERT_EQ(Texts(*catalogue), QStringList{QStringLiteral("Outro...")});

    dialogs.Confirm(browsed + QStringLiteral("X.ZIP"));
    PickNext(*catalogue);

    ASSERT_EQ(dialogs.requests.size(), 1u);
    const TOpenFileRequest& request = dialogs.requests.front();
    EXPECT_EQ(request.initialDirectory, Find<QLabel>(*window, "lblDestino")->text());
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].label, QStringLiteral("Backup's FireBird"));
    EXPECT_EQ(request.filters[0].pattern, QStringLiteral("*.FBK"));
    EXPECT_EQ(request.filters[1].label, QStringLiteral("Backup's Compactados"));
    EXPECT_EQ(request.filters[1].pattern, QStringLiteral("*.ZIP"));
    EXPECT_EQ(request.filterIndex, 0);
    EXPECT_EQ(request.defaultExtension, QStringLiteral("ZIP"));

    const QString upper = AsciiUpper(browsed);
    EXPECT_EQ(Texts(*catalogue),
        (QStringList{
            upper + QStringLiteral("A.FBK"), upper + QStringLiteral("B.FBK"), upper + QStringLiteral("ZUR_1.ZIP")}));
    EXPECT_EQ(catalogue->currentIndex(), 2);
    EXPECT_EQ(window->SelectedBackupPath(), browsed + QStringLiteral("ZUR_1.ZIP"));

    // Without the browse entry the operator's picks only select.
    QTest::keyClick(catalogue, Qt::Key_Up);
    EXPECT_EQ(catalogue->currentIndex(), 1);
    EXPECT_EQ(window->SelectedBackupPath(), browsed + QStringLiteral("B.FBK"));
    EXPECT_EQ(dialogs.requests.size(), 1u);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(CatalogueTest, BrowsingToADirectoryWithoutBackupsEmptiesTheList)
{
    const QString browsed = testserver::NewFolder(QStringLiteral("CatalogueBrowse_nothing"));
    Touch(browsed + QStringLiteral("outro.zip"));
    Touch(browsed + QStringLiteral("Zur_3.ZIP"));
    Touch(browsed + QStringLiteral("DADOS.BKP"));
    auto window = MakeWindow();
    window->show();
    QComboBox* catalogue = Catalogue(*window);

    dialogs.Confirm(browsed + QStringLiteral("novo")); // a typed name, made ".ZIP" by the dialog or not
    PickNext(*catalogue);

    EXPECT_EQ(catalogue->count(), 0);
    EXPECT_EQ(catalogue->currentIndex(), -1);
    EXPECT_TRUE(catalogue->currentText().isEmpty());
    EXPECT_TRUE(window->SelectedBackupPath().isEmpty());
}

TEST_F(CatalogueTest, ACancelledBrowseChangesNothing)
{
    Touch(Folder() + QStringLiteral("DADOS20240301.BKP"));
    auto window = MakeWindow();
    window->show();
    QComboBox* catalogue = Catalogue(*window);
    const QStringList before = Texts(*catalogue);
    ASSERT_EQ(catalogue->currentIndex(), 0);

    dialogs.Cancel();
    PickNext(*catalogue);

    EXPECT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(Texts(*catalogue), before);
    EXPECT_EQ(catalogue->currentText(), QStringLiteral("Outro..."));
    EXPECT_TRUE(window->SelectedBackupPath().isEmpty());

    // Picking a backup again only selects it.
    QTest::keyClick(catalogue, Qt::Key_Up);
    EXPECT_EQ(catalogue->currentIndex(), 0);
    EXPECT_EQ(dialogs.requests.size(), 1u);
}

TEST_F(CatalogueTest, TheProgramsOwnSelectionOpensNoDialog)
{
    auto window = MakeWindow();
    window->show();
    QComboBox* catalogue = Catalogue(*window);
    catalogue->setCurrentIndex(0); // "Outro..." chosen by the program, not the operator
    window->AppendToCatalogue(Folder() + QStringLiteral("DADOS20240301.BKP"));
    window->FillCatalogue();
    EXPECT_TRUE(dialogs.requests.empty());
}

TEST_F(CatalogueTest, ANewBackupIsAppendedAndSelected)
{
    Touch(Folder() + QStringLiteral("Relatório20130415.BKP"));
    auto window = MakeWindow();
    window->show();
    QComboBox* catalogue = Catalogue(*window);
    ASSERT_EQ(catalogue->count(), 2);

    // The same file once more: listed a second time, after the browse entry.
    const QString backup = Folder() + QStringLiteral("Relatório20130415.BKP");
    window->AppendToCatalogue(backup);

    ASSERT_EQ(catalogue->count(), 3);
    const QString entry = AsciiUpper(Folder()) + QStringLiteral("RELATóRIO20130415.BKP");
    EXPECT_EQ(Texts(*catalogue), (QStringList{entry, QStringLiteral("Outro..."), entry}));
    EXPECT_EQ(catalogue->currentIndex(), 2);
    EXPECT_EQ(window->SelectedBackupPath(), backup);
}

TEST_F(CatalogueTest, NoBrowseWhileARunIsInProgress)
{
    auto window = MakeWindow();
    window->show();
    QComboBox* catalogue = Catalogue(*window);
    {
        TRunGuard run(*window);
        PickNext(*catalogue);
    }
    EXPECT_TRUE(dialogs.requests.empty());
    EXPECT_EQ(Texts(*catalogue), QStringList{QStringLiteral("Outro...")});
}
