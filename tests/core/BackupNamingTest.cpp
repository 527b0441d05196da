#include "core/BackupNaming.h"

#include <gtest/gtest.h>

TEST(BackupNaming, BackupFileName)
{
    const QDate april15(2013, 4, 15);
    const struct {
        QString directory;
        QString database;
        QDate date;
        QString expected;
    } rows[] = {
        {"D:\\Util\\", "C:\\QRT\\DADOS\\DADOS.FDB", april15, "D:\\Util\\DADOS20130415.BKP"},
        {"D:\\Util\\", "C:\\QRT\\DADOS\\DADOS.OLD.FDB", april15, "D:\\Util\\DADOS20130415.BKP"},
        {"D:\\Util\\", "C:\\QRT\\DADOS\\DADOS", april15, "D:\\Util\\DADOS20130415.BKP"}, // no "."
        {"D:\\Util\\", "C:\\QRT.V2\\DADOS\\OUTRA", april15, "D:\\Util\\OUTRA20130415.BKP"}, // "." of a directory only
        {"D:\\Util\\", "C:DADOS.FDB", april15, "D:\\Util\\DADOS20130415.BKP"},
        {"D:\\Util\\", "C:\\QRT\\Relatório.fdb", april15, "D:\\Util\\Relatório20130415.BKP"},
        {"/opt/zur/", "/var/lib/firebird/data/dados.fdb", april15, "/opt/zur/dados20130415.BKP"},
        {"/opt/zur/", "servidor:/dados/base.fdb", april15, "/opt/zur/base20130415.BKP"},
        {"/opt/zur/", "D:\\base.fdb", QDate(2001, 2, 3), "/opt/zur/base20010203.BKP"},
        {"/opt/zur/", ".fdb", QDate(987, 12, 31), "/opt/zur/09871231.BKP"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(BackupFileName(row.directory, row.database, row.date), row.expected) << row.database.toStdString();
    EXPECT_EQ(BackupBaseName("/var/lib/firebird/data/dados.fdb"), "dados");
    // The archive of a backup: "ZUR" in upper case whatever the database's
    // name, so that a browse lists it.
    EXPECT_EQ(ArchiveFileName("D:\\Util\\", "C:\\QRT\\DADOS\\DADOS.FDB", april15), "D:\\Util\\ZURDADOS20130415.ZIP");
    EXPECT_EQ(ArchiveFileName("/opt/zur/", "/dados/zur.fdb", april15), "/opt/zur/ZURzur20130415.ZIP");
}

TEST(BackupNaming, TodayCanBeFixed)
{
    SetTodayForTests(QDate(2013, 4, 15));
    EXPECT_EQ(Today(), QDate(2013, 4, 15));
    SetTodayForTests(QDate());
    const QDate before = QDate::currentDate();
    const QDate today = Today();
    EXPECT_TRUE(today == before || today == QDate::currentDate());
}

TEST(BackupNaming, BackupServiceTarget)
{
    const struct {
        QString field;
        QString serverName;
        bool tcp;
    } rows[] = {
        {"", "", false}, {"   ", "", false}, {"\t \r\n", "", false}, // control characters count as blanks
        {"localhost/3055:", "localhost/3055", true}, {"host:3055:", "host3055:", true}, {" host:", " host", true},
        {":", "", true}, {QStringLiteral("\u00A0"), QStringLiteral("\u00A0"), true}, // above code 32: not a blank here
    };
    for (const auto& row : rows) {
        const TServiceTarget target = BackupServiceTarget(row.field);
        EXPECT_EQ(target.serverName, row.serverName) << '"' << row.field.toStdString() << '"';
        EXPECT_EQ(target.tcp, row.tcp) << '"' << row.field.toStdString() << '"';
    }
}

TEST(BackupNaming, RestoreServerName)
{
    const struct {
        QString field;
        QString serverName;
    } rows[] = {
        {"", ""},
        {"   ", "   "},
        {"localhost/3055:", "localhost/3055"},
        {"host:3055:", "host3055:"},
        {":", ""},
        {" :", " "},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RestoreServerName(row.field), row.serverName) << '"' << row.field.toStdString() << '"';
}
