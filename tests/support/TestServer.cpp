#include "TestServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace testserver {

QString ServerText()
{
    const QString port = qEnvironmentVariable("ZUR_FB_PORT", QStringLiteral("3055"));
    return QStringLiteral("localhost/%1:").arg(port);
}

QString User()
{
    return QStringLiteral("SYSDBA");
}

QString Password()
{
    return QStringLiteral("plumtrove");
}

QString NewFolder(const QString& name)
{
    QString base = qEnvironmentVariable("ZUR_TEST_DATA");
    if (base.isEmpty())
        base = QDir::tempPath() + QStringLiteral("/zur-tests");
    QDir dir(base + u'/' + name);
    dir.removeRecursively();
    dir.mkpath(QStringLiteral("."));
    return dir.absolutePath() + u'/';
}

static QString RunIsql(const QStringList& arguments, const QString& sql)
{
    QProcess isql;
    isql.setProcessChannelMode(QProcess::SeparateChannels);
    isql.start(QStringLiteral("isql-fb"), arguments);
    if (!isql.waitForStarted()) {
        ADD_FAILURE() << "isql-fb did not start";
        return {};
    }
    isql.write(sql.toUtf8());
    isql.closeWriteChannel();
    isql.waitForFinished(120000);
    const QString err = QString::fromUtf8(isql.readAllStandardError());
    if (!err.trimmed().isEmpty())
        ADD_FAILURE() << "isql-fb: " << err.toStdString() << "\nfor: " << sql.toStdString();
    return QString::fromUtf8(isql.readAllStandardOutput());
}

QString Isql(const QString& sql)
{
    return RunIsql(
        {QStringLiteral("-q"), QStringLiteral("-user"), User(), QStringLiteral("-password"), Password()}, sql);
}

QString IsqlOn(const QString& path, const QString& sql)
{
    return RunIsql({QStringLiteral("-q"), QStringLiteral("-user"), User(), QStringLiteral("-password"), Password(),
                       ServerText() + path},
        sql);
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
    QProcess gfix;
    gfix.setProcessChannelMode(QProcess::MergedChannels);
    gfix.start(QStringLiteral("gfix"),
        QStringList{QStringLiteral("-user"), User(), QStringLiteral("-password"), Password()} + arguments);
    if (!gfix.waitForFinished(60000) || gfix.exitStatus() != QProcess::NormalExit || gfix.exitCode() != 0)
        ADD_FAILURE() << "gfix " << arguments.join(u' ').toStdString() << ": "
                      << QString::fromUtf8(gfix.readAll()).toStdString();
}

long long CountRows(const QString& path, const QString& table)
{
    const QString out = IsqlOn(path, QStringLiteral("select count(*) from %1;\n").arg(table));
    const QRegularExpression number(QStringLiteral("(\\d+)\\s*$"));
    const auto match = number.match(out.trimmed());
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace testserver
