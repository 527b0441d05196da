// The program entry: with any argument at all (zur --backup, zur --help, or
// a mistyped one) a run without the window, whose exit code is the outcome;
// with none, the application with its title, the one window, and the report
// of a failure that keeps the window from being created. A scheduler's
// mistyped line thus ends with exit code 2 and its reason, never with a
// window that waits for nobody, or aborts where there is no display.
//
// Test hook: with the environment variable ZUR_REPORT_TO_STDERR=1, the
// start-up failure report ("Application Error") is written to the standard
// error output (its caption on one line, then its text) instead of being
// shown in a message box, so that a test can start the program as a process
// and read the report without a box that waits for the operator.

#include "cli/CommandLine.h"
#include "cli/CommandLineRun.h"
#include "ibclient/Errors.h"
#include "window/BackupRestore.h"
#include "window/ErrorReport.h"

#include <QApplication>
#include <QCoreApplication>

#include <exception>
#include <memory>

namespace {

bool CommandLineRun(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return IsCommandLineRun(arguments);
}

} // namespace

int main(int argc, char* argv[])
{
    if (CommandLineRun(argc, argv)) {
        // No display, no window system: a scheduled run has neither.
        QCoreApplication application(argc, argv);
        return RunCommandLine(QCoreApplication::arguments());
    }
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(ApplicationTitle);

    std::unique_ptr<TfrmPrincipal> frmPrincipal;
    try {
        frmPrincipal = std::make_unique<TfrmPrincipal>();
    } catch (const Exception& failure) {
        ReportStartupFailure(QString::fromLatin1(failure.ClassName()), failure.Message());
        return 1;
    } catch (const std::exception& failure) {
        ReportStartupFailure(QStringLiteral("std::exception"), QString::fromUtf8(failure.what()));
        return 1;
    }
    frmPrincipal->show();
    return QApplication::exec();
}
