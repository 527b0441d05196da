// Windows paths end to end: the program's folder as the system gives it (with
// "\" and a drive letter), the site configuration beside it naming a local
// tree with "\", the catalogue of the backups there and the backup's name.

#include "WindowTestSupport.h"
#include "core/AppPaths.h"
#include "core/BackupCatalogue.h"
#include "core/BackupNaming.h"
#include "core/SiteConfig.h"
#include "window/BackupRestore.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class WindowsPathsTest : public WindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FTemp.isValid());
        FDir = QDir::toNativeSeparators(FTemp.path()) + u'\\';
        ASSERT_EQ(FDir.at(1), u':') << FDir.toStdString();
        ASSERT_FALSE(FDir.contains(u'/')) << FDir.toStdString();
    }
    void Write(const QString& name, const QByteArray& content)
    {
        QFile file(FDir + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        file.write(content);
    }

    QTemporaryDir FTemp;
    QString FDir; // the program's folder, "C:\...\"
};

} // namespace

TEST_F(WindowsPathsTest, SiteConfigurationCatalogueAndBackupNameUseTheWindowsSeparator)
{
    ASSERT_TRUE(QDir(FTemp.path()).mkpath(QStringLiteral("mapa/ZUR")));
    const QString tree = FDir + QStringLiteral("mapa\\ZUR\\");
    Write(SiteConfigFileName,
        "[ZUR]\r\nServidor=SRV01\r\nCaminho_Base_Dados=C:\\QRT\\ZUR\\\r\nDiretorio_Servidor=" + tree.toLocal8Bit()
            + "\r\n");
    Write(QStringLiteral("DADOS20130416.BKP"), "x");

    // The local tree of the site configuration, with a directory created in it.
    EXPECT_EQ(Busca_Diretorio(QStringLiteral("BD"), FDir), tree + QStringLiteral("BCKP\\"));
    EXPECT_TRUE(QFileInfo(tree + QStringLiteral("BCKP\\")).isDir());
    EXPECT_EQ(Busca_Diretorio(QStringLiteral("D"), FDir), tree + QStringLiteral("DADOS\\"));

    // The window shows the folder, the restore destination and the catalogue.
    auto window = MakeWindow(FDir);
    window->show();
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblDestino"))->text(), FDir);
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("lblLocal_Restaura"))->text(),
        QStringLiteral("C:\\QRT\\ZUR\\DADOS\\ZUR.FDB"));
    auto* backups = window->findChild<QComboBox*>(QStringLiteral("cmbBackups"));
    ASSERT_GE(backups->count(), 1);
    EXPECT_EQ(backups->itemText(0), FDir.toUpper() + QStringLiteral("DADOS20130416.BKP"));
    const std::vector<TCatalogueEntry> entries = StartupEntries(FDir);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, FDir + QStringLiteral("DADOS20130416.BKP"));
    EXPECT_TRUE(FileExists(entries[0].path));
    EXPECT_EQ(DirectoryOf(entries[0].path), FDir);

    // The backup's name: the folder, the database's base name, the date.
    EXPECT_EQ(BackupFileName(FDir, QStringLiteral("C:\\QRT\\ZUR\\DADOS\\DADOS.FDB"), QDate(2026, 12, 10)),
        FDir + QStringLiteral("DADOS20261210.BKP"));
}
