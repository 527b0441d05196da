#include "ElsewhereServer.h"

#include "LinuxProcess.h"
#include "TestServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace {

const QString NamespacePrefix = QStringLiteral("zur-elsewhere-");
const QString Port = QStringLiteral("3055");
// Every command here is a quick one, but none may hold a test for long.
const int CommandTimeoutMs = 20000;
const int ScriptTimeoutMs = 60000;

// Runs a command; empty when it ended well, else what it said.
QString Run(const QStringList& command, int timeoutMs = CommandTimeoutMs)
{
    const testserver::TLinuxResult run = testserver::RunLinux(command, {}, false, timeoutMs);
    if (!run.started || !run.error.isEmpty())
        return command.join(u' ') + QStringLiteral(": ") + run.error;
    if (run.exitCode != 0)
        return command.join(u' ') + QStringLiteral(" (exit %1): ").arg(run.exitCode)
            + QString::fromUtf8(run.output + run.errors).trimmed();
    return QString();
}

QString Output(const QStringList& command)
{
    return QString::fromUtf8(testserver::RunLinux(command, {}, false, CommandTimeoutMs).output);
}

QString RootOf(qint64 pid)
{
    return QStringLiteral(ZUR_BINARY_DIR "/firebird-elsewhere-%1").arg(pid);
}

QString HostLinkOf(qint64 pid)
{
    return QStringLiteral("zurh%1").arg(pid);
}

QStringList ScriptCommandOf(const QString& root, const QString& netns, const QString& bind, const QString& action)
{
    return {QStringLiteral("env"), QStringLiteral("ZUR_FB_VERSION=3"), QStringLiteral("ZUR_FB_ROOT=") + root,
        QStringLiteral("ZUR_FB_PORT=") + Port, QStringLiteral("ZUR_FB_NETNS=") + netns,
        QStringLiteral("ZUR_FB_BIND=") + bind, QStringLiteral("ZUR_FB_PASSWORD=") + testserver::Password(),
        QStringLiteral(ZUR_SOURCE_DIR "/scripts/firebird-server"), action};
}

// The server's root and the lock file that the script makes beside it.
void RemoveRoot(const QString& root)
{
    QDir(root).removeRecursively();
    QFile::remove(root + QStringLiteral(".lock"));
}

// Holds a lock file of the build tree while it lives: the tests that ctest
// runs at once choose their subnets, and sweep, one at a time.
class TNetworkLock {
public:
    TNetworkLock()
        : fd(open(ZUR_BINARY_DIR "/firebird-elsewhere.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0644))
    {
        if (fd >= 0)
            flock(fd, LOCK_EX);
    }
    ~TNetworkLock()
    {
        if (fd >= 0)
            close(fd);
    }
    TNetworkLock(const TNetworkLock&) = delete;
    TNetworkLock& operator=(const TNetworkLock&) = delete;

private:
    int fd;
};

// What a test process killed midway (a ctest timeout) left: its server, its
// namespace, its veth pair and its root. A namespace is a test's own while
// the process whose id it bears lives.
void SweepLeftovers()
{
    const QRegularExpression ours(QStringLiteral("^") + NamespacePrefix + QStringLiteral("(\\d+)\\b"));
    const QStringList lines
        = Output({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("list")}).split(u'\n');
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = ours.match(line);
        if (!match.hasMatch())
            continue;
        // One of this process's id is a dead one's whose id came round again.
        const qint64 pid = match.captured(1).toLongLong();
        if (pid != getpid() && (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH))
            continue;
        const QString netns = NamespacePrefix + match.captured(1);
        // Its address does not matter to stop: the script finds the server by its root.
        Run(ScriptCommandOf(RootOf(pid), netns, QStringLiteral("127.0.0.1"), QStringLiteral("stop")), ScriptTimeoutMs);
        Run({QStringLiteral("ip"), QStringLiteral("link"), QStringLiteral("del"), HostLinkOf(pid)});
        Run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("del"), netns});
        RemoveRoot(RootOf(pid));
    }
}

} // namespace

TElsewhereServer::TElsewhereServer()
{
    if (geteuid() != 0) {
        unavailable = QStringLiteral("a server elsewhere needs a network namespace and a veth pair: root only");
        return;
    }
    const qint64 pid = getpid();
    name = NamespacePrefix + QString::number(pid);
    hostLink = HostLinkOf(pid);
    root = RootOf(pid);
    if (!SetUpNetwork())
        return;
    RemoveRoot(root);
    const QString failed = Run(ScriptCommand(QStringLiteral("start")), ScriptTimeoutMs);
    running = failed.isEmpty();
    if (!running)
        ADD_FAILURE() << "the server elsewhere did not start: " << failed.toStdString();
}

