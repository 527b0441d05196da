#pragma once
// A list of text lines that tells before and after every change. The
// parameter lists and file lists of the components are such lists.

#include <QString>
#include <QStringList>

#include <functional>

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<QString> lines);
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    // Runs before every change; an exception from it prevents the change.
    std::function<void()> OnChanging;
    // Runs after every change.
    std::function<void()> OnChange;

    int Count() const { return FLines.size(); }
    const QString& operator[](int index) const { return FLines.at(index); }
    const QStringList& Lines() const { return FLines; }

    void Add(const QString& line);
    void Delete(int index);
    void Clear();
    void SetLine(int index, const QString& line);
    // Replaces the lines with the given ones (one change).
    void Assign(const QStringList& lines);

    // The text before the first "=" of a line (the whole line when it has none).
    static QString NameOf(const QString& line);
    // Index of the first line whose name equals name, ignoring ASCII letter case; -1 if none.
    int IndexOfName(const QString& name) const;
    // Value of the first line named name ("" when none).
    QString Value(const QString& name) const;
    // Sets the line named name to name=value, adding it at the end when absent;
    // an empty value removes the line instead.
    void SetValue(const QString& name, const QString& value);

private:
    void Changing();
    void Changed();

    QStringList FLines;
};

// Whether a text is empty or made of blanks and control characters only.
bool IsBlank(const QString& text);
// Upper-cases the ASCII letters a to z and nothing else.
QString AsciiUpper(const QString& text);
// Lower-cases the ASCII letters A to Z and nothing else.
QString AsciiLower(const QString& text);
