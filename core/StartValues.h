#pragma once
// The values the window's fields start with: the window shows them, and the
// command line takes them for what it leaves out.

#include <QString>

namespace startvalues {

inline QString Server()
{
    return QStringLiteral("localhost/3055:");
}
inline QString Database()
{
    return QStringLiteral("C:\\QRT\\DADOS\\DADOS.FDB");
}
inline QString User()
{
    return QStringLiteral("SYSDBA");
}
inline QString Password()
{
    return QStringLiteral("plumtrove");
}

} // namespace startvalues
