#pragma once
// The text of a run's log: its lines, in a store whose cost per appended line
// does not depend on how many lines it holds, and the edits that the log's
// view and the runs make to it.
//
// A line break is a line feed, a carriage return, both together, or the
// paragraph or line separator; none is kept in a line. The text always has at
// least one line: an empty log is one empty line, as an edit box shows it.

#include <QString>
#include <QStringList>

#include <deque>

// A place between two characters: a line and the number of UTF-16 code units
// before it in that line.
struct TLogPosition {
    int Line = 0;
    int Column = 0;

    friend bool operator==(const TLogPosition& a, const TLogPosition& b)
    {
        return a.Line == b.Line && a.Column == b.Column;
    }
    friend bool operator!=(const TLogPosition& a, const TLogPosition& b) { return !(a == b); }
    friend bool operator<(const TLogPosition& a, const TLogPosition& b)
    {
        return a.Line < b.Line || (a.Line == b.Line && a.Column < b.Column);
    }
};

class TLogText {
public:
    TLogText();

    int LineCount() const { return static_cast<int>(FLines.size()); }
    const QString& Line(int index) const { return FLines[static_cast<size_t>(index)]; }
    // No text at all: one empty line.
    bool IsEmpty() const { return FLines.size() == 1 && FLines.front().isEmpty(); }
    // The lines, each after the first behind a line feed.
    QString ToPlainText() const;
    // Characters of the lines plus one for each line break.
    qsizetype CharacterCount() const { return FCharacters + LineCount() - 1; }
    TLogPosition End() const;
    // The nearest position that exists.
    TLogPosition Clamp(TLogPosition position) const;
    // The text between two positions, in either order, lines parted by line feeds.
    QString Text(TLogPosition from, TLogPosition to) const;

    // The lines of `text` as a new last line and those after it; into an empty
    // text, the first of them becomes the first line.
    void Append(const QString& text);
    // Each of `lines` appended in turn, as Append does it.
    void AppendLines(const QStringList& lines);
    // Puts `text` in at `at`; returns the position after it.
    TLogPosition Insert(TLogPosition at, const QString& text);
    // Takes out what lies between two positions, in either order.
    void Remove(TLogPosition from, TLogPosition to);
    // Replaces the whole text.
    void SetText(const QString& text);

    // The pieces of `text` between its line breaks (one piece when it has none).
    static QStringList SplitLines(const QString& text);

private:
    void PushLine(QString line);

    std::deque<QString> FLines;
    qsizetype FCharacters = 0;
};
