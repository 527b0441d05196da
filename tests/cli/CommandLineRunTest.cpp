// The program's command line as a scheduler starts it: the executable as a
// process of its own, with no display, no terminal and its standard input
// closed, against the private server. Its exit code, its lines, its log file,
// and what it leaves in the backup folder.

#include "CommandLineRunSupport.h"

TEST_F(CommandLineRunTest, AScheduledRunMakesAProvedBackupAndItsLog)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 500));

    const TRun run = RunProgram(Backup({QStringLiteral("--progress")}));

    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_TRUE(run.errors.isEmpty()) << run.errors.toStdString();
    EXPECT_EQ(FilesIn(destination), QStringList{QFileInfo(todays).fileName()});
    EXPECT_GT(QFileInfo(todays).size(), 0);
    // The lines as the window's log shows them: the server's own, and the proof.
    EXPECT_TRUE(run.output.startsWith(QStringLiteral("Aguarde... Conectando ao servidor...\n")));
    EXPECT_TRUE(run.output.contains(QLatin1String("gbak:    writing data for table CLIENTES")));
    EXPECT_TRUE(run.output.contains(QStringLiteral("Verificando o backup: restaurando-o numa base de teste...")));
    EXPECT_TRUE(run.output.trimmed().endsWith(QStringLiteral("Backup realizado com sucesso !!! ") + todays));
    // The log: its header, the same lines, each after its time, then the
    // size and the outcome with the time taken.
    const QStringList log = Untimed(LogText());
    ASSERT_GE(log.size(), 10);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("======== Z.U.R. - Assistente de Backup "))) << log[0].toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Base de dados: ") + database));
    EXPECT_TRUE(log.contains(QStringLiteral("Servidor: ") + testserver::ServerText()));
    EXPECT_TRUE(log.contains(QStringLiteral("Backup: ") + todays));
    EXPECT_TRUE(log.contains(QStringLiteral("Senha: da variável ZUR_PASSWORD")));
    // (The server's empty lines as well.)
    QStringList runLines = run.output.split(u'\n').filter(QRegularExpression(QStringLiteral("^(?!Progresso: )")));
    EXPECT_EQ(runLines.takeLast(), QString());
    const auto first = log.indexOf(runLines.first());
    ASSERT_GT(first, 0);
    EXPECT_EQ(log.mid(first, runLines.size()), runLines);
    EXPECT_EQ(
        log.at(log.size() - 2), QStringLiteral("Tamanho de %1: %2 bytes").arg(todays).arg(QFileInfo(todays).size()));
    const QRegularExpressionMatch closing = QRegularExpression(
        QStringLiteral("^Resultado: código de saída 0 \\(concluído\\), tempo decorrido: ([0-9.]+) s$"))
                                                .match(log.last());
    ASSERT_TRUE(closing.hasMatch()) << log.last().toStdString();
    // No scratch database of the proof is left beside the database.
    EXPECT_EQ(FilesIn(folder), QStringList{QStringLiteral("DADOS.FDB")});

    // The progress on the console only, at most once a second, its end just
    // before the final line.
    const QStringList lines = run.output.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines.at(lines.size() - 2).startsWith(QStringLiteral("Progresso: 100% — concluído em ")))
        << lines.at(lines.size() - 2).toStdString();
    EXPECT_LE(ProgressLines(run.output).size(), static_cast<qsizetype>(closing.captured(1).toDouble()) + 2);
    EXPECT_FALSE(log.join(u'\n').contains(QLatin1String("Progresso")));

    // As cron runs it, quiet: nothing at all on standard output, nothing on
    // standard error; the log holds the server's lines all the same.
    const TRun quiet = RunScheduled(Scheduled({QStringLiteral("--quiet"), QStringLiteral("--log"), folder + "q.log"}));
    ASSERT_EQ(quiet.exitCode, 0) << quiet.errors.toStdString();
    EXPECT_EQ(quiet.output, QString());
    EXPECT_EQ(quiet.errors, QString());
    const QString quietLog = Text(ReadFile(folder + "q.log"));
    EXPECT_TRUE(quietLog.contains(QLatin1String("gbak:")));
    EXPECT_TRUE(quietLog.contains(QStringLiteral("Senha: do arquivo ") + passwordFile));
    EXPECT_FALSE(quietLog.contains(QLatin1String("Progresso")));
}

