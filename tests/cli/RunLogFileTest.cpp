// The command line's log file: every line after the time it was written at,
// a text of several lines split into timed lines, a named file appended to.

#include "cli/RunLogFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList LinesOf(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_TRUE(text.endsWith(u'\n'));
    text.chop(1);
    return text.split(u'\n');
}

} // namespace

TEST(RunLogFileTest, EveryLineAfterItsTimeAndANamedFileAppendedTo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("zur.log"));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    for (int run = 0; run < 2; ++run) {
        TRunLogFile log(path, dir.path(), QStringLiteral("/srv/DADOS.FDB"), QDateTime::currentDateTime());
        ASSERT_TRUE(log.IsOpen()) << log.Failure().toStdString();
        log.Line(QStringLiteral("execução %1").arg(run));
        // A server's message of several lines, as the client layer gives it.
        log.Line(QStringLiteral("Unable to complete network request to host \"x\".\r\n-Failed to establish a "
                                "connection.\n"));
        log.Flush();
    }
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const QStringList lines = LinesOf(path);
    ASSERT_EQ(lines.size(), 6) << lines.join(u'\n').toStdString();
    const QRegularExpression timed(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) (.*)$"));
    QStringList texts;
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = timed.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        const QDateTime at = QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        EXPECT_TRUE(at >= before && at <= after) << line.toStdString();
        texts << match.captured(2);
    }
    EXPECT_EQ(texts,
        (QStringList{QStringLiteral("execução 0"), QStringLiteral("Unable to complete network request to host \"x\"."),
            QStringLiteral("-Failed to establish a connection."), QStringLiteral("execução 1"),
            QStringLiteral("Unable to complete network request to host \"x\"."),
            QStringLiteral("-Failed to establish a connection.")}));
}

TEST(RunLogFileTest, OnlyTheDefaultNamesOfADatabasesLogsHaveADay)
{
    const QDateTime started(QDate(2026, 12, 11), QTime(23, 30, 2));
    const QString database = QStringLiteral("/srv/qrt/DADOS.FDB");
    EXPECT_EQ(DefaultLogName(database, started), QStringLiteral("ZUR-DADOS-20261211-233002.log"));
    EXPECT_EQ(DefaultLogDay(DefaultLogName(database, started), database), QDate(2026, 12, 11));
    EXPECT_EQ(DefaultLogDay(QStringLiteral("ZUR-DADOS-20261211-233002-3.log"), database), QDate(2026, 12, 11));
    // A base name with a pattern's own characters stands for itself.
    EXPECT_EQ(DefaultLogDay(QStringLiteral("ZUR-DA+DOS-20261211-233002.log"), QStringLiteral("/srv/DA+DOS.FDB")),
        QDate(2026, 12, 11));
    EXPECT_EQ(
        DefaultLogDay(QStringLiteral("ZUR-DAADOS-20261211-233002.log"), QStringLiteral("/srv/DA+DOS.FDB")), QDate());
    EXPECT_EQ(DefaultLogDay(QStringLiteral("ZUR-DADOS-20261311-233002.log"), database), QDate());
    EXPECT_EQ(
        DefaultLogDay(QStringLiteral("ZUR-DADOS-20261211-233002.log"), QStringLiteral("/srv/OUTRA.FDB")), QDate());
}
