#pragma once
// The program's top-level error report. Every handler of the window is
// entered through RunReported, so a failure that leaves a handler is shown
// here and never travels into Qt's event loop; the program goes on.

#include "ibclient/Errors.h"
#include "ibclient/SharedLibrary.h"

#include <QString>

#include <exception>

// The application title: the name under which the desktop shows the program,
// and the caption of the error report.
extern const QString ApplicationTitle; // "Z.U.R. - Assistente de Backup"

// The caption of the report of a failure at start-up.
extern const QString StartupFailureCaption; // "Application Error"

// The message with a full stop added when its last character sorts after ".".
QString WithFullStop(const QString& message);

// Shows the top-level error report for a failure's message: a modal box, owned
// by the active window, with the message (full stop rule), the application's
// display name (its title) as caption and the error icon.
void ShowException(const QString& message);

// Runs a handler; a failure that leaves it is shown by ShowException.
template <class Handler> void RunReported(Handler&& handler)
{
    try {
        handler();
    } catch (const Exception& failure) {
        ShowException(failure.Message());
    } catch (const std::exception& failure) {
        ShowException(QString::fromUtf8(failure.what()));
    } catch (...) {
        ShowException(QStringLiteral("Unknown exception"));
    }
}

// The text of the start-up failure report: the failure's class and the module,
// then its message on a line of its own (full stop rule).
QString StartupFailureText(const QString& className, const QString& message);

// The operator's explanation of a client library of the other bitness that
// the system found: the file, its bitness and the build of the program to use.
QString OtherBitnessText(const TOtherBitnessLibrary& library);

// Reports a failure that ended the start-up, before any window was shown: a
// modal box titled StartupFailureCaption with StartupFailureText and the error
// icon, and, when the client library found has the other bitness, a line
// with OtherBitnessText. With the environment variable ZUR_REPORT_TO_STDERR set to 1 the caption
// and the text go to the standard error output instead (one line for the
// caption, then the text), so that a test can start the program and read them.
void ReportStartupFailure(const QString& className, const QString& message);