// Someone at a terminal sees the progress without asking, unless quiet.
TEST_F(CommandLineRunTest, AtATerminalTheProgressShowsUnlessQuiet)
{
    const QString script = QStandardPaths::findExecutable(QStringLiteral("script"));
    if (script.isEmpty())
        GTEST_SKIP() << "no script(1) here to give the program a terminal";
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 500));
    for (bool quiet : {false, true}) {
        SCOPED_TRACE(quiet ? "quiet" : "not quiet");
        QStringList arguments = Backup({QStringLiteral("--log"), folder + QStringLiteral("terminal.log")});
        if (quiet)
            arguments << QStringLiteral("--quiet");
        QString command = QStringLiteral(ZUR_EXECUTABLE);
        for (const QString& argument : arguments)
            command += QStringLiteral(" '") + argument + u'\'';

        // The terminal shows standard output and standard error together.
        const TRun run = RunProgram(
            {}, testserver::Password(), script, {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});

        ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
        if (quiet) {
            EXPECT_EQ(run.output, QString());
        } else {
            EXPECT_FALSE(ProgressLines(run.output).isEmpty()) << run.output.toStdString();
            EXPECT_TRUE(run.output.contains(QStringLiteral("Backup realizado com sucesso !!! ") + todays));
        }
    }
}

TEST_F(CommandLineRunTest, KeepingThreeAfterFiveDaysLeavesTheNewestThree)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    const QDate today = QDate::currentDate();
    for (int day = 1; day <= 5; ++day)
        WriteFile(destination + QStringLiteral("DADOS") + Stamp(today.addDays(-day)) + QStringLiteral(".BKP"), "old");
    const QStringList untouched
        = {QStringLiteral("OUTRA") + Stamp(today.addDays(-9)) + QStringLiteral(".BKP"), QStringLiteral("notas.txt")};
    for (const QString& name : untouched)
        WriteFile(destination + name, "other");

    const TRun run = RunProgram(Backup({QStringLiteral("--keep"), QStringLiteral("3")}));

    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    QStringList expected = untouched
        + QStringList{QFileInfo(todays).fileName(), QStringLiteral("DADOS") + Stamp(today.addDays(-1)) + ".BKP",
            QStringLiteral("DADOS") + Stamp(today.addDays(-2)) + ".BKP"};
    expected.sort();
    EXPECT_EQ(FilesIn(destination), expected);
    const QString log = LogText();
    for (int day = 3; day <= 5; ++day)
        EXPECT_TRUE(log.contains(QStringLiteral("Backup antigo removido (--keep 3): ") + destination + "DADOS"
            + Stamp(today.addDays(-day)) + ".BKP"))
            << day;
}

