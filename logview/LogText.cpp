#include "logview/LogText.h"

#include <QChar>

#include <algorithm>
#include <utility>

namespace {

bool IsLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator
        || c == QChar::LineSeparator;
}

bool HasLineBreak(const QString& text)
{
    return std::any_of(text.begin(), text.end(), IsLineBreak);
}

} // namespace

TLogText::TLogText()
{
    FLines.emplace_back();
}

QString TLogText::ToPlainText() const
{
    QString text;
    text.reserve(CharacterCount());
    bool first = true;
    for (const QString& line : FLines) {
        if (!first)
            text += QLatin1Char('\n');
        first = false;
        text += line;
    }
    return text;
}

TLogPosition TLogText::End() const
{
    return {LineCount() - 1, static_cast<int>(FLines.back().size())};
}

TLogPosition TLogText::Clamp(TLogPosition position) const
{
    position.Line = std::clamp(position.Line, 0, LineCount() - 1);
    position.Column = std::clamp(position.Column, 0, static_cast<int>(Line(position.Line).size()));
    return position;
}

QString TLogText::Text(TLogPosition from, TLogPosition to) const
{
    from = Clamp(from);
    to = Clamp(to);
    if (to < from)
        std::swap(from, to);
    if (from.Line == to.Line)
        return Line(from.Line).mid(from.Column, to.Column - from.Column);
    QString text = Line(from.Line).mid(from.Column);
    for (int line = from.Line + 1; line < to.Line; ++line) {
        text += QLatin1Char('\n');
        text += Line(line);
    }
    text += QLatin1Char('\n');
    text += Line(to.Line).left(to.Column);
    return text;
}

void TLogText::PushLine(QString line)
{
    FCharacters += line.size();
    FLines.push_back(std::move(line));
}

void TLogText::Append(const QString& text)
{
    const QStringList pieces = HasLineBreak(text) ? SplitLines(text) : QStringList{text};
    qsizetype first = 0;
    if (IsEmpty()) {
        FLines.front() = pieces.front();
        FCharacters = pieces.front().size();
        first = 1;
    }
    for (qsizetype i = first; i < pieces.size(); ++i)
        PushLine(pieces[i]);
}

void TLogText::AppendLines(const QStringList& lines)
{
    for (const QString& line : lines) {
        if (!IsEmpty() && !HasLineBreak(line))
            PushLine(line);
        else
            Append(line);
    }
}

TLogPosition TLogText::Insert(TLogPosition at, const QString& text)
{
    at = Clamp(at);
    QString& line = FLines[static_cast<size_t>(at.Line)];
    if (!HasLineBreak(text)) {
        line.insert(at.Column, text);
        FCharacters += text.size();
        return {at.Line, at.Column + static_cast<int>(text.size())};
    }
    QStringList pieces = SplitLines(text);
    for (const QString& piece : pieces)
        FCharacters += piece.size();
    const TLogPosition end{at.Line + static_cast<int>(pieces.size()) - 1, static_cast<int>(pieces.back().size())};
    pieces.back() += line.mid(at.Column);
    line.truncate(at.Column);
    line += pieces.front();
    const auto rest = pieces.begin() + 1;
    FLines.insert(FLines.begin() + at.Line + 1, std::make_move_iterator(rest), std::make_move_iterator(pieces.end()));
    return end;
}

void TLogText::Remove(TLogPosition from, TLogPosition to)
{
    from = Clamp(from);
    to = Clamp(to);
    if (to < from)
        std::swap(from, to);
    if (from == to)
        return;
    QString& first = FLines[static_cast<size_t>(from.Line)];
    if (from.Line == to.Line) {
        first.remove(from.Column, to.Column - from.Column);
        FCharacters -= to.Column - from.Column;
        return;
    }
    for (int line = from.Line; line <= to.Line; ++line)
        FCharacters -= Line(line).size();
    first.truncate(from.Column);
    first += Line(to.Line).mid(to.Column);
    FCharacters += first.size();
    FLines.erase(FLines.begin() + from.Line + 1, FLines.begin() + to.Line + 1);
}

void TLogText::SetText(const QString& text)
{
    FLines.clear();
    FCharacters = 0;
    for (QString& piece : SplitLines(text))
        PushLine(std::move(piece));
}

QStringList TLogText::SplitLines(const QString& text)
{
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!IsLineBreak(c))
            continue;
        pieces.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    pieces.append(text.mid(start));
    return pieces;
}
