// Backups that Firebird 3 writes, restored on a Firebird 4 server: a window
// on the Firebird 3 server backs a database up into its program directory (a
// folder both servers reach at the same path), and a window on the Firebird 4
// server with the same program directory picks that backup from its
// catalogue and restores it, as an operator moving to the new server would.
// Both databases are read with Firebird 4's isql, so the two sides' metadata
// is written out alike.

#include "RoundTripSupport.h"

TEST_F(RoundTripTest, BackupsMadeByFirebird3RestoreOnFirebird4AsTheyWere)
{
    struct Case {
        const char* name;
        QString folder;
        std::function<void(const QString&)> create;
    };
    const std::vector<Case> cases = {
        {"every type, WIN1252", QStringLiteral("TIPOS/"), [](const QString& path) { CreateEveryType(3, path); }},
        {"employee", QStringLiteral("EMPLOYEE/"), [](const QString& path) { roundtrip::CreateEmployee(3, path); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = Folder() + c.folder;
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString original = folder + QStringLiteral("DADOS.FDB");
        c.create(original);
        const roundtrip::TDatabaseImage before = roundtrip::ImageOf({3, 4}, original);

        auto onFirebird3 = WindowOn(3, folder, original);
        const QString backup = BackupThroughTheWindow(*onFirebird3);
        onFirebird3.reset();

        const QString restored = folder + QStringLiteral("DADOS_FB4.FDB");
        auto onFirebird4 = WindowOn(4, folder, restored);
        Choose(*onFirebird4, backup);
        RestoreThroughTheWindow(*onFirebird4);
        const QStringList log = Lines(*Log(*onFirebird4, "mmRestore"));
        // Firebird 4 reads the older backup version.
        EXPECT_TRUE(log.contains(QStringLiteral("gbak:backup version is 10 "))) << log.join(u'\n').toStdString();

        roundtrip::ExpectSameDatabase(before, roundtrip::ImageOf({4, 4}, restored));
    }
}
