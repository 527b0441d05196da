#include "core/BackupCatalogue.h"
#include "core/AppPaths.h"
#include "ibclient/StringList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A directory filled with the given files; a name ending in "/" is a subdirectory.
class Folder {
public:
    explicit Folder(const QStringList& names)
    {
        EXPECT_TRUE(FTemp.isValid());
        for (const QString& name : names) {
            if (name.endsWith(u'/')) {
                EXPECT_TRUE(QDir(FTemp.path()).mkdir(name.chopped(1)));
            } else {
                QFile file(FTemp.path() + u'/' + name);
                EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
            }
        }
    }
    QString Dir() const { return QDir::toNativeSeparators(FTemp.path()) + PathSeparator(); }

private:
    QTemporaryDir FTemp;
};

QStringList Texts(const std::vector<TCatalogueEntry>& entries)
{
    QStringList texts;
    for (const TCatalogueEntry& entry : entries)
        texts << entry.text;
    return texts;
}

QStringList Paths(const std::vector<TCatalogueEntry>& entries)
{
    QStringList paths;
    for (const TCatalogueEntry& entry : entries)
        paths << entry.path;
    return paths;
}

} // namespace

TEST(BackupCatalogue, ListingMatchesEveryKindOfEntryIgnoringCase)
{
    const Folder folder(
        {"b.BKP", "A.bkp", "c.Bkp", "OLD.BKP/", ".hidden.bkp", "x.BKPX", "BKP", "y.bkp.txt", "dados.fdb", "Z.BKP"});
    EXPECT_EQ(ListDirectory(folder.Dir(), "*.BKP"),
        QStringList({".hidden.bkp", "A.bkp", "b.BKP", "c.Bkp", "OLD.BKP", "Z.BKP"}));
    EXPECT_EQ(ListDirectory(folder.Dir(), "*.FDB"), QStringList({"dados.fdb"}));
    EXPECT_TRUE(ListDirectory(folder.Dir(), "*.ZIP").isEmpty());
    EXPECT_TRUE(ListDirectory(folder.Dir() + "missing" + PathSeparator(), "*.BKP").isEmpty());
}

TEST(BackupCatalogue, StartupEntries)
{
    {
        const Folder folder({"dados.fdb", "notas.txt"});
        EXPECT_TRUE(StartupEntries(folder.Dir()).empty());
    }
    {
        const Folder folder({"DADOS20130415.BKP"});
        EXPECT_EQ(Texts(StartupEntries(folder.Dir())), QStringList({AsciiUpper(folder.Dir()) + "DADOS20130415.BKP"}));
    }
    {
        // Names as listed: the text is upper-cased, the path still names the file.
        const Folder folder({"dados_a.bkp", "OLD.BKP/", "Relatório.bkp", "DADOS20130416.BKP"});
        const QString upperDir = AsciiUpper(folder.Dir());
        const auto entries = StartupEntries(folder.Dir());
        EXPECT_EQ(Texts(entries),
            QStringList({upperDir + "DADOS20130416.BKP", upperDir + "DADOS_A.BKP", upperDir + "OLD.BKP",
                upperDir + "RELATóRIO.BKP"}));
        EXPECT_EQ(Paths(entries),
            QStringList({folder.Dir() + "DADOS20130416.BKP", folder.Dir() + "dados_a.bkp", folder.Dir() + "OLD.BKP",
                folder.Dir() + "Relatório.bkp"}));
        EXPECT_TRUE(FileExists(entries[1].path));
        EXPECT_TRUE(FileExists(entries[3].path));
        EXPECT_FALSE(FileExists(entries[2].path)); // a directory: listed, but the restore skips it
    }
}

TEST(BackupCatalogue, WhatRunsLeaveBesideTheBackupsIsNeverListed)
{
    // Partial backups, locks, scratch and set-aside databases of any run, in a
    // program folder that also holds databases (and browsed as well).
    const Folder folder({"DADOS20130415.BKP", "DADOS20130415.BKP.PARCIAL.20130415101010000-42-00ff",
        "DADOS20130415.BKP.TRAVA", "DADOS.FDB", "DADOS.FDB.TRAVA", "DADOS.FDB.ZURTESTE.20130415101010000-42-00ff",
        "DADOS.FDB.ZURANTERIOR.20130415101010000-42-00ff", "ZUR.FBK", "ZUR.FBK.ZURTESTE.1"});
    EXPECT_EQ(Texts(StartupEntries(folder.Dir())), QStringList({AsciiUpper(folder.Dir()) + "DADOS20130415.BKP"}));
    EXPECT_EQ(Texts(BrowsedEntries(folder.Dir())), QStringList({AsciiUpper(folder.Dir()) + "ZUR.FBK"}));
}

TEST(BackupCatalogue, BrowsedEntries)
{
    {
        const Folder folder({"A.FBK", "B.FBK", "ZUR_1.ZIP", "zur_2.zip", "X.ZIP"});
        const QString dir = folder.Dir();
        const auto entries = BrowsedEntries(dir);
        EXPECT_EQ(Texts(entries),
            QStringList({AsciiUpper(dir) + "A.FBK", AsciiUpper(dir) + "B.FBK", AsciiUpper(dir) + "ZUR_1.ZIP"}));
        EXPECT_EQ(Paths(entries), QStringList({dir + "A.FBK", dir + "B.FBK", dir + "ZUR_1.ZIP"}));
    }
    {
        // Backups come first, whatever their names; "ZUR" is looked for in the name as listed.
        const Folder folder({"a_ZUR.zip", "Zur.ZIP", "z.fbk", "base_ZUR.fbk.old"});
        const QString dir = folder.Dir();
        EXPECT_EQ(Paths(BrowsedEntries(dir)), QStringList({dir + "z.fbk", dir + "a_ZUR.zip"}));
        EXPECT_EQ(Texts(BrowsedEntries(dir)), QStringList({AsciiUpper(dir) + "Z.FBK", AsciiUpper(dir) + "A_ZUR.ZIP"}));
    }
    {
        const Folder folder({"X.ZIP", "dados.bkp"});
        EXPECT_TRUE(BrowsedEntries(folder.Dir()).empty());
    }
}

TEST(BackupCatalogue, DirectoryOfAFilePath)
{
    const struct {
        QString path;
        QString directory;
    } rows[] = {
        {"/home/op/backups/ZUR_1.ZIP", "/home/op/backups/"},
        {"/ZUR_1.ZIP", "/"},
        {"ZUR_1.ZIP", ""},
        {"/home/op/", "/home/op/"},
#ifdef Q_OS_WIN
        {"C:\\Backups\\A.FBK", "C:\\Backups\\"},
        {"C:A.FBK", "C:"},
#endif
    };
    for (const auto& row : rows)
        EXPECT_EQ(DirectoryOf(row.path), row.directory) << row.path.toStdString();
}

TEST(BackupCatalogue, EntryOfANewBackup)
{
    const TCatalogueEntry entry = CatalogueEntryFor("D:\\Util\\Relatório20130415.BKP");
    EXPECT_EQ(entry.text, "D:\\UTIL\\RELATóRIO20130415.BKP");
    EXPECT_EQ(entry.path, "D:\\Util\\Relatório20130415.BKP");
    EXPECT_EQ(BrowseEntryText, "Outro...");
}
