// The store of a log's lines: edits at any place, line breaks of every kind,
// appends that behave as an edit box's, and the text handed back.

#include "logview/LogText.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

TLogText Holding(const QString& text)
{
    TLogText log;
    log.SetText(text);
    return log;
}

// Every line and break counted, as the plain text has them.
void ExpectConsistent(const TLogText& log)
{
    EXPECT_EQ(log.CharacterCount(), log.ToPlainText().size());
    EXPECT_GE(log.LineCount(), 1);
}

} // namespace

TEST(LogText, InsertsAndRemovesAnywhere)
{
    struct TCase {
        const char* name;
        QString before;
        TLogPosition at;
        QString inserted;
        QString after;
        TLogPosition end;
    };
    const std::vector<TCase> cases{
        {"into an empty text", "", {0, 0}, "abc", "abc", {0, 3}},
        {"inside a line", "ad\nx", {0, 1}, "bc", "abcd\nx", {0, 3}},
        {"a break inside a line", "abcd", {0, 2}, "\n", "ab\ncd", {1, 0}},
        {"lines in the middle", "one\nfour", {0, 3}, "\ntwo\nthree", "one\ntwo\nthree\nfour", {2, 5}},
        {"lines at the end", "a", {0, 1}, "\r\nb\r\n", "a\nb\n", {2, 0}},
        {"every kind of break", "", {0, 0}, "1\r2\n3\r\n4\u20295\u20286", "1\n2\n3\n4\n5\n6", {5, 1}},
        {"a carriage return before a line feed of the old text", "a\nb", {0, 1}, "\r", "a\n\nb", {1, 0}},
        {"past the end, at the end", "ab", {5, 9}, "c", "abc", {0, 3}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TLogText log = Holding(c.before);
        const TLogPosition start = log.Clamp(c.at);
        EXPECT_EQ(log.Insert(c.at, c.inserted), c.end);
        EXPECT_EQ(log.ToPlainText(), c.after);
        ExpectConsistent(log);
        // Taking out what went in gives the old text back.
        log.Remove(c.end, start);
        EXPECT_EQ(log.ToPlainText(), c.before);
        ExpectConsistent(log);
    }
}

TEST(LogText, RemovesAcrossLinesInEitherOrder)
{
    TLogText log = Holding(QStringLiteral("first\nsecond\nthird\nfourth"));
    EXPECT_EQ(log.Text({2, 2}, {0, 3}), QStringLiteral("st\nsecond\nth"));
    log.Remove({2, 2}, {0, 3});
    EXPECT_EQ(log.ToPlainText(), QStringLiteral("firird\nfourth"));
    ExpectConsistent(log);
    log.Remove({0, 6}, {1, 0}); // a line break alone
    EXPECT_EQ(log.ToPlainText(), QStringLiteral("firirdfourth"));
    log.Remove({0, 0}, log.End());
    EXPECT_TRUE(log.IsEmpty());
    ExpectConsistent(log);
}

TEST(LogText, AppendsAsAnEditBoxDoes)
{
    TLogText log;
    log.Append(QString()); // nothing to an empty text adds nothing
    EXPECT_TRUE(log.IsEmpty());
    log.AppendLines({QString(), QStringLiteral("Iniciando Backup..."), QString()});
    EXPECT_EQ(log.ToPlainText(), QStringLiteral("Iniciando Backup...\n"));
    log.Append(QStringLiteral("a\r\nb"));
    log.AppendLines({QStringLiteral("c\rd"), QStringLiteral("ç ã é")});
    EXPECT_EQ(log.ToPlainText(), QStringLiteral("Iniciando Backup...\n\na\nb\nc\nd\nç ã é"));
    EXPECT_EQ(log.LineCount(), 7);
    ExpectConsistent(log);
    // Every line keeps its characters, the separators of other systems included.
    log.SetText(QStringLiteral("\u00a0\t\u0000x"));
    EXPECT_EQ(log.Line(0), QStringLiteral("\u00a0\t\u0000x"));
}

TEST(LogText, PositionsAreKeptInsideTheText)
{
    const TLogText log = Holding(QStringLiteral("ab\ncde"));
    EXPECT_EQ(log.Clamp({-1, 5}), (TLogPosition{0, 2}));
    EXPECT_EQ(log.Clamp({1, -4}), (TLogPosition{1, 0}));
    EXPECT_EQ(log.Clamp({7, 7}), log.End());
    EXPECT_EQ(log.End(), (TLogPosition{1, 3}));
}
