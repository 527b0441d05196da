// What the command line looks at before a run starts, without a server: the
// backup folder, the paths a server of this machine would read from a
// working folder of its own, and a restore that would create a database.

#include "cli/RunChecks.h"
#include "cli/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

} // namespace

TEST(RunChecksTest, ABackupFolderMustBeAWholePathToAFolderThatTakesFiles)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    QFile file(folder + QStringLiteral("arquivo"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct TCase {
        QString path;
        const char* says;
    };
    const std::vector<TCase> cases = {
        {QStringLiteral("backups/"), "não é um caminho completo"},
        {folder + QStringLiteral("nenhuma/"), "não existe"},
        {folder + QStringLiteral("arquivo/"), "não é uma pasta"},
        {folder, ""},
    };
    for (const TCase& check : cases) {
        const QString refusal = BackupFolderRefusal(check.path);
        if (*check.says == '\0')
            EXPECT_EQ(refusal, QString()) << check.path.toStdString();
        else
            EXPECT_TRUE(refusal.contains(QString::fromUtf8(check.says)))
                << check.path.toStdString() << " -> " << refusal.toStdString();
    }
    // The file it tried the folder with is gone.
    EXPECT_EQ(Entries(folder), QStringList{QStringLiteral("arquivo")});

    // A folder that takes no file, whatever its permission bits say (the
    // tests run as root, whom the bits do not stop).
    const QString sealed = folder + QStringLiteral("selada/");
    ASSERT_TRUE(QDir().mkpath(sealed));
    if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), sealed}) != 0)
        GTEST_SKIP() << "no immutable folders here";
    const QString refusal = BackupFolderRefusal(sealed);
    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), sealed});
    EXPECT_TRUE(
        refusal.startsWith(QStringLiteral("A pasta de destino %1 não aceita arquivos do programa: ").arg(sealed)))
        << refusal.toStdString();
}

TEST(RunChecksTest, OnAServerOfThisMachinePathsAreWholeAndARestoreCreatesOnlyWhenAsked)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QString existing = folder + QStringLiteral("DADOS.FDB");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct TCase {
        const char* name;
        TCommandLine::TAction action;
        QString server;
        QString database;
        bool create;
        const char* says;
    };
    // The local engine and a loopback name: both this machine, no server asked.
    const std::vector<TCase> cases = {
        {"restore over a database", TCommandLine::Restore, QString(), existing, false, ""},
        {"restore to a new path", TCommandLine::Restore, QStringLiteral("localhost/3999:"),
            folder + QStringLiteral("NOVA.FDB"), false, "não existe. Para criar uma base nova"},
        {"restore to a new path, asked for", TCommandLine::Restore, QStringLiteral("localhost/3999:"),
            folder + QStringLiteral("NOVA.FDB"), true, ""},
        {"restore to a relative path", TCommandLine::Restore, QString(), QStringLiteral("DADOS.FDB"), true,
            "não é um caminho completo"},
        {"backup of a relative path", TCommandLine::Backup, QStringLiteral("127.0.0.1/3999:"),
            QStringLiteral("dados/DADOS.FDB"), false, "não é um caminho completo"},
        {"backup into a missing folder", TCommandLine::Backup, QStringLiteral("localhost/3999:"), existing, false,
            "não existe"},
    };
    for (const TCase& check : cases) {
        SCOPED_TRACE(check.name);
        TCommandLine command;
        command.action = check.action;
        command.server = check.server;
        command.database = check.database;
        command.create = check.create;
        command.destination = folder + QStringLiteral("nenhuma/");
        const QString refusal = CheckBeforeRun(command);
        if (*check.says == '\0')
            EXPECT_EQ(refusal, QString());
        else
            EXPECT_TRUE(refusal.contains(QString::fromUtf8(check.says))) << refusal.toStdString();
    }
    EXPECT_EQ(Entries(folder), QStringList{QStringLiteral("DADOS.FDB")});
}
