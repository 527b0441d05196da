#include "cli/Console.h"

#include <windows.h>

void PrepareConsole()
{
    // Without a console (zur.exe from the Task Scheduler) this fails harmlessly.
    SetConsoleOutputCP(CP_UTF8);
}

bool OutputIsTerminal()
{
    // The NUL device passes for a character device: only a console answers
    // for its mode.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
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
