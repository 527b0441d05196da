// The command line refused before anything starts, as cron or the Task
// Scheduler runs it (an environment of PATH alone, the working folder "/",
// no display, standard input closed): any argument the program does not
// know ends with exit code 2 and never with a window; a command line that
// cannot go through ends with exit code 2, its reason on standard error, and
// nothing sent to the server. The server here is a listener of the test's own
// on a loopback port, which counts the connections that reach it.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iostream>

namespace {

struct TRun {
    int exitCode = -1;
    QString output;
    QString errors;
    int connections = 0;
};

// Runs the program as a scheduler would; when listener is given, counts the
// connections it accepts meanwhile (each closed at once).
TRun RunScheduled(const QStringList& arguments, QTcpServer* listener = nullptr)
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QProcessEnvironment::systemEnvironment().value(QStringLiteral("PATH")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(QStringLiteral("/"));
    program.setStandardInputFile(QProcess::nullDevice());
    program.start(QStringLiteral(ZUR_EXECUTABLE), arguments);
    EXPECT_TRUE(program.waitForStarted());
    TRun run;
    for (int waited = 0; !program.waitForFinished(20) && waited < 60000; waited += 40) {
        if (listener && listener->waitForNewConnection(20)) {
            QTcpSocket* connection = listener->nextPendingConnection();
            ++run.connections;
            connection->abort();
            delete connection;
        }
    }
    if (program.state() != QProcess::NotRunning) {
        ADD_FAILURE() << "the program did not finish";
        program.kill();
        program.waitForFinished();
    }
    while (listener && listener->waitForNewConnection(0)) {
        delete listener->nextPendingConnection();
        ++run.connections;
    }
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.output = QString::fromUtf8(program.readAllStandardOutput());
    run.errors = QString::fromUtf8(program.readAllStandardError());
    return run;
}

QStringList Entries(const QString& folder)
{
    QStringList entries
        = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& entry : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        entries
            << Entries(folder + entry + u'/').replaceInStrings(QRegularExpression(QStringLiteral("^")), entry + u'/');
    return entries;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(CommandLineRefusalTest, AnArgumentTheProgramDoesNotKnowEndsWithTwoAndNeverOpensAWindow)
{
    struct TCase {
        QString argument;
        int exitCode;
        const char* says; // on standard output for 0, on standard error for 2
    };
    const std::vector<TCase> cases = {
        {QStringLiteral("-h"), 0, "Códigos de saída"},
        {QStringLiteral("/?"), 0, "Códigos de saída"},
        {QStringLiteral("-?"), 0, "Códigos de saída"},
        {QStringLiteral("--help"), 0, "Códigos de saída"},
        {QStringLiteral("--version"), 0, "Z.U.R. - Assistente de Backup "},
        {QStringLiteral("backup"), 2, "Argumento inesperado: backup (quis dizer --backup?)"},
        {QStringLiteral("-backup"), 2, "Opção desconhecida: -backup (quis dizer --backup?)"},
        {QStringLiteral("-x"), 2, "Opção desconhecida: -x"},
        {QStringLiteral("--frobnicate"), 2, "Opção desconhecida: --frobnicate"},
        {QStringLiteral("/x"), 2, "Argumento inesperado: /x"}, // here a path; on Windows a switch
        {QString(), 2, "Argumento inesperado: "},
    };
    for (const TCase& check : cases) {
        SCOPED_TRACE(check.argument.toStdString());

        const TRun run = RunScheduled({check.argument});

        // A window without a display would have aborted (-1 here).
        EXPECT_EQ(run.exitCode, check.exitCode) << run.errors.toStdString();
        if (check.exitCode == 0) {
            EXPECT_TRUE(run.output.contains(QString::fromUtf8(check.says))) << run.output.toStdString();
            EXPECT_EQ(run.errors, QString());
        } else {
            EXPECT_EQ(run.output, QString());
            EXPECT_TRUE(run.errors.startsWith(QString::fromUtf8(check.says))) << run.errors.toStdString();
            EXPECT_TRUE(run.errors.trimmed().endsWith(QStringLiteral("Veja zur --help."))) << run.errors.toStdString();
        }
    }
}

TEST(CommandLineRefusalTest, ACommandLineThatCannotGoThroughSendsNothingToTheServer)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, 0));
    const QString server = QStringLiteral("127.0.0.1/%1:").arg(listener.serverPort());
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    const QString database = folder + QStringLiteral("DADOS.FDB");
    const QString destination = folder + QStringLiteral("backups/");
    const QString backup = folder + QStringLiteral("DADOS20261211.BKP");
    const QString empty = folder + QStringLiteral("senha-vazia");
    const QString blankFirst = folder + QStringLiteral("senha-primeira-linha-vazia");
    const QString sealed = folder + QStringLiteral("selada/");
    ASSERT_TRUE(QDir().mkpath(destination));
    ASSERT_TRUE(QDir().mkpath(sealed));
    WriteFile(database, "not a database: no run may get as far as reading it");
    WriteFile(backup, "nor a backup");
    WriteFile(empty, "");
    WriteFile(blankFirst, "\nplumtrove\n");
    WriteFile(folder + QStringLiteral("arquivo"), "a file, not a folder");
    // Not even root makes a file in an immutable folder.
    const bool sealable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), sealed}) == 0;
    const QStringList before = Entries(folder);
    const auto backupTo = [&](const QString& dest, const QString& path) {
        return QStringList{QStringLiteral("--backup"), QStringLiteral("--server"), server, QStringLiteral("--database"),
            path, QStringLiteral("--dest"), dest};
    };
    struct TCase {
        const char* name;
        QStringList arguments;
        const char* says;
    };
    std::vector<TCase> cases = {
        {"an empty password file", backupTo(destination, database) << QStringLiteral("--password-file") << empty,
            "A primeira linha do arquivo de senha %1senha-vazia está vazia"},
        {"a password file whose first line is empty",
            backupTo(destination, database) << QStringLiteral("--password-file") << blankFirst,
            "A primeira linha do arquivo de senha %1senha-primeira-linha-vazia está vazia"},
        {"a missing folder", backupTo(folder + QStringLiteral("nenhuma/"), database),
            "A pasta de destino %1nenhuma/ não existe."},
        {"a file for a folder", backupTo(folder + QStringLiteral("arquivo"), database),
            "O destino %1arquivo/ não é uma pasta."},
        {"a relative folder", backupTo(QStringLiteral("backups"), database),
            "A pasta de destino \"backups/\" não é um caminho completo"},
        {"a relative database", backupTo(destination, QStringLiteral("DADOS.FDB")),
            "O caminho da base de dados \"DADOS.FDB\" não é um caminho completo"},
        {"a restore to a missing database",
            {QStringLiteral("--restore"), backup, QStringLiteral("--server"), server, QStringLiteral("--database"),
                folder + QStringLiteral("NOVA.FDB")},
            "A base de dados %1NOVA.FDB não existe. Para criar uma base nova com este backup, use --create."},
    };
    if (sealable)
        cases.push_back({"a folder that takes no file", backupTo(sealed, database),
            "A pasta de destino %1selada/ não aceita arquivos do programa: "});
    else
        std::cout << "no immutable folders here: a folder that takes no file is not tried\n";
    for (const TCase& refused : cases) {
        SCOPED_TRACE(refused.name);

        const TRun run = RunScheduled(refused.arguments, &listener);

        EXPECT_EQ(run.exitCode, 2) << run.output.toStdString() << run.errors.toStdString();
        const QString says = QString::fromUtf8(refused.says);
        EXPECT_TRUE(run.errors.startsWith(says.contains(QLatin1String("%1")) ? says.arg(folder) : says))
            << run.errors.toStdString();
        EXPECT_EQ(run.output, QString());
        EXPECT_EQ(run.connections, 0);
        // No log, no backup, no lock: nothing made anywhere in the folder.
        EXPECT_EQ(Entries(folder), before);
    }
    if (sealable)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), sealed});

    // The same backup with a usable command line gets as far as the listener,
    // which hangs up: its words on standard error, exit code 1.
    const TRun tried = RunScheduled(backupTo(destination, database), &listener);
    EXPECT_EQ(tried.exitCode, 1) << tried.output.toStdString() << tried.errors.toStdString();
    EXPECT_GE(tried.connections, 1);
    EXPECT_TRUE(tried.errors.contains(QStringLiteral("Problema ao conectar no banco de dados!")))
        << tried.errors.toStdString();
}
