// The restore road as a hostile world meets it, against the private server:
// the program (a helper process running the road) or the server killed at
// each phase of a restore over an existing database, the backup file changed
// under a running restore, and other runs at work on the same destination or
// backup name. Whatever happens, the destination ends with its own rows or
// the backup's, whole and online, and the next run says what it cleaned up.

#include "RunsTestSupport.h"

#include "core/BackupFile.h"
#include "core/RunLock.h"
#include "runs/BackupRoad.h"
#include "runs/ConnectionTest.h"
#include "runs/RestoreRoad.h"
#include "runs/RestoreSteps.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr int OwnRows = 30;
constexpr int BackupRows = 600000;

// The lines of the road as the test's own log.
class TRecordingSink : public TRestoreSink {
public:
    QStringList lines;
    void Line(const QString& line) override { lines << line; }
    void ReadOutput(TIBControlAndQueryService& service, const std::function<void(const QStringList&)>& seen) override
    {
        while (!service.Eof())
            seen({service.GetNextLine()});
    }
    void Wait(int milliseconds) override { QThread::msleep(static_cast<unsigned long>(milliseconds)); }
};

// The state letter of a process (R, S, T, Z...), from /proc.
char ProcessState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray text = stat.readAll();
    const auto close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text.at(close + 2) : '?';
}

// Waits until cond holds, up to seconds; whether it did.
template <typename F> bool WaitFor(F cond, int seconds)
{
    QElapsedTimer waited;
    waited.start();
    while (!cond()) {
        if (waited.elapsed() > seconds * 1000)
            return false;
        QThread::msleep(20);
    }
    return true;
}

class RunsSwapTest : public RunsTest {
protected:
    // The operator's database at path: OwnRows rows in CLIENTES.
    static void MakeOwnDatabase(const QString& path)
    {
        testserver::CreateDatabase(path, runs::TableWithRows(QStringLiteral("CLIENTES"), OwnRows));
    }

    // A backup of another database of `rows` rows in GRANDE.
    QString BackupOfRows(const QString& name, int rows) { return BackupOfTable(name, QStringLiteral("GRANDE"), rows); }

