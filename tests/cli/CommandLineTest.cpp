// The switches of the command line: what they mean, what they leave to the
// window's start values and the site configuration, and what makes them
// unusable.

#include "cli/CommandLine.h"
#include "core/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList Args(std::initializer_list<const char*> list)
{
    QStringList arguments{QStringLiteral("zur")};
    for (const char* argument : list)
        arguments << QString::fromUtf8(argument);
    return arguments;
}

struct TBadCase {
    std::vector<const char*> arguments;
    const char* says;
};

} // namespace

TEST(CommandLineTest, OnlySwitchesOfOursMakeARunWithoutTheWindow)
{
    EXPECT_FALSE(IsCommandLineRun(Args({})));
    EXPECT_FALSE(IsCommandLineRun(Args({"-platform", "offscreen"})));
    EXPECT_TRUE(IsCommandLineRun(Args({"--backup"})));
    EXPECT_TRUE(IsCommandLineRun(Args({"--nonsense"})));
}

TEST(CommandLineTest, UnusableCommandLinesSayWhy)
{
    QTemporaryDir folder;
    const QString backup = folder.filePath(QStringLiteral("DADOS20260101.BKP"));
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const std::vector<TBadCase> cases = {
        {{"--backup", "--bogus"}, "Opção desconhecida: --bogus"},
        {{"--backup", "--keep", "0"}, "--keep pede"},
        {{"--backup", "--keep", "x"}, "--keep pede"},
        {{"--backup", "--keep", "-2"}, "--keep pede"},
        {{"--backup", "--keep"}, "Falta o valor de --keep"},
        {{"--backup", "--password", "segredo"}, "Opção desconhecida: --password"},
        {{"--server", "x"}, "Indique --backup ou --restore"},
        {{"--backup", "--restore", "x.bkp"}, "Indique --backup ou --restore"},
        {{"--restore", "/nenhum/DADOS.BKP"}, "não foi encontrado"},
        {{"--backup", "sobra"}, "Argumento inesperado: sobra"},
        {{"--backup", "--quiet=1"}, "não leva valor"},
        {{"--backup", "--password-file", "/nenhum/senha"}, "não pôde ser lido"},
    };
    for (const TBadCase& bad : cases) {
        QStringList arguments{QStringLiteral("zur")};
        for (const char* argument : bad.arguments)
            arguments << QString::fromUtf8(argument);
        TCommandLine command;
        const QString refusal = ParseCommandLine(arguments, folder.path() + u'/', command);
        EXPECT_TRUE(refusal.contains(QString::fromUtf8(bad.says)))
            << arguments.join(u' ').toStdString() << " -> " << refusal.toStdString();
    }
    TCommandLine command;
    EXPECT_TRUE(ParseCommandLine(
        Args({"--restore"}) << backup << QStringLiteral("--keep") << QStringLiteral("2"), folder.path() + u'/', command)
                    .contains(QStringLiteral("--keep vale só para --backup")));
}

TEST(CommandLineTest, WhatIsLeftOutIsWhatTheWindowStartsWith)
{
    QTemporaryDir folder;
    const QString program = folder.path() + u'/';
    qputenv("ZUR_PASSWORD", "doambiente");
    TCommandLine command;
    ASSERT_EQ(ParseCommandLine(Args({"--backup"}), program, command), QString());
    EXPECT_EQ(command.action, TCommandLine::Backup);
    EXPECT_EQ(command.server, QStringLiteral("localhost/3055:"));
    EXPECT_EQ(command.database, QStringLiteral("C:\\QRT\\DADOS\\DADOS.FDB"));
    EXPECT_EQ(command.user, QStringLiteral("SYSDBA"));
    EXPECT_EQ(command.password, QStringLiteral("doambiente"));
    EXPECT_EQ(command.destination, program);
    EXPECT_EQ(command.keep, 0);

    // Without ZUR_PASSWORD, the window's default; a password file wins over both.
    qunsetenv("ZUR_PASSWORD");
    ASSERT_EQ(ParseCommandLine(Args({"--backup"}), program, command), QString());
    EXPECT_EQ(command.password, QStringLiteral("plumtrove"));
    qputenv("ZUR_PASSWORD", "doambiente");
    QFile secret(folder.filePath(QStringLiteral("senha")));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("s3nh@ com espaço\r\nsegunda linha\n");
    secret.close();
    ASSERT_EQ(ParseCommandLine(Args({"--backup", "--password-file"})
                      << secret.fileName() << QStringLiteral("--keep=7") << QStringLiteral("--dest")
                      << folder.filePath(QStringLiteral("bk")),
                  program, command),
        QString());
    EXPECT_EQ(command.password, QStringLiteral("s3nh@ com espaço"));
    EXPECT_EQ(command.keep, 7);
    EXPECT_EQ(command.destination, QDir::toNativeSeparators(folder.filePath(QStringLiteral("bk"))) + PathSeparator());
    qunsetenv("ZUR_PASSWORD");

    // The site configuration's database folder gives the database path.
    QFile config(folder.filePath(QStringLiteral("veltrano_kolm_server.INI")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[ZUR]\nSO_Servidor=LINUX\nCaminho_Base_Dados=/srv/qrt/\n");
    config.close();
    ASSERT_EQ(ParseCommandLine(Args({"--backup"}), program, command), QString());
    // (A server on this machine: the folder ends in this machine's separator.)
    EXPECT_EQ(command.database, QStringLiteral("/srv/qrt/DADOS") + PathSeparator() + QStringLiteral("DADOS.FDB"));
    ASSERT_EQ(ParseCommandLine(Args({"--backup", "--database", "/outra/X.FDB"}), program, command), QString());
    EXPECT_EQ(command.database, QStringLiteral("/outra/X.FDB"));
}

TEST(CommandLineTest, TheHelpTellsEveryExitCode)
{
    const QString help = CommandLineHelp();
    for (const char* code : {"  0  ", "  1  ", "  2  ", "  3  "})
        EXPECT_TRUE(help.contains(QLatin1String(code))) << code;
    EXPECT_TRUE(help.contains(QLatin1String("--password-file")));
}
