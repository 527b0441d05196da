#include "cli/Console.h"

void PrepareConsole()
{
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
