#include "TestServer.h"

#include "LinuxProcess.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

namespace testserver {

int Version()
{
    return qEnvironmentVariable("ZUR_FB_VERSION") == QLatin1String("4") ? 4 : 3;
}

QString ServerTextOf(int version)
{
    const QString port = version == 4 ? qEnvironmentVariable("ZUR_FB4_PORT", QStringLiteral("3056"))
                                      : qEnvironmentVariable("ZUR_FB_PORT", QStringLiteral("3055"));
    return QStringLiteral("localhost/%1:").arg(port);
}

QString ServerText()
{
    return ServerTextOf(Version());
}

QString User()
{
    return QStringLiteral("SYSDBA");
}

QString Password()
{
    return QStringLiteral("plumtrove");
}

int ServerScript(const QString& action)
{
    // A Linux program: under Wine it is started through the runner that waits
    // for it and gives its exit code.
    return RunLinux({QStringLiteral(ZUR_SOURCE_DIR "/scripts/firebird-server"), action}).exitCode;
}

QString ServerFileName(const QString& path)
{
    return LinuxFileName(path);
}

QString NewFolder(const QString& name)
{
    QString base = qEnvironmentVariable("ZUR_TEST_DATA");
    if (base.isEmpty())
        base = QDir::tempPath() + QStringLiteral("/zur-tests");
    QDir dir(base + u'/' + name);
    dir.removeRecursively();
    dir.mkpath(QStringLiteral("."));
    // In this machine's separator (a backslash in the Windows build).
    return QDir::toNativeSeparators(dir.absolutePath() + u'/');
}

QStringList ToolCommand(int version, const QString& tool)
{
    if (version != 4)
        return {tool};
    // Firebird 4's tools run inside its system, with the system's client library.
    const QString system = qEnvironmentVariable("ZUR_FB4_ROOT");
    if (system.isEmpty())
        ADD_FAILURE() << "ZUR_FB4_ROOT names no Firebird 4 system";
    return {QStringLiteral("chroot"), system, QStringLiteral("/usr/bin/") + tool};
}

QString RunTool(
    int version, const QString& tool, const QStringList& arguments, const QByteArray& input, bool mergeErrors)
{
    const QStringList command = ToolCommand(version, tool) + arguments;
    const TLinuxResult run = RunLinux(command, input, mergeErrors);
    if (!run.started) {
        ADD_FAILURE() << command.join(u' ').toStdString() << " did not start: " << run.error.toStdString();
        return {};
    }
    if (!run.error.isEmpty())
        ADD_FAILURE() << command.join(u' ').toStdString() << ": " << run.error.toStdString();
    const QString err = QString::fromUtf8(run.errors);
    const QString out = QString::fromUtf8(run.output);
    if (!err.trimmed().isEmpty() || run.exitCode != 0)
        ADD_FAILURE() << tool.toStdString() << " (Firebird " << version << ", exit " << run.exitCode
                      << "): " << err.toStdString() << (mergeErrors ? out.right(2000).toStdString() : std::string())
                      << "\nfor: " << arguments.join(u' ').toStdString() << "\n"
                      << QString::fromUtf8(input).left(2000).toStdString();
    return out;
}

static QStringList Login()
{
    return {QStringLiteral("-q"), QStringLiteral("-user"), User(), QStringLiteral("-password"), Password()};
}

QString Isql(const QString& sql)
{
    return RunTool(Version(), QStringLiteral("isql-fb"), Login(), sql.toUtf8());
}

QString IsqlOn(int version, const QString& path, const QString& sql)
{
    return RunTool(version, QStringLiteral("isql-fb"), Login() << ServerTextOf(version) + path, sql.toUtf8());
}

QString IsqlOn(const QString& path, const QString& sql)
{
    return IsqlOn(Version(), path, sql);
}

void CreateDatabase(const QString& path, const QString& sql, int dialect, int pageSize)
{
    const QString pages = pageSize > 0 ? QStringLiteral(" page_size %1").arg(pageSize) : QString();
    QString script = QStringLiteral("set sql dialect %1;\ncreate database '%2%3' user '%4' password '%5'%6;\n")
                         .arg(dialect)
                         .arg(ServerText(), path, User(), Password(), pages);
    script += sql;
    script += QStringLiteral("\ncommit;\n");
    Isql(script);
}

void Gfix(const QStringList& arguments)
{
    RunTool(Version(), QStringLiteral("gfix"),
        QStringList{QStringLiteral("-user"), User(), QStringLiteral("-password"), Password()} + arguments, {}, true);
}

long long CountRows(const QString& path, const QString& table)
{
    const QString out = IsqlOn(path, QStringLiteral("select count(*) from %1;\n").arg(table));
    const QRegularExpression number(QStringLiteral("(\\d+)\\s*$"));
    const auto match = number.match(out.trimmed());
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace testserver