    // Starts the helper running the road; stopAt names the phase it stops at.
    // With asUser, the helper runs as that user (through runuser).
    // With noLinks, on a file system without hard links.
    std::unique_ptr<QProcess> StartRoad(const QString& backup, const QString& destination, const QString& stopAt = {},
        const QString& asUser = {}, bool noLinks = false)
    {
        auto road = std::make_unique<QProcess>();
        road->setProcessChannelMode(QProcess::MergedChannels);
        if (noLinks) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(ZUR_NO_HARD_LINKS));
            road->setProcessEnvironment(environment);
        }
        QStringList arguments{
            testserver::ServerText(), testserver::User(), testserver::Password(), backup, destination};
        if (!stopAt.isEmpty())
            arguments << stopAt;
        if (asUser.isEmpty()) {
            road->start(QStringLiteral(ZUR_RESTORE_HELPER), arguments);
        } else {
            arguments.prepend(QStringLiteral(ZUR_RESTORE_HELPER));
            road->start(
                QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), asUser, QStringLiteral("--")} + arguments);
        }
        EXPECT_TRUE(road->waitForStarted());
        return road;
    }

    // Starts the helper that makes a backup through a headless window whose
    // program folder is program.
    static std::unique_ptr<QProcess> StartBackup(const QString& database, const QString& program)
    {
        auto run = std::make_unique<QProcess>();
        run->setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        run->setProcessEnvironment(environment);
        run->start(QStringLiteral(ZUR_BACKUP_HELPER),
            {testserver::ServerText(), testserver::User(), testserver::Password(), database, program});
        EXPECT_TRUE(run->waitForStarted());
        return run;
    }

    static QString Finish(QProcess& road)
    {
        EXPECT_TRUE(road.waitForFinished(120000));
        return QString::fromUtf8(road.readAll());
    }

    // Whether the scratch database beside destination is being written: it
    // exists and has grown to several times an empty database's size.
    static bool ScratchGrowing(const QString& destination)
    {
        const QStringList scratch = ScratchDatabasesBeside(destination);
        return !scratch.isEmpty() && QFileInfo(scratch.first()).size() > 8 * 1024 * 1024;
    }

    // Waits until no file beside destination changes size any more (a server
    // finishing a restore job whose program is gone).
    static void WaitUntilQuiet(const QString& destination)
    {
        qint64 last = -1;
        int still = 0;
        for (int i = 0; i < 600 && still < 10; ++i) {
            qint64 sum = 0;
            for (const QString& file : ScratchDatabasesBeside(destination))
                sum += QFileInfo(file).size();
            still = sum == last ? still + 1 : 0;
            last = sum;
            QThread::msleep(100);
        }
    }

    // The destination online, with its own rows or the backup's; which.
    enum class THolds { Own, Backup };
    void ExpectWhole(const QString& destination, THolds holds)
    {
        EXPECT_EQ(ShutdownModeOf(destination), 0);
        if (holds == THolds::Own)
            EXPECT_EQ(testserver::CountRows(destination, QStringLiteral("CLIENTES")), OwnRows);
        else
            EXPECT_EQ(testserver::CountRows(destination, QStringLiteral("GRANDE")), BackupRows);
    }

    // Whether the partial backups of final still grow (a server finishing
    // the job of a copy that was killed).
    static bool ServerStillWrites(const QString& final)
    {
        const auto size = [&final] {
            qint64 sum = 0;
            for (const QString& file : PartialBackupsOf(final))
                sum += QFileInfo(file).size();
            return sum;
        };
        const qint64 before = size();
        QThread::msleep(1500);
        return size() != before;
    }

    static void ExpectNoLeftovers(const QString& destination)
    {
        EXPECT_EQ(ScratchDatabasesBeside(destination), QStringList());
        EXPECT_EQ(SetAsideFilesBeside(destination), QStringList());
        EXPECT_EQ(FilesBesideWithSuffix(destination, QStringLiteral(".ZURFORADEUSO.")), QStringList());
        EXPECT_FALSE(QFileInfo::exists(destination + QStringLiteral(".TRAVA")));
    }

    // The program or the server killed at each phase of a restore over an
    // existing database; then the program started again, and only its
    // connection test pressed (every third case: a scheduled backup of that
    // database instead). Afterwards the database is at its path, online and
    // whole, nothing of the run is left, and the next run says what it put
    // right.
    void KillAtEachPhase(const QString& folder, bool noLinks);
};

} // namespace

