// The program started as a process: without a loadable client library it
// reports the failure and ends before any window is shown; with one it runs.

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>

#include <gtest/gtest.h>

namespace {

QProcessEnvironment ProgramEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("ZUR_REPORT_TO_STDERR"), QStringLiteral("1"));
    return environment;
}

} // namespace

TEST(Startup, WithoutTheClientLibraryTheProgramReportsAndEnds)
{
    QProcessEnvironment environment = ProgramEnvironment();
    environment.insert(QStringLiteral("ZUR_CLIENT_LIBRARY"), QStringLiteral("/nao/existe/libfbclient.so.2"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ZUR_EXECUTABLE), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    // A window shown would keep the program in its message loop.
    ASSERT_TRUE(program.waitForFinished(30000)) << "the program kept running";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(program.exitCode(), 0);

    // The report's caption, then its text (after whatever Qt itself wrote).
    const QString output = QString::fromLocal8Bit(program.readAllStandardError());
    // Lines end in CR LF on Windows.
    const QStringList lines = output.split(QRegularExpression(QStringLiteral("\r?\n")));
    const int caption = lines.indexOf(QStringLiteral("Application Error"));
    ASSERT_GE(caption, 0) << output.toStdString();
    ASSERT_GE(lines.size(), caption + 3) << output.toStdString();
    EXPECT_TRUE(lines[caption + 1].startsWith(QStringLiteral("Exception EIBClientError in module zur")))
        << output.toStdString();
    EXPECT_EQ(lines[caption + 2].toStdString(),
        "InterBase library gds32.dll not found in the path. Please install "
        "InterBase to use this functionality.");
}

TEST(Startup, WithTheClientLibraryTheWindowRunsUntilClosed)
{
    QProcess program;
    program.setProcessEnvironment(ProgramEnvironment());
    program.start(QStringLiteral(ZUR_EXECUTABLE), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    EXPECT_FALSE(program.waitForFinished(3000)) << program.readAllStandardError().toStdString();
    program.kill();
    program.waitForFinished(10000);
}
