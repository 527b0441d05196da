#include "cli/Console.h"

#include <unistd.h>

void PrepareConsole()
{
}

bool OutputIsTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}

bool SlashSwitches()
{
    return false;
}

QByteArray LogFileStart()
{
    return QByteArray();
}

QByteArray LogLineEnd()
{
    return QByteArrayLiteral("\n");
}