void RunsSwapTest::KillAtEachPhase(const QString& folder, bool noLinks)
{
    const QString backup = BackupOfRows(QStringLiteral("GRANDE"), BackupRows);
    enum class TKill { Program, Server };
    struct {
        const char* phase; // empty: while the scratch database is written
        TKill kill;
        THolds holds;
        bool leftovers; // the next run finds something to put right
    } const cases[] = {
        {"", TKill::Program, THolds::Own, true},
        {"", TKill::Server, THolds::Own, true},
        {"checked", TKill::Program, THolds::Own, true},
        {"checked", TKill::Server, THolds::Own, true},
        {"out-of-use", TKill::Program, THolds::Own, true},
        {"out-of-use", TKill::Server, THolds::Backup, true},
        {"set-aside", TKill::Program, THolds::Own, true},
        {"set-aside", TKill::Server, THolds::Backup, true},
        {"swapped", TKill::Program, THolds::Backup, true},
        {"swapped", TKill::Server, THolds::Backup, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        // Up to the check nothing is renamed: links make no difference there.
        const std::string phase = c.phase;
        if (noLinks && (phase.empty() || phase == "checked"))
            continue;
        SCOPED_TRACE((phase.empty() ? "writing" : phase) + (c.kill == TKill::Program ? " program" : " server"));
        const QString destination = folder + QStringLiteral("DADOS%1.FDB").arg(++n);
        MakeOwnDatabase(destination);
        auto road = StartRoad(backup, destination, QString::fromLatin1(c.phase), QString(), noLinks);
        const qint64 pid = road->processId();
        // The moment: the server writing the scratch database, or the road
        // stopped at its phase.
        if (*c.phase == '\0')
            ASSERT_TRUE(WaitFor([&] { return ScratchGrowing(destination); }, 60));
        else
            ASSERT_TRUE(WaitFor([&] { return ProcessState(pid) == 'T'; }, 60)) << Finish(*road).toStdString();
        QString output;
        if (c.kill == TKill::Program) {
            road->kill();
            road->waitForFinished();
            WaitUntilQuiet(destination);
        } else {
            ASSERT_EQ(FirebirdServer(QStringLiteral("kill")), 0);
            // The road goes on without its server, then the server comes back.
            ::kill(static_cast<pid_t>(pid), SIGCONT);
            output = Finish(*road);
            ASSERT_EQ(FirebirdServer(QStringLiteral("start")), 0);
        }
        // With hard links a database is at the path whatever was stopped;
        // without them, a kill between the two renames leaves it aside.
        if (!noLinks) {
            EXPECT_TRUE(QFileInfo::exists(destination)) << "no database at " << destination.toStdString();
        } else if (phase == "set-aside" && c.kill == TKill::Program) {
            EXPECT_FALSE(QFileInfo::exists(destination)) << "the road took no two renames";
        }

        // The program again: before anything else, it puts right what was left.
        TRecordingSink next;
        if (n % 3 != 0) {
            TIBDatabase connection;
            const TConnectionOutcome tested = TestConnection(
                {testserver::ServerText(), destination, testserver::User(), testserver::Password()}, connection, next);
            EXPECT_EQ(tested.result, TConnectionOutcome::Connected) << tested.failure.toStdString();
            EXPECT_EQ(tested.putRight, next.lines);
            connection.SetConnected(false);
        } else {
            const QString program = folder + QStringLiteral("programa%1/").arg(n);
            QDir().mkpath(program);
            const TDatabaseLogin login{
                BackupServiceTarget(testserver::ServerText()), testserver::User(), testserver::Password()};
            const TBackupOutcome backedUp = RunBackupRoad(
                {login, destination, BackupFileName(program, destination, QDate::currentDate()), NewRunMark()}, next);
            EXPECT_TRUE(backedUp.proved) << backedUp.failure.toStdString();
        }
        const QStringList putRight = next.lines.filter(QRegularExpression(QStringLiteral("^Encontrad")));
        EXPECT_EQ(!putRight.isEmpty(), c.leftovers) << next.lines.join(u'\n').toStdString() << "\n"
                                                    << output.toStdString();
        if (n % 3 != 0) {
            EXPECT_EQ(putRight, next.lines);
        }
        ExpectWhole(destination, c.holds);
        ExpectNoLeftovers(destination);
    }
}

TEST_F(RunsSwapTest, AKillAtAnyPhaseLeavesAWholeDatabaseAndTheNextRunCleansUp)
{
    KillAtEachPhase(Folder(), false);
}

TEST_F(RunsSwapTest, WithoutHardLinksAKillAtAnyPhaseIsPutRightByTheNextRun)
{
    // The renames are the program's own: one server shows them.
    if (testserver::Version() == 4)
        GTEST_SKIP() << "the road without hard links is run against Firebird 3";
    KillAtEachPhase(Folder(), true);
}

TEST_F(RunsSwapTest, ARestoreOverALinkReplacesTheDatabaseItLeadsTo)
{
    // The operator's path is a link to the real file, which other programs
    // open by its own name: after the run both names hold the backup's rows.
    const QString real = Folder() + QStringLiteral("real/DADOS.FDB");
    QDir().mkpath(Folder() + QStringLiteral("real"));
    MakeOwnDatabase(real);
    const QString link = Folder() + QStringLiteral("DADOS.FDB");
    ASSERT_TRUE(QFile::link(real, link));
    const QString backup = BackupOfRows(QStringLiteral("OUTRA"), 9);

    auto road = StartRoad(backup, link);
    const QString output = Finish(*road);

    EXPECT_EQ(road->exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    for (const QString& name : {link, real}) {
        EXPECT_EQ(ShutdownModeOf(name), 0);
        EXPECT_EQ(testserver::CountRows(name, QStringLiteral("GRANDE")), 9);
    }
    ExpectNoLeftovers(real);
    ExpectNoLeftovers(link);
}

TEST_F(RunsSwapTest, AServerNamedByAnotherNameOfThisMachineTakesTheSwapRoad)
{
    // A name of this machine's other than "localhost" and the host name,
    // resolving to a loopback address (as a full domain name in the hosts
    // file does).
    QFile hosts(QStringLiteral("/etc/hosts"));
    ASSERT_TRUE(hosts.open(QIODevice::ReadOnly));
    QString alias;
    for (const QString& line : QString::fromUtf8(hosts.readAll()).split(u'\n')) {
        const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.size() < 2 || !words[0].startsWith(QLatin1String("127.")))
            continue;
        for (const QString& name : words.mid(1)) {
            if (name.startsWith(u'#'))
                break;
            if (name != QLatin1String("localhost")
                && name.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0)
                alias = name;
        }
        if (!alias.isEmpty() && words[0] == QLatin1String("127.0.0.1"))
            break;
    }
    if (alias.isEmpty())
        GTEST_SKIP() << "the hosts file gives no other name of 127.0.0.1";
    QString server = testserver::ServerText();
    server.replace(QLatin1String("localhost"), alias);
    const TServiceTarget target = RestoreServiceTarget(server);
    ASSERT_TRUE(ServerIsThisMachine(target)) << server.toStdString();
    const QString destination = Folder() + QStringLiteral("DADOS.FDB");
    MakeOwnDatabase(destination);
    const QString backup = BackupOfRows(QStringLiteral("OUTRA"), 9);

    TRecordingSink sink;
    TRestoreRequest request;
    request.login = {target, testserver::User(), testserver::Password()};
    request.backupFile = backup;
    request.destination = destination;
    EXPECT_TRUE(RunRestoreRoad(request, sink).restored) << sink.lines.join(u'\n').toStdString();

    // Restored beside the database and swapped: no replace over it.
    EXPECT_TRUE(sink.lines.filter(QStringLiteral("neste servidor a restauração apaga")).isEmpty())
        << sink.lines.join(u'\n').toStdString();
    EXPECT_EQ(ShutdownModeOf(destination), 0);
    EXPECT_EQ(testserver::CountRows(destination, QStringLiteral("GRANDE")), 9);
    ExpectNoLeftovers(destination);
}

TEST_F(RunsSwapTest, AServerThatReadsAnotherFileSystemIsTreatedAsOneElsewhere)
{
    // Firebird 4 runs in a system of its own: a database made at a path
    // inside it is a file this machine does not see at that path.
    if (testserver::Version() != 4)
        GTEST_SKIP() << "needs the server in a system of its own (Firebird 4)";
    const QString inside = QStringLiteral("/zur-only-inside/") + QString::number(::getpid());
    const QString system = qEnvironmentVariable("ZUR_FB4_ROOT");
    ASSERT_TRUE(QDir().mkpath(system + inside));
    const QString destination = inside + QStringLiteral("/DADOS.FDB");
    MakeOwnDatabase(destination);
    ASSERT_FALSE(QFileInfo::exists(destination));
    const QString backup = BackupOfRows(QStringLiteral("OUTRA"), 9);

    TRecordingSink sink;
    TRestoreRequest request;
    request.login = {RestoreServiceTarget(testserver::ServerText()), testserver::User(), testserver::Password()};
    request.backupFile = backup;
    request.destination = destination;
    EXPECT_TRUE(RunRestoreRoad(request, sink).restored) << sink.lines.join(u'\n').toStdString();

    // Nothing renamed here: the backup tried on a scratch database, then
    // restored over the database by the server.
    EXPECT_FALSE(sink.lines.filter(QStringLiteral("este computador não vê esse arquivo")).isEmpty())
        << sink.lines.join(u'\n').toStdString();
    EXPECT_FALSE(sink.lines.filter(QStringLiteral("neste servidor a restauração apaga")).isEmpty());
    EXPECT_EQ(ShutdownModeOf(destination), 0);
    EXPECT_EQ(testserver::CountRows(destination, QStringLiteral("GRANDE")), 9);
    EXPECT_EQ(QDir(system + inside).entryList(QDir::Files), QStringList{QStringLiteral("DADOS.FDB")});
    QDir(system + inside).removeRecursively();
}

TEST_F(RunsSwapTest, ABackupChangedUnderTheRestoreNeverReachesTheDestinationUnproved)
{
    const QString other = BackupOfRows(QStringLiteral("OUTRA"), 7);
    struct {
        const char* how;
        bool inPlace;
    } const cases[] = {{"renamed over", false}, {"overwritten in place", true}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        const QString backup = BackupOfRows(QStringLiteral("GRANDE%1").arg(++n), BackupRows);
        const QString destination = Folder() + QStringLiteral("DADOS%1.FDB").arg(n);
        MakeOwnDatabase(destination);
        auto road = StartRoad(backup, destination);
        ASSERT_TRUE(WaitFor([&] { return ScratchGrowing(destination); }, 60));
        if (c.inPlace) {
            QFile file(backup);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.write(ReadFile(other));
        } else {
            const QString replacement = backup + QStringLiteral(".novo");
            ASSERT_TRUE(QFile::copy(other, replacement));
            ASSERT_EQ(std::rename(qPrintable(replacement), qPrintable(backup)), 0);
        }
        const QString output = Finish(*road);
        // Success only with the rows that were restored and checked.
        if (road->exitCode() == 0) {
            ExpectWhole(destination, THolds::Backup);
        } else {
            ExpectWhole(destination, THolds::Own);
            EXPECT_TRUE(output.contains(QLatin1String("A base de dados não foi substituída"))) << output.toStdString();
        }
        ExpectNoLeftovers(destination);
    }
}

TEST_F(RunsSwapTest, ARestoreToANewPathThatFailsLeavesNothingThere)
{
    const QString backup = BackupOfRows(QStringLiteral("GRANDE"), BackupRows);
    const QString half = Folder() + QStringLiteral("METADE.BKP");
    WriteFirstHalf(backup, half);
    // A backup cut short, and a server killed while it writes.
    const QString cut = Folder() + QStringLiteral("NOVO1.FDB");
    auto road = StartRoad(half, cut);
    EXPECT_NE(Finish(*road).size(), 0);
    EXPECT_EQ(road->exitCode(), 1);
    EXPECT_FALSE(QFileInfo::exists(cut));
    ExpectNoLeftovers(cut);

    const QString killed = Folder() + QStringLiteral("NOVO2.FDB");
    road = StartRoad(backup, killed);
    ASSERT_TRUE(WaitFor([&] { return ScratchGrowing(killed); }, 60));
    ASSERT_EQ(FirebirdServer(QStringLiteral("kill")), 0);
    Finish(*road);
    ASSERT_EQ(FirebirdServer(QStringLiteral("start")), 0);
    EXPECT_EQ(road->exitCode(), 1);
    EXPECT_FALSE(QFileInfo::exists(killed));
}

TEST_F(RunsSwapTest, AnotherRunAtWorkIsRefusedAndNothingIsTouched)
{
    const QString big = BackupOfRows(QStringLiteral("GRANDE"), BackupRows);
    const QString small = BackupOfRows(QStringLiteral("PEQUENA"), 5);
    const QString destination = Folder() + QStringLiteral("DADOS.FDB");
    MakeOwnDatabase(destination);

    // Two copies restoring over one database: the second finds the first at work.
    auto first = StartRoad(big, destination);
    ASSERT_TRUE(WaitFor([&] { return ScratchGrowing(destination); }, 60));
    // A connection test meanwhile leaves the working run's scratch alone.
    {
        TRecordingSink tested;
        TIBDatabase connection;
        const TConnectionOutcome outcome = TestConnection(
            {testserver::ServerText(), destination, testserver::User(), testserver::Password()}, connection, tested);
        EXPECT_EQ(outcome.result, TConnectionOutcome::Connected);
        EXPECT_EQ(tested.lines, QStringList());
        EXPECT_EQ(ScratchDatabasesBeside(destination).size(), 1);
    }
    auto second = StartRoad(small, destination);
    const QString refused = Finish(*second);
    EXPECT_EQ(second->exitCode(), 1);
    EXPECT_TRUE(refused.startsWith(QStringLiteral("Outra execução do programa está trabalhando com ") + destination))
        << refused.toStdString();
    Finish(*first);
    EXPECT_EQ(first->exitCode(), 0);
    ExpectWhole(destination, THolds::Backup);
    ExpectNoLeftovers(destination);

    // Someone attaches between the check and the swap: the database stays
    // as it is, and so does its user's attachment.
    const QString used = Folder() + QStringLiteral("USADA.FDB");
    MakeOwnDatabase(used);
    auto road = StartRoad(small, used, QStringLiteral("checked"));
    ASSERT_TRUE(WaitFor([&] { return ProcessState(road->processId()) == 'T'; }, 60));
    TIBDatabase user;
    user.SetLoginPrompt(false);
    user.Params().Add(QStringLiteral("user_name=") + testserver::User());
    user.Params().Add(QStringLiteral("password=") + testserver::Password());
    user.SetDatabaseName(testserver::ServerText() + used);
    user.SetConnected(true);
    ::kill(static_cast<pid_t>(road->processId()), SIGCONT);
    const QString inUse = Finish(*road);
    EXPECT_EQ(road->exitCode(), 1);
    EXPECT_TRUE(inUse.contains(QStringLiteral("A base de dados ") + used + QStringLiteral(" está em uso")))
        << inUse.toStdString();
    EXPECT_TRUE(user.Connected());
    EXPECT_EQ(ReadShutdownMode(user), 0);
    user.SetConnected(false);
    ExpectNoLeftovers(used);
    EXPECT_EQ(testserver::CountRows(used, QStringLiteral("CLIENTES")), OwnRows);

    // The window's backup of a name that another run is writing: refused,
    // this morning's file and the database as they were.
    SetTodayForTests(QDate(2013, 4, 15));
    const QString morning = Folder() + QStringLiteral("DADOS20130415.BKP");
    WriteFile(morning, "manhã");
    auto window = ConnectedWindow(destination);
    {
        const TRunLock other(BackupLockPath(morning));
        ASSERT_TRUE(other.Held());
        Button(*window, "btnBackup")->click();
    }
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith(
        runs::BackupFailed + QStringLiteral("\r\rErro:Outra execução do programa está trabalhando com ") + morning))
        << dialogs.boxes[0].text.toStdString();
    EXPECT_EQ(ReadFile(morning), QByteArray("manhã"));
    EXPECT_EQ(PartialBackupsOf(morning), QStringList());
    ExpectWhole(destination, THolds::Backup);
}