TEST_F(CommandLineRunTest, WithZipTheProvedBackupGetsACompressedCopyThatKeepCountsWithIt)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 200));
    const QDate today = QDate::currentDate();
    // Two earlier days, each a backup and its compressed copy.
    for (int day = 1; day <= 2; ++day) {
        WriteFile(destination + QStringLiteral("DADOS") + Stamp(today.addDays(-day)) + QStringLiteral(".BKP"), "old");
        WriteFile(
            destination + QStringLiteral("ZURDADOS") + Stamp(today.addDays(-day)) + QStringLiteral(".ZIP"), "old");
    }

    const TRun run = RunProgram(Backup({QStringLiteral("--zip"), QStringLiteral("--keep"), QStringLiteral("2")}));

    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    const QString archive = destination + QStringLiteral("ZURDADOS") + Stamp(today) + QStringLiteral(".ZIP");
    EXPECT_TRUE(run.output.contains(QStringLiteral("Arquivo compactado gravado e conferido: ") + archive));
    // The archive holds the proved backup, byte for byte.
    QTemporaryDir out;
    const TExtraction extraction = ExtractBackup(archive, out.path() + QDir::separator());
    ASSERT_EQ(extraction.refusal, QString());
    EXPECT_EQ(extraction.entry, QFileInfo(todays).fileName());
    EXPECT_EQ(ReadFile(extraction.file.Path()), ReadFile(todays));
    // Today's pair and yesterday's stay; the day before goes, both files.
    QStringList expected = {QFileInfo(todays).fileName(), QFileInfo(archive).fileName(),
        QStringLiteral("DADOS") + Stamp(today.addDays(-1)) + ".BKP",
        QStringLiteral("ZURDADOS") + Stamp(today.addDays(-1)) + ".ZIP"};
    expected.sort();
    EXPECT_EQ(FilesIn(destination), expected);
}

// An old backup that cannot go: the new one is proved and in place, and the
// exit code says that something after it failed.
TEST_F(CommandLineRunTest, AnOldBackupThatCannotGoEndsWithThree)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    const QDate today = QDate::currentDate();
    const QString stuck = destination + QStringLiteral("DADOS") + Stamp(today.addDays(-2)) + QStringLiteral(".BKP");
    const QString goes = destination + QStringLiteral("DADOS") + Stamp(today.addDays(-1)) + QStringLiteral(".BKP");
    WriteFile(stuck, "old");
    WriteFile(goes, "old");
    // Not even root removes an immutable file.
    if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), stuck}) != 0)
        GTEST_SKIP() << "no immutable files here";

    const TRun run = RunProgram(Backup({QStringLiteral("--keep"), QStringLiteral("1")}));

    QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), stuck});
    EXPECT_EQ(run.exitCode, 3) << run.output.toStdString() << run.errors.toStdString();
    EXPECT_TRUE(QFileInfo(todays).size() > 0);
    EXPECT_FALSE(QFile::exists(goes));
    EXPECT_TRUE(run.output.contains(QStringLiteral("O backup antigo %1 não pôde ser removido").arg(stuck)));
    EXPECT_TRUE(run.errors.contains(QStringLiteral("está verificado e no lugar"))) << run.errors.toStdString();
    EXPECT_TRUE(LogText().contains(QStringLiteral("Resultado: código de saída 3")));
}

// Each failure leaves this morning's backup as it was, says so on standard
// error and in the log, and ends with exit code 1.
TEST_F(CommandLineRunTest, FailuresLeaveTheMorningsBackupAndEndWithOne)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    // A port beside the server's, where nothing listens.
    const int downPort = QStringView(testserver::ServerText()).mid(10).chopped(1).toInt() + 711;
    struct TCase {
        const char* name;
        QStringList more;
        QString password;
        const char* says;
    };
    const std::vector<TCase> cases = {
        {"wrong password", {}, QStringLiteral("errada"), "Your user name and password are not defined"},
        {"server down", {QStringLiteral("--server"), QStringLiteral("localhost/%1:").arg(downPort)},
            testserver::Password(), "Unable to complete network request"},
        {"database missing", {QStringLiteral("--database"), folder + QStringLiteral("NENHUMA.FDB")},
            testserver::Password(), "NENHUMA.FDB"},
    };
    for (const TCase& failure : cases) {
        SCOPED_TRACE(failure.name);
        WriteFile(todays, "this morning's backup");
        const QString logFile = folder + QString::fromLatin1(failure.name).replace(u' ', u'-') + ".log";

        const TRun run
            = RunProgram(Backup(failure.more + QStringList{QStringLiteral("--log"), logFile}), failure.password);

        EXPECT_EQ(run.exitCode, 1) << run.output.toStdString() << run.errors.toStdString();
        EXPECT_EQ(ReadFile(todays), QByteArray("this morning's backup"));
        EXPECT_EQ(FilesIn(destination), QStringList{QFileInfo(todays).fileName()});
        EXPECT_TRUE(run.errors.contains(QString::fromLatin1(failure.says))) << run.errors.toStdString();
        const QString log = Text(ReadFile(logFile));
        // The final line; standard error may say more (an event log that could not be written).
        EXPECT_TRUE(log.contains(run.errors.section(u'\n', 0, 0))) << log.toStdString() << run.errors.toStdString();
        EXPECT_TRUE(log.contains(QStringLiteral("Resultado: código de saída 1")));
    }
    EXPECT_EQ(FilesIn(folder).filter(QStringLiteral(".FDB")), QStringList{QStringLiteral("DADOS.FDB")});
}

