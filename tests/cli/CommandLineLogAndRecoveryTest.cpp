// The command line's log of a whole run (the server's lines of the backup,
// of its proof and of a restore; two runs in one log), and what a run killed
// in its proof leaves for the next one.

#include "CommandLineRunSupport.h"

TEST_F(CommandLineRunTest, TheLogHoldsTheServersLinesOfTheBackupTheProofAndTheRestore)
{
    // Large enough that the proof takes a few seconds.
    testserver::CreateDatabase(database, Rows(QStringLiteral("GRANDE"), 600000));
    const QString backupLog = folder + QStringLiteral("backup.log");

    const TRun backup = RunProgram(Backup({QStringLiteral("--progress"), QStringLiteral("--log"), backupLog}));

    ASSERT_EQ(backup.exitCode, 0) << backup.errors.toStdString();
    // The server's verbose lines of the backup, then of the proof under its own line.
    const QString provingLine = QStringLiteral("Verificando o backup: restaurando-o numa base de teste...");
    const QStringList lines = Untimed(Text(ReadFile(backupLog)));
    const auto proving = lines.indexOf(provingLine);
    ASSERT_GT(proving, 0);
    EXPECT_FALSE(lines.mid(0, proving).filter(QStringLiteral("gbak:    writing data for table GRANDE")).isEmpty());
    const QStringList proof = lines.mid(proving + 1).filter(QRegularExpression(QStringLiteral("^gbak:")));
    EXPECT_FALSE(proof.filter(QStringLiteral("restoring data for table GRANDE")).isEmpty()) << lines.size();
    EXPECT_FALSE(proof.filter(QStringLiteral("finishing, closing, and going home")).isEmpty());
    // The progress goes on through the proof as through the backup: lines
    // after the proof's own on standard output, above where the backup left
    // it and rising, before the final state.
    const QStringList output = backup.output.split(u'\n', Qt::SkipEmptyParts);
    const auto provingOut = output.indexOf(provingLine);
    ASSERT_GT(provingOut, 0);
    const QRegularExpression going(QStringLiteral("^Progresso: \\d+%(?! — concluído)"));
    const QList<int> before = Percentages(output.mid(0, provingOut).filter(going));
    const QList<int> during = Percentages(output.mid(provingOut + 1).filter(going));
    // (The proof lasts a second or two: a line a second gives one at least.)
    ASSERT_GE(during.size(), 1) << backup.output.toStdString();
    for (qsizetype i = 1; i < during.size(); ++i)
        EXPECT_GE(during[i], during[i - 1]) << backup.output.toStdString();
    ASSERT_FALSE(before.isEmpty()) << backup.output.toStdString();
    EXPECT_GT(during.first(), before.last()) << backup.output.toStdString();
    EXPECT_TRUE(output.at(output.size() - 2).startsWith(QStringLiteral("Progresso: 100% — concluído em ")));

    // The restore over the database: its log holds the server's lines too.
    const QString restoreLog = folder + QStringLiteral("restore.log");
    const TRun restore = RunProgram({QStringLiteral("--restore"), todays, QStringLiteral("--server"),
        testserver::ServerText(), QStringLiteral("--database"), database, QStringLiteral("--log"), restoreLog});
    ASSERT_EQ(restore.exitCode, 0) << restore.output.toStdString() << restore.errors.toStdString();
    const QString restored = Text(ReadFile(restoreLog));
    EXPECT_TRUE(restored.contains(QLatin1String("restoring data for table GRANDE"))) << restored.toStdString();
    EXPECT_TRUE(restored.contains(QLatin1String("gbak:finishing, closing, and going home")));
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("GRANDE")), 600000);
}

