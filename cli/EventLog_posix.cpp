#include "cli/EventLog.h"

QString ReportFailureEvent(const QString&)
{
    return QString();
}