// Every failure of either road, as cron runs it with --quiet: standard
// output stays empty, standard error tells the reason (the server's words or
// the program's, the lines the log holds) and then the final line, and the
// exit code is 1.
TEST_F(CommandLineRunTest, EachFailureTellsItsReasonOnStandardErrorAndEndsWithOne)
{
    // Enough rows that half of the backup ends inside the data.
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 120000));
    ASSERT_EQ(RunProgram(Backup()).exitCode, 0);
    const QString half = folder + QStringLiteral("METADE.BKP");
    WriteFile(half, ReadFile(todays).left(QFileInfo(todays).size() / 2));
    const QString wrong = folder + QStringLiteral("senha-errada");
    WriteFile(wrong, "errada\n");
    const int downPort = QStringView(testserver::ServerText()).mid(10).chopped(1).toInt() + 711;
    const QString down = QStringLiteral("localhost/%1:").arg(downPort);
    const auto restore = [&](const QString& backup, const QString& server, const QString& secret) {
        return QStringList{QStringLiteral("--restore"), backup, QStringLiteral("--server"), server,
            QStringLiteral("--database"), database, QStringLiteral("--password-file"), secret};
    };
    const QString backupFailed = QStringLiteral("Ocorreram problemas e o Backup não foi realizado! Erro: ");
    const QString connectionFailed = QStringLiteral("Problema ao conectar no banco de dados! Mensagem original : ");
    const QString restoreFailed = QStringLiteral("Ocorreram problemas e o Backup não foi restaurado!!!");
    struct TCase {
        const char* name;
        QStringList arguments;
        bool databaseInUse;
        const char* says;
        QString finalLine;
    };
    const std::vector<TCase> cases = {
        {"backup, wrong password", Backup({QStringLiteral("--password-file"), wrong}), false,
            "Your user name and password are not defined", connectionFailed},
        {"backup, server down", Scheduled({QStringLiteral("--server"), down}), false,
            "Unable to complete network request", connectionFailed},
        {"backup, database missing", Scheduled({QStringLiteral("--database"), folder + QStringLiteral("NENHUMA.FDB")}),
            false, "NENHUMA.FDB", QStringLiteral("Banco de Dados não encontrado: ")},
        {"restore, wrong password", restore(todays, testserver::ServerText(), wrong), false,
            "Your user name and password are not defined", restoreFailed},
        {"restore, server down", restore(todays, down, passwordFile), false, "Unable to complete network request",
            restoreFailed},
        {"restore, database in use", restore(todays, testserver::ServerText(), passwordFile), true, "está em uso",
            restoreFailed},
        {"restore, incomplete backup", restore(half, testserver::ServerText(), passwordFile), false,
            "O backup escolhido está incompleto. A base de dados não foi substituída!", restoreFailed},
    };
    for (const TCase& failure : cases) {
        SCOPED_TRACE(failure.name);
        const QString logFile
            = folder + QString::fromLatin1(failure.name).replace(QRegularExpression("\\W+"), "-") + ".log";
        TIBDatabase user;
        if (failure.databaseInUse) {
            user.SetLoginPrompt(false);
            user.Params().Add(QStringLiteral("User_Name=") + testserver::User());
            user.Params().Add(QStringLiteral("Password=") + testserver::Password());
            user.SetDatabaseName(testserver::ServerText() + database);
            user.SetConnected(true);
        }

        const TRun run = RunScheduled(
            failure.arguments + QStringList{QStringLiteral("--quiet"), QStringLiteral("--log"), logFile});

        user.SetConnected(false);
        EXPECT_EQ(run.exitCode, 1) << run.errors.toStdString();
        EXPECT_EQ(run.output, QString());
        EXPECT_TRUE(run.errors.contains(QString::fromUtf8(failure.says))) << run.errors.toStdString();
        const QStringList errors = run.errors.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(errors.isEmpty());
        // The final line comes last (a server's message in it may take
        // several lines).
        const auto final = run.errors.lastIndexOf(failure.finalLine);
        EXPECT_TRUE(final == 0 || (final > 0 && run.errors[final - 1] == u'\n')) << run.errors.toStdString();
        // The restore's final line names no reason: the lines before it do.
        if (failure.finalLine == restoreFailed) {
            EXPECT_EQ(errors.last(), restoreFailed);
            EXPECT_GE(errors.size(), 2) << run.errors.toStdString();
        }
        // Standard error says nothing that the log does not hold.
        const QStringList log = Untimed(Text(ReadFile(logFile)));
        for (const QString& line : errors)
            EXPECT_TRUE(log.contains(line)) << line.toStdString();
        EXPECT_TRUE(log.last().startsWith(QStringLiteral("Resultado: código de saída 1 (falhou), tempo decorrido: ")))
            << log.last().toStdString();
        EXPECT_EQ(testserver::CountRows(database, QStringLiteral("CLIENTES")), 120000);
    }
}

