// The switches of the command line: what they mean, what they leave to the
// window's start values and the site configuration, and what makes them
// unusable.

#include "cli/CommandLine.h"
#include "core/AppPaths.h"
#include "core/Version.h"

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

TEST(CommandLineTest, AnyArgumentAtAllMakesARunWithoutTheWindow)
{
    EXPECT_FALSE(IsCommandLineRun(Args({})));
    for (const char* argument : {"--backup", "--nonsense", "backup", "-backup", "-platform", "/?", ""})
        EXPECT_TRUE(IsCommandLineRun(Args({argument}))) << argument;
}

TEST(CommandLineTest, EverySpellingOfHelpAndTheVersionAskNothingElse)
{
    QTemporaryDir folder;
    struct TCase {
        std::vector<const char*> arguments;
        TCommandLine::TAction action;
    };
    const std::vector<TCase> cases = {
        {{"-h"}, TCommandLine::Help},
        {{"-?"}, TCommandLine::Help},
        {{"/?"}, TCommandLine::Help},
        {{"--help"}, TCommandLine::Help},
        {{"--HELP"}, TCommandLine::Help},
        {{"--backup", "-h"}, TCommandLine::Help},
        {{"--version"}, TCommandLine::Version},
        {{"--restore", "/nenhum/DADOS.BKP", "--version"}, TCommandLine::Version},
    };
    for (const TCase& help : cases) {
        QStringList arguments{QStringLiteral("zur")};
        for (const char* argument : help.arguments)
            arguments << QString::fromUtf8(argument);
        TCommandLine command;
        EXPECT_EQ(ParseCommandLine(arguments, folder.path() + u'/', command), QString())
            << arguments.join(u' ').toStdString();
        EXPECT_EQ(command.action, help.action) << arguments.join(u' ').toStdString();
    }
    EXPECT_TRUE(ProgramVersionText().startsWith(QStringLiteral("Z.U.R. - Assistente de Backup ")));
    EXPECT_TRUE(ProgramVersionText().endsWith(Versao_Executavel()));
}

TEST(CommandLineTest, UnusableCommandLinesSayWhy)
{
    QTemporaryDir folder;
    const QString backup = folder.filePath(QStringLiteral("DADOS20260101.BKP"));
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    // A password file saved empty, and one whose first line is.
    const QString empty = folder.filePath(QStringLiteral("vazia"));
    const QString blankFirst = folder.filePath(QStringLiteral("primeira-vazia"));
    for (const auto& [path, bytes] :
        {std::pair{empty, QByteArray()}, std::pair{blankFirst, QByteArray("\r\nsenha\n")}}) {
        QFile secret(path);
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
        secret.write(bytes);
    }
    const QByteArray backupBytes = backup.toUtf8();
    const QByteArray emptyBytes = empty.toUtf8();
    const QByteArray blankFirstBytes = blankFirst.toUtf8();
    const char* backupArgument = backupBytes.constData();
    const char* emptyArgument = emptyBytes.constData();
    const char* blankFirstArgument = blankFirstBytes.constData();
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
        {{"backup"}, "Argumento inesperado: backup (quis dizer --backup?)"},
        {{"-backup"}, "Opção desconhecida: -backup (quis dizer --backup?)"},
        {{"-x"}, "Opção desconhecida: -x"},
        {{"--restore", backupArgument, "-create"}, "Opção desconhecida: -create (quis dizer --create?)"},
        {{"--backup", "--create"}, "--create vale só para --restore"},
        {{"--backup", "--password-file", emptyArgument}, "A primeira linha do arquivo de senha"},
        {{"--backup", "--password-file", blankFirstArgument}, "A primeira linha do arquivo de senha"},
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
    // A variable set from a secret that was not there (Windows keeps no empty
    // variable: setting one to nothing removes it).
    qputenv("ZUR_PASSWORD", "");
    if (qEnvironmentVariableIsSet("ZUR_PASSWORD")) {
        EXPECT_EQ(ParseCommandLine(Args({"--backup"}), folder.path() + u'/', command),
            QStringLiteral("A variável ZUR_PASSWORD está vazia."));
    }
    qunsetenv("ZUR_PASSWORD");
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
    EXPECT_EQ(command.passwordSource, QStringLiteral("da variável ZUR_PASSWORD"));
    EXPECT_EQ(command.destination, program);
    EXPECT_EQ(command.keep, 0);
    EXPECT_FALSE(command.quiet || command.progress || command.create);

    // Without ZUR_PASSWORD, the window's default; a password file wins over both.
    qunsetenv("ZUR_PASSWORD");
    ASSERT_EQ(ParseCommandLine(Args({"--backup"}), program, command), QString());
    EXPECT_EQ(command.password, QStringLiteral("plumtrove"));
    EXPECT_EQ(command.passwordSource, QStringLiteral("a senha padrão da janela"));
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
    EXPECT_EQ(command.passwordSource, QStringLiteral("do arquivo ") + secret.fileName());
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
    ASSERT_EQ(ParseCommandLine(Args({"--restore"}) << secret.fileName()
                                                   << QStringList{QStringLiteral("--create"),
                                                          QStringLiteral("--progress"), QStringLiteral("--quiet")},
                  program, command),
        QString());
    EXPECT_EQ(command.action, TCommandLine::Restore);
    EXPECT_TRUE(command.create && command.progress && command.quiet);
}

TEST(CommandLineTest, TheHelpTellsEveryExitCode)
{
    const QString help = CommandLineHelp();
    for (const char* code : {"  0  ", "  1  ", "  2  ", "  3  "})
        EXPECT_TRUE(help.contains(QLatin1String(code))) << code;
    for (const char* named : {"--password-file", "--create", "--progress", "--version", "-h, -?, /?"})
        EXPECT_TRUE(help.contains(QLatin1String(named))) << named;
}
