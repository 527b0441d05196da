#pragma once
// Small helpers of the service tests: byte strings written as a list of parts,
// and the code of the client error an action raises.

#include "ibclient/Errors.h"

#include <QByteArray>

#include <string>

namespace servicetest {

inline void AppendPart(QByteArray& bytes, int byte)
{
    bytes.append(static_cast<char>(byte));
}
inline void AppendPart(QByteArray& bytes, const char* text)
{
    bytes.append(text);
}
inline void AppendPart(QByteArray& bytes, const QByteArray& more)
{
    bytes.append(more);
}

// Bytes(2, 2, 28, 3, "ana"): numbers are single bytes, texts their bytes.
template <typename... T> QByteArray Bytes(const T&... parts)
{
    QByteArray bytes;
    (AppendPart(bytes, parts), ...);
    return bytes;
}

// Readable form of a block for comparisons.
inline std::string Hex(const QByteArray& bytes)
{
    return bytes.toHex(' ').toStdString();
}

// The client error code that action raises; -1 when it raises none.
template <typename F> int ClientErrorOf(F&& action)
{
    try {
        action();
    } catch (const EIBClientError& e) {
        return e.SQLCode();
    }
    return -1;
}

} // namespace servicetest