TEST_F(RunsSwapTest, AFolderWhereTheProgramMayNotRenameFallsBackToTheTrialAndTheReplace)
{
    // The server writes the folder; the program, run by another user, may
    // not: it cannot swap files there, and the log says why before the
    // replace that drops the database first.
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty())
        GTEST_SKIP() << "needs root and runuser to run the program as another user";
    const QString backup = BackupOfRows(QStringLiteral("OUTRA"), 9);
    QFile::setPermissions(backup, QFile::permissions(backup) | QFileDevice::ReadOther);
    const QString destination = Folder() + QStringLiteral("DADOS.FDB");
    MakeOwnDatabase(destination);
    ASSERT_EQ(QProcess::execute(QStringLiteral("runuser"),
                  {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"), QStringLiteral("test"),
                      QStringLiteral("-r"), backup}),
        0)
        << "the test folder is not readable by nobody";

    auto road = StartRoad(backup, destination, QString(), QStringLiteral("nobody"));
    const QString output = Finish(*road);

    EXPECT_EQ(road->exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("O programa não pode renomear arquivos na pasta de ") + destination))
        << output.toStdString();
    const auto check = output.indexOf(QLatin1String("Verificando o backup antes de substituir a base de dados..."));
    const auto replace = output.indexOf(QStringLiteral("Restaurando o backup por cima de ") + destination
        + QStringLiteral(": neste servidor a restauração apaga a base de dados antes de ler o backup."));
    EXPECT_GE(check, 0);
    EXPECT_GT(replace, check);
    EXPECT_EQ(ShutdownModeOf(destination), 0);
    EXPECT_EQ(testserver::CountRows(destination, QStringLiteral("GRANDE")), 9);
    ExpectNoLeftovers(destination);
}