TElsewhereServer::~TElsewhereServer()
{
    if (root.isEmpty())
        return;
    // Stopped even when its start seemed to fail: it may be up all the same.
    if (namespaceMade) {
        const QString stopped = Run(ScriptCommand(QStringLiteral("stop")), ScriptTimeoutMs);
        if (!stopped.isEmpty())
            ADD_FAILURE() << "the server elsewhere did not stop: " << stopped.toStdString();
    }
    TearDownNetwork();
    RemoveRoot(root);
}

bool TElsewhereServer::SetUpNetwork()
{
    const TNetworkLock lock;
    SweepLeftovers();
    const QString made = Run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("add"), name});
    if (!made.isEmpty()) {
        unavailable = QStringLiteral("no network namespaces here: ") + made;
        return false;
    }
    namespaceMade = true;
    // A subnet of its own: from the process id, past those in use.
    const QString inUse = Output({QStringLiteral("ip"), QStringLiteral("-o"), QStringLiteral("-4"),
        QStringLiteral("addr"), QStringLiteral("show")});
    int subnet = static_cast<int>(getpid() % 250);
    for (int tried = 0; tried < 250 && inUse.contains(QStringLiteral(" 10.197.%1.").arg(subnet)); ++tried)
        subnet = (subnet + 1) % 250;
    address = QStringLiteral("10.197.%1.2").arg(subnet);
    const QString peer = QStringLiteral("zurp%1").arg(getpid());
    const QString ip = QStringLiteral("ip");
    const auto inside = [&](const QStringList& command) {
        return QStringList{ip, QStringLiteral("netns"), QStringLiteral("exec"), name, ip} + command;
    };
    const QList<QStringList> steps = {
        {ip, QStringLiteral("link"), QStringLiteral("add"), hostLink, QStringLiteral("type"), QStringLiteral("veth"),
            QStringLiteral("peer"), QStringLiteral("name"), peer},
        {ip, QStringLiteral("link"), QStringLiteral("set"), peer, QStringLiteral("netns"), name},
        {ip, QStringLiteral("addr"), QStringLiteral("add"), QStringLiteral("10.197.%1.1/30").arg(subnet),
            QStringLiteral("dev"), hostLink},
        {ip, QStringLiteral("link"), QStringLiteral("set"), hostLink, QStringLiteral("up")},
        inside({QStringLiteral("addr"), QStringLiteral("add"), address + QStringLiteral("/30"), QStringLiteral("dev"),
            peer}),
        inside({QStringLiteral("link"), QStringLiteral("set"), peer, QStringLiteral("up")}),
        inside({QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up")}),
    };
    for (const QStringList& step : steps) {
        const QString failed = Run(step);
        if (!failed.isEmpty()) {
            unavailable = QStringLiteral("no veth pair into a network namespace here: ") + failed;
            TearDownNetwork();
            return false;
        }
    }
    return true;
}

void TElsewhereServer::TearDownNetwork()
{
    if (!namespaceMade)
        return;
    // The pair goes as a whole; it may not have been made.
    Run({QStringLiteral("ip"), QStringLiteral("link"), QStringLiteral("del"), hostLink});
    const QString deleted = Run({QStringLiteral("ip"), QStringLiteral("netns"), QStringLiteral("del"), name});
    if (!deleted.isEmpty())
        ADD_FAILURE() << "the namespace of the server elsewhere stays: " << deleted.toStdString();
    namespaceMade = false;
}

QStringList TElsewhereServer::ScriptCommand(const QString& action) const
{
    return ScriptCommandOf(root, name, address, action);
}

QString TElsewhereServer::ServerText() const
{
    return address + u'/' + Port + u':';
}

QString TElsewhereServer::Isql(const QString& path, const QString& sql) const
{
    QStringList arguments = {QStringLiteral("-q"), QStringLiteral("-user"), testserver::User(),
        QStringLiteral("-password"), testserver::Password()};
    if (!path.isEmpty())
        arguments << ServerText() + path;
    return testserver::RunTool(3, QStringLiteral("isql-fb"), arguments, sql.toUtf8());
}

void TElsewhereServer::CreateDatabase(const QString& path, const QString& sql) const
{
    Isql(QString(),
        QStringLiteral("create database '%1%2' user '%3' password '%4';\n%5\ncommit;\n")
            .arg(ServerText(), path, testserver::User(), testserver::Password(), sql));
}

long long TElsewhereServer::CountRows(const QString& path, const QString& table) const
{
    const QString out = Isql(path, QStringLiteral("select count(*) from %1;\n").arg(table));
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("(\\d+)\\s*$")).match(out.trimmed());
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

void TElsewhereServer::Backup(const QString& database, const QString& backupFile) const
{
    testserver::RunTool(3, QStringLiteral("gbak"),
        {QStringLiteral("-b"), QStringLiteral("-se"), address + u'/' + Port + QStringLiteral(":service_mgr"),
            QStringLiteral("-user"), testserver::User(), QStringLiteral("-password"), testserver::Password(), database,
            backupFile});
}
