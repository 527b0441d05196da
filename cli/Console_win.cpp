#include "cli/Console.h"

#include <windows.h>

void PrepareConsole()
{
    // Without a console (zur.exe from the Task Scheduler) this fails harmlessly.
    SetConsoleOutputCP(CP_UTF8);
}

bool SlashSwitches()
{
    return true;
}

QByteArray LogFileStart()
{
    return QByteArrayLiteral("\xEF\xBB\xBF");
}

QByteArray LogLineEnd()
{
    return QByteArrayLiteral("\r\n");
}