TEST_F(RunsSwapTest, TwoCopiesBackingUpTwoDatabasesOfOneNameIntoOneFolder)
{
    // Two databases named alike in two folders: their backups of today have
    // one name in the shared program folder. The second copy, starting while
    // the first writes, refuses; the file then holds the first's backup.
    SetTodayForTests(QDate());
    const QString first = Folder() + QStringLiteral("loja1/DADOS.FDB");
    const QString second = Folder() + QStringLiteral("loja2/DADOS.FDB");
    QDir().mkpath(Folder() + QStringLiteral("loja1"));
    QDir().mkpath(Folder() + QStringLiteral("loja2"));
    testserver::CreateDatabase(first, runs::TableWithRows(QStringLiteral("GRANDE"), BackupRows));
    MakeOwnDatabase(second);
    const QString program = Folder() + QStringLiteral("programa/");
    QDir().mkpath(program);
    const auto startBackup = [&](const QString& database) { return StartBackup(database, program); };
    const QString final = BackupFileName(program, first, QDate::currentDate());
    ASSERT_EQ(final, BackupFileName(program, second, QDate::currentDate()));

    auto one = startBackup(first);
    ASSERT_TRUE(WaitFor(
        [&] {
            const QStringList partial = PartialBackupsOf(final);
            return !partial.isEmpty() && QFileInfo(partial.first()).size() > 1024 * 1024;
        },
        60));
    auto two = startBackup(second);
    const QString refused = Finish(*two);
    const QString done = Finish(*one);

    EXPECT_EQ(two->exitCode(), 1);
    EXPECT_TRUE(refused.contains(QStringLiteral("Outra execução do programa está trabalhando com ") + final))
        << refused.toStdString();
    EXPECT_EQ(one->exitCode(), 0) << done.toStdString();
    EXPECT_EQ(PartialBackupsOf(final), QStringList());
    // The file that the success box names holds the first database.
    const QString check = Folder() + QStringLiteral("CONFERE.FDB");
    auto road = StartRoad(final, check);
    const QString restored = Finish(*road);
    EXPECT_EQ(road->exitCode(), 0) << restored.toStdString();
    EXPECT_EQ(testserver::CountRows(check, QStringLiteral("GRANDE")), BackupRows);
    // Neither copy touched the other's database.
    EXPECT_EQ(testserver::CountRows(second, QStringLiteral("CLIENTES")), OwnRows);
}

