#pragma once
// The bytes that a text takes in the test machine's 8-bit code page: UTF-8 on
// Linux (the tests run in a UTF-8 locale), Windows-1252 on Windows (the ANSI
// code page of a Western-European system and Wine's default), which for the
// accented letters of the tests is the same as Latin-1.

#include <QByteArray>
#include <QString>

namespace testtext {

inline QByteArray EightBit(const QString& text)
{
#ifdef _WIN32
    return text.toLatin1();
#else
    return text.toUtf8();
#endif
}

} // namespace testtext