TEST_F(CommandLineRunTest, AFullDiskLeavesTheMorningsBackup)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("GRANDE"), 60000));
    ASSERT_EQ(RunProgram(Backup()).exitCode, 0);
    const qint64 size = QFileInfo(todays).size();
    const QByteArray morning = ReadFile(todays);
    const QString small = folder + QStringLiteral("pequeno/");
    // Room for this morning's backup and half another.
    TSmallVolume volume(small, size * 3 / 2);
    if (!volume.Mounted())
        GTEST_SKIP() << "a tmpfs cannot be mounted here (the test needs root)";
    const QString smallTodays = small + QFileInfo(todays).fileName();
    WriteFile(smallTodays, morning);

    const TRun run = RunProgram(
        {QStringLiteral("--backup"), QStringLiteral("--server"), testserver::ServerText(), QStringLiteral("--database"),
            database, QStringLiteral("--dest"), small, QStringLiteral("--log"), folder + QStringLiteral("cheio.log")});

    EXPECT_EQ(run.exitCode, 1) << run.output.toStdString();
    EXPECT_TRUE(run.errors.contains(QLatin1String("free disk space exhausted"))) << run.errors.toStdString();
    EXPECT_EQ(ReadFile(smallTodays), morning);
    EXPECT_EQ(FilesIn(small), QStringList{QFileInfo(todays).fileName()});
}