TEST_F(RunsSwapTest, APartialBackupOfAKilledCopyIsClearedByTheNextBackupOfItsName)
{
    const QString database = Folder() + QStringLiteral("DADOS.FDB");
    testserver::CreateDatabase(database, runs::TableWithRows(QStringLiteral("GRANDE"), BackupRows));
    const QString program = Folder() + QStringLiteral("programa/");
    QDir().mkpath(program);
    const QString final = BackupFileName(program, database, QDate::currentDate());
    auto killed = StartBackup(database, program);
    ASSERT_TRUE(WaitFor(
        [&] {
            const QStringList partial = PartialBackupsOf(final);
            return !partial.isEmpty() && QFileInfo(partial.first()).size() > 1024 * 1024;
        },
        60));
    killed->kill();
    killed->waitForFinished();
    // The server may go on writing the partial file of a copy that is gone.
    WaitFor([&] { return PartialBackupsOf(final).isEmpty() || !ServerStillWrites(final); }, 60);
    ASSERT_EQ(PartialBackupsOf(final).size(), 1);
    EXPECT_FALSE(QFileInfo::exists(final));

    SetTodayForTests(QDate::currentDate());
    auto window = ConnectedWindow(database, program);
    Button(*window, "btnBackup")->click();

    EXPECT_EQ(Boxes(dialogs), (TBoxes{{runs::BackupSucceeded, QStringLiteral("OK"), TMessageKind::Information}}));
    EXPECT_TRUE(Log(*window, "mmBackup")->toPlainText().contains(QStringLiteral("Encontrado o backup parcial ")))
        << Log(*window, "mmBackup")->toPlainText().left(300).toStdString();
    EXPECT_EQ(PartialBackupsOf(final), QStringList());
    EXPECT_TRUE(QFileInfo(final).size() > 0);
}
