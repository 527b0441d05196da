// Text to and from the client library on Unix: the locale's 8-bit encoding.
#include "ibclient/Errors.h"

QByteArray ToClientText(const QString& text)
{
    return text.toLocal8Bit();
}

QString FromClientText(const char* text)
{
    return QString::fromLocal8Bit(text);
}