TEST_F(CommandLineRunTest, UnusableCommandLinesEndWithTwoAndTryNothing)
{
    for (const QStringList& more :
        {QStringList{QStringLiteral("--frobnicate")}, QStringList{QStringLiteral("--keep"), QStringLiteral("0")},
            QStringList{QStringLiteral("--keep"), QStringLiteral("x")}}) {
        SCOPED_TRACE(more.join(u' ').toStdString());
        // No database at all: a run that tried anything would fail otherwise.
        const TRun run = RunProgram(Backup(more));
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.output.isEmpty());
        EXPECT_TRUE(run.errors.contains(QLatin1String("zur --help")));
        EXPECT_TRUE(QDir(destination).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    }
    const TRun help = RunProgram({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.contains(QStringLiteral("Códigos de saída")));
}

TEST_F(CommandLineRunTest, ASecondRunOfTheSameDatabaseRefusesAndTouchesNothing)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 10));
    WriteFile(todays, "this morning's backup");
    {
        // Another run (a window or a scheduled one) at work on the database.
        const TDatabaseLogin login{
            BackupServiceTarget(testserver::ServerText()), testserver::User(), testserver::Password()};
        const TRunLock other(DatabaseLockPath(login, database));
        ASSERT_TRUE(other.Held());

        const TRun run = RunProgram(Backup());

        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.errors.contains(QStringLiteral("Outra execução do programa está trabalhando com ") + database))
            << run.errors.toStdString();
        EXPECT_EQ(ReadFile(todays), QByteArray("this morning's backup"));
        EXPECT_EQ(FilesIn(destination), QStringList{QFileInfo(todays).fileName()});
    }
    // The other run gone, the next one goes through.
    const TRun next = RunProgram(Backup());
    EXPECT_EQ(next.exitCode, 0) << next.errors.toStdString();
    EXPECT_NE(ReadFile(todays), QByteArray("this morning's backup"));
}

TEST_F(CommandLineRunTest, TwoRunsAtOnceOneSucceedsAndNothingIsLost)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("GRANDE"), 200000));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("ZUR_PASSWORD"), testserver::Password());
    QProcess first;
    QProcess second;
    for (QProcess* program : {&first, &second}) {
        program->setProcessEnvironment(environment);
        program->setStandardInputFile(QProcess::nullDevice());
        program->start(QStringLiteral(ZUR_EXECUTABLE), Backup({QStringLiteral("--quiet")}));
    }
    ASSERT_TRUE(first.waitForFinished(300000));
    ASSERT_TRUE(second.waitForFinished(300000));
    const QList<int> codes = {first.exitCode(), second.exitCode()};
    // Both may go through one after the other; never two at once, never both failing.
    EXPECT_TRUE(codes.contains(0)) << codes[0] << " " << codes[1];
    for (QProcess* program : {&first, &second}) {
        if (program->exitCode() != 0) {
            EXPECT_TRUE(QString::fromUtf8(program->readAllStandardError()).contains(QStringLiteral("Outra execução")));
        }
    }
    EXPECT_EQ(FilesIn(destination), QStringList{QFileInfo(todays).fileName()});
    EXPECT_EQ(testserver::CountRows(database, QStringLiteral("GRANDE")), 200000);
}

