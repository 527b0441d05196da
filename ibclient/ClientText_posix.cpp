// Text to and from the client library on Unix: UTF-8, whatever the locale.
#include "ibclient/Errors.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>

void PrepareClientTextLocale()
{
    // The client library converts file names from the process's character
    // type; cron and systemd often give a process none (the "C" locale, in
    // ASCII), and then a path with an accent cannot be sent at all. The
    // program's own text is UTF-8 in any case: the character type follows.
    const char* current = std::setlocale(LC_CTYPE, "");
    if (current && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return;
    if (std::setlocale(LC_CTYPE, "C.UTF-8"))
        ::setenv("LC_CTYPE", "C.UTF-8", 1);
}

QByteArray ToClientText(const QString& text)
{
    return text.toUtf8();
}

QString FromClientText(const char* text)
{
    return QString::fromUtf8(text);
}