// Two runs appended to one log: each starts with its header and ends with
// its outcome, every line timed, the password nowhere.
TEST_F(CommandLineRunTest, OneLogOfTwoRunsTellsThemApart)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    const QString logFile = folder + QStringLiteral("zur.log");
    const QStringList backupArguments = Scheduled({QStringLiteral("--quiet"), QStringLiteral("--log"), logFile});
    const QStringList restoreArguments = {QStringLiteral("--restore"), todays, QStringLiteral("--server"),
        testserver::ServerText(), QStringLiteral("--database"), database, QStringLiteral("--password-file"),
        passwordFile, QStringLiteral("--quiet"), QStringLiteral("--log"), logFile};

    ASSERT_EQ(RunScheduled(backupArguments).exitCode, 0);
    ASSERT_EQ(RunScheduled(restoreArguments).exitCode, 0);

    const QString text = Text(ReadFile(logFile));
    EXPECT_FALSE(text.contains(testserver::Password()));
    const QStringList lines = Untimed(text);
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QStringLiteral("======== Z.U.R. - Assistente de Backup ")))
            starts << i;
    }
    ASSERT_EQ(starts, (QList<qsizetype>{0, starts.value(1)}));
    struct TPart {
        QStringList lines;
        QStringList arguments;
        const char* action;
        QString success;
    };
    const std::vector<TPart> parts = {
        {lines.mid(0, starts[1]), backupArguments, "Execução: backup",
            QStringLiteral("Backup realizado com sucesso !!! ") + todays},
        {lines.mid(starts[1]), restoreArguments, "Execução: restauração",
            QStringLiteral("Backup Restaurado com Sucesso !!! ") + database},
    };
    for (const TPart& part : parts) {
        SCOPED_TRACE(part.action);
        ASSERT_GE(part.lines.size(), 10);
        EXPECT_TRUE(part.lines[1].startsWith(QStringLiteral("Linha de comando: ")));
        EXPECT_TRUE(part.lines[1].endsWith(u' ' + part.arguments.join(u' '))) << part.lines[1].toStdString();
        for (const QString& header :
            {QString::fromUtf8(part.action), QStringLiteral("Servidor: ") + testserver::ServerText(),
                QStringLiteral("Base de dados: ") + database, QStringLiteral("Usuário: ") + testserver::User(),
                QStringLiteral("Senha: do arquivo ") + passwordFile, QStringLiteral("Backup: ") + todays})
            EXPECT_TRUE(part.lines.mid(2, 7).contains(header)) << header.toStdString();
        EXPECT_TRUE(part.lines.contains(part.success));
        EXPECT_TRUE(part.lines.last().startsWith(QStringLiteral("Resultado: código de saída 0 (concluído), ")))
            << part.lines.last().toStdString();
    }
}

TEST_F(CommandLineRunTest, ABackupKilledInItsProofLeavesNothingAfterTheNextRun)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("GRANDE"), 600000));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZUR_PASSWORD"), testserver::Password());
    QProcess killed;
    killed.setProcessEnvironment(environment);
    killed.setStandardInputFile(QProcess::nullDevice());
    killed.start(QStringLiteral(ZUR_EXECUTABLE), Backup());
    ASSERT_TRUE(killed.waitForStarted());
    // Killed while the proof's scratch database is written beside the database.
    const auto scratchGrowing = [&] {
        const QStringList scratch = ScratchDatabasesBeside(database);
        return !scratch.isEmpty() && QFileInfo(scratch.first()).size() > 8 * 1024 * 1024;
    };
    QElapsedTimer waited;
    waited.start();
    while (!scratchGrowing() && waited.elapsed() < 60000 && killed.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(scratchGrowing()) << killed.readAll().toStdString();
    killed.kill();
    killed.waitForFinished();
    // The server may finish the proof's restore of a program that is gone.
    qint64 last = -1;
    for (int still = 0, i = 0; still < 10 && i < 600; ++i) {
        qint64 size = 0;
        for (const QString& scratch : ScratchDatabasesBeside(database))
            size += QFileInfo(scratch).size();
        still = size == last ? still + 1 : 0;
        last = size;
        QThread::msleep(100);
    }
    ASSERT_FALSE(ScratchDatabasesBeside(database).isEmpty());

    const TRun next = RunProgram(Backup());

    ASSERT_EQ(next.exitCode, 0) << next.output.toStdString() << next.errors.toStdString();
    EXPECT_TRUE(next.output.contains(QStringLiteral("Encontrada a base de teste "))) << next.output.toStdString();
    // Beside the database, nothing of either run.
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("DADOS.FDB*")}, QDir::AllEntries | QDir::Hidden | QDir::System),
        QStringList{QStringLiteral("DADOS.FDB")});
    EXPECT_EQ(PartialBackupsOf(todays), QStringList());
}