TEST_F(CommandLineRunTest, ARestoreFollowsTheRestoreRoadAndRefusesADatabaseInUse)
{
    testserver::CreateDatabase(database, Rows(QStringLiteral("CLIENTES"), 25));
    ASSERT_EQ(RunProgram(Backup()).exitCode, 0);
    const QString copy = folder + QStringLiteral("COPIA.FDB");
    const QStringList restore
        = {QStringLiteral("--restore"), todays, QStringLiteral("--server"), testserver::ServerText()};

    // A path where no database is: a mistyped one, as far as the program
    // knows; nothing is made there unless --create says so.
    const TRun mistyped = RunProgram(restore + QStringList{QStringLiteral("--database"), copy});
    EXPECT_EQ(mistyped.exitCode, 2) << mistyped.output.toStdString() << mistyped.errors.toStdString();
    EXPECT_TRUE(mistyped.errors.startsWith(QStringLiteral("A base de dados %1 não existe. ").arg(copy)))
        << mistyped.errors.toStdString();
    EXPECT_EQ(mistyped.output, QString());
    EXPECT_EQ(FilesIn(folder).filter(QStringLiteral("COPIA")), QStringList());
    const TRun made = RunProgram(restore + QStringList{QStringLiteral("--database"), copy, QStringLiteral("--create")});
    ASSERT_EQ(made.exitCode, 0) << made.output.toStdString() << made.errors.toStdString();
    EXPECT_TRUE(made.output.contains(QStringLiteral("Backup Restaurado com Sucesso !!! ") + copy));
    EXPECT_EQ(testserver::CountRows(copy, QStringLiteral("CLIENTES")), 25);
    // Its log lies beside the backup it restored, with the backup's own (the
    // refused run left none), and names that backup.
    const QStringList logs = QDir(destination + QStringLiteral("logs")).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(logs.size(), 2);
    ASSERT_TRUE(logs.first().startsWith(QStringLiteral("ZUR-COPIA-"))) << logs.first().toStdString();
    const QString restoreLog = Text(ReadFile(destination + QStringLiteral("logs/") + logs.first()));
    EXPECT_TRUE(restoreLog.contains(QStringLiteral("Execução: restauração")));
    EXPECT_TRUE(restoreLog.contains(QStringLiteral(" Backup: ") + todays + u'\n')) << restoreLog.toStdString();

    // Someone works in the database: the restore is refused, the rows stay.
    testserver::IsqlOn(copy, QStringLiteral("delete from CLIENTES where ID >= 20; commit;"));
    TIBDatabase user;
    user.SetLoginPrompt(false);
    user.Params().Add(QStringLiteral("User_Name=") + testserver::User());
    user.Params().Add(QStringLiteral("Password=") + testserver::Password());
    user.SetDatabaseName(testserver::ServerText() + copy);
    user.SetConnected(true);

    const TRun refused = RunProgram(restore + QStringList{QStringLiteral("--database"), copy});

    user.SetConnected(false);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.output.contains(QStringLiteral("está em uso"))) << refused.output.toStdString();
    EXPECT_TRUE(refused.errors.contains(QStringLiteral("Ocorreram problemas e o Backup não foi restaurado!!!")));
    EXPECT_EQ(testserver::CountRows(copy, QStringLiteral("CLIENTES")), 20);
}

TEST_F(CommandLineRunTest, AFolderWithAccentsIsBackedUpWithoutALocale)
{
    // Windows converts through its ANSI code page, which no environment
    // changes (the accented folder test of the Windows build shows it).
    if (PathSeparator() == QStringLiteral("\\"))
        GTEST_SKIP() << "the locale is the Unix client's";
    // Made in a plain folder, then the folder renamed: the tools that make it
    // need no locale of their own.
    const QString plain = folder + QStringLiteral("simples");
    const QString accented = folder + QStringLiteral("acentuação");
    QDir().mkpath(plain);
    testserver::CreateDatabase(
        plain + PathSeparator() + QStringLiteral("DADOS.FDB"), Rows(QStringLiteral("CLIENTES"), 7));
    ASSERT_TRUE(QDir().rename(plain, accented));
    const QString path = accented + PathSeparator() + QStringLiteral("DADOS.FDB");

    // As cron runs it: no LANG, no LC_ALL, no LC_CTYPE.
    const TRun run = RunScheduled({QStringLiteral("--backup"), QStringLiteral("--quiet"), QStringLiteral("--server"),
        testserver::ServerText(), QStringLiteral("--database"), path, QStringLiteral("--dest"), destination,
        QStringLiteral("--password-file"), passwordFile});

    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString() << run.errors.toStdString();
    const TRun restore = RunScheduled({QStringLiteral("--restore"), todays, QStringLiteral("--server"),
        testserver::ServerText(), QStringLiteral("--database"), accented + PathSeparator() + QStringLiteral("NOVA.FDB"),
        QStringLiteral("--create"), QStringLiteral("--password-file"), passwordFile});
    ASSERT_EQ(restore.exitCode, 0) << restore.output.toStdString() << restore.errors.toStdString();
}
