#pragma once
// A failed run where administrators look for one: the Application event log
// on Windows (EventLog_win.cpp); elsewhere standard error is that place, and
// this does nothing (EventLog_posix.cpp).

#include <QString>

// Reports text as an error of the program's event source; an empty text
// when it went, otherwise why not.
QString ReportFailureEvent(const QString& text);
