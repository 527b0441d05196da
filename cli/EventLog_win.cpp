#include "cli/EventLog.h"

#include <windows.h>

#include <string>

QString ReportFailureEvent(const QString& text)
{
    HANDLE source = RegisterEventSourceW(nullptr, L"Z.U.R. - Assistente de Backup");
    if (source == nullptr)
        return QStringLiteral("RegisterEventSource: erro %1").arg(GetLastError());
    const std::wstring message = text.toStdWString();
    LPCWSTR strings[] = {message.c_str()};
    const BOOL reported = ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    const DWORD error = reported ? 0 : GetLastError();
    DeregisterEventSource(source);
    return reported ? QString() : QStringLiteral("ReportEvent: erro %1").arg(error);
}
