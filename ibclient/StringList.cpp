#include "ibclient/StringList.h"

TStringList::TStringList(std::initializer_list<QString> lines)
    : FLines(lines)
{
}

void TStringList::Changing()
{
    if (OnChanging)
        OnChanging();
}

void TStringList::Changed()
{
    if (OnChange)
        OnChange();
}

void TStringList::Add(const QString& line)
{
    Changing();
    FLines.append(line);
    Changed();
}

void TStringList::Delete(int index)
{
    Changing();
    FLines.removeAt(index);
    Changed();
}

void TStringList::Clear()
{
    if (FLines.isEmpty())
        return;
    Changing();
    FLines.clear();
    Changed();
}

void TStringList::SetLine(int index, const QString& line)
{
    Changing();
    FLines[index] = line;
    Changed();
}

void TStringList::Assign(const QStringList& lines)
{
    Changing();
    FLines = lines;
    Changed();
}

QString TStringList::NameOf(const QString& line)
{
    const int at = line.indexOf(u'=');
    return at < 0 ? line : line.left(at);
}

int TStringList::IndexOfName(const QString& name) const
{
    const QString wanted = AsciiLower(name);
    for (int i = 0; i < FLines.size(); ++i) {
        if (FLines.at(i).contains(u'=') && AsciiLower(NameOf(FLines.at(i))) == wanted)
            return i;
    }
    return -1;
}

QString TStringList::Value(const QString& name) const
{
    const int index = IndexOfName(name);
    return index < 0 ? QString() : FLines.at(index).mid(FLines.at(index).indexOf(u'=') + 1);
}

void TStringList::SetValue(const QString& name, const QString& value)
{
    const int index = IndexOfName(name);
    if (value.isEmpty()) {
        if (index >= 0)
            Delete(index);
        return;
    }
    const QString line = name + u'=' + value;
    if (index < 0)
        Add(line);
    else
        SetLine(index, line);
}

bool IsBlank(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() > u' ')
            return false;
    }
    return true;
}

QString AsciiUpper(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    }
    return result;
}

QString AsciiLower(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return result;
}
