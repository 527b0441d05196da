// The feed that carries a run's output into its log: what ends up in the log
// is what putting in each line on its own gives, whatever the batches; when
// the lines go in; and the operator's input finding the lines read before it.

#include "logview/LogFeed.h"
#include "WindowTestSupport.h"
#include "runs/FeedOutput.h"

#include "logview/LogView.h"
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

enum class TStyle { Append, InsertAtEnd };

// The log as a run put it together line by line, before it read its output
// in batches.
void PutOneByOne(TLogView& log, TStyle style, const QStringList& lines)
{
    for (const QString& line : lines) {
        if (style == TStyle::Append) {
            log.appendPlainText(line);
        } else {
            log.moveCursorToEnd();
            log.insertPlainText(line + QStringLiteral("\r\n"));
        }
    }
}

TLogFeed::TWriter WriterFor(TLogView& log, TStyle style)
{
    if (style == TStyle::Append)
        return [&log](const QStringList& lines) { AppendLines(log, lines); };
    return [&log](const QStringList& lines) { InsertLinesAtEnd(log, lines); };
}

class LogFeedTest : public WindowTest {
protected:
    std::chrono::microseconds now{0};
    TLogFeed::TClock Clock()
    {
        return [this] { return now; };
    }
    // A line whose query took `waited`.
    void Read(TLogFeed& feed, const QString& line, std::chrono::microseconds waited)
    {
        now += waited;
        feed.Add(line, waited);
    }
};

TEST_F(LogFeedTest, TheLogEndsAsIfEachLineHadGoneInOnItsOwn)
{
    struct TCase {
        const char* name;
        QString before; // the log's text when the run starts
        QStringList lines;
    };
    const std::vector<TCase> cases{
        {"server output after earlier text", QStringLiteral("Iniciando Backup..."),
            {QStringLiteral("gbak: readied database "), QStringLiteral("gbak: creating file "), QString()}},
        {"empty lines into an empty log", QString(), {QString(), QString(), QStringLiteral("a"), QString()}},
        {"an empty log that only gets empty lines", QString(), {QString(), QString()}},
        {"carriage returns and line feeds inside lines", QStringLiteral("x"),
            {QStringLiteral("a\r"), QStringLiteral("\r\nb"), QStringLiteral("c\nd"), QStringLiteral("ç ã é")}},
    };
    for (TStyle style : {TStyle::Append, TStyle::InsertAtEnd}) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (style == TStyle::Append ? " (append)" : " (insert at end)"));
            TLogView expected;
            expected.setPlainText(c.before);
            PutOneByOne(expected, style, c.lines);

            // One batch, and the same lines in batches of every size.
            for (int batch = 1; batch <= c.lines.size(); ++batch) {
                TLogView log;
                log.setPlainText(c.before);
                TLogFeed feed(log, WriterFor(log, style), {}, Clock());
                for (int i = 0; i < c.lines.size(); ++i) {
                    feed.Add(c.lines[i], 0us);
                    if ((i + 1) % batch == 0)
                        feed.Flush();
                }
                feed.Flush();
                EXPECT_EQ(log.toPlainText().toStdString(), expected.toPlainText().toStdString()) << "batch " << batch;
                EXPECT_EQ(log.text().LineCount(), expected.text().LineCount()) << "batch " << batch;
            }
        }
    }
}

TEST_F(LogFeedTest, QuickLinesGoInOncePerRefreshAndTheLinesTheServerMadeTheRunWaitForAtOnce)
{
    TLogView log;
    int writes = 0;
    TLogFeed feed(
        log,
        [&](const QStringList& lines) {
            ++writes;
            AppendLines(log, lines);
        },
        TLogFeedTiming{50ms, 1ms, 2}, Clock());

    // Quick lines wait for the refresh interval; the one that completes it
    // takes all of them into the log.
    Read(feed, QStringLiteral("1"), 100us);
    Read(feed, QStringLiteral("2"), 100us);
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(feed.Pending(), 2);
    now += 50ms;
    Read(feed, QStringLiteral("3"), 100us);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(feed.Pending(), 0);
    EXPECT_EQ(log.toPlainText(), QStringLiteral("1\n2\n3"));

    // A line the server kept the run waiting for goes in at once with those
    // held before it, and so does the next one; the one after that waits again.
    Read(feed, QStringLiteral("4"), 100us);
    Read(feed, QStringLiteral("5"), 5ms);
    EXPECT_EQ(writes, 2);
    EXPECT_EQ(log.toPlainText(), QStringLiteral("1\n2\n3\n4\n5"));
    Read(feed, QStringLiteral("6"), 100us);
    EXPECT_EQ(writes, 3);
    Read(feed, QStringLiteral("7"), 100us);
    EXPECT_EQ(writes, 3);
    EXPECT_EQ(feed.Pending(), 1);
}

TEST_F(LogFeedTest, TheOperatorsInputFindsTheLinesReadBeforeItInTheLog)
{
    QWidget window;
    window.resize(400, 300);
    TLogView expected(&window);
    TLogView log(&window);
    expected.setGeometry(0, 0, 400, 150);
    log.setGeometry(0, 150, 400, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const QStringList before{QStringLiteral("gbak: one "), QStringLiteral("gbak: two ")};
    const QStringList after{QStringLiteral("gbak: three ")};
    // The operator clicks at the start of the log and types, between two
    // lines of the output.
    const auto operatorTypes = [](TLogView& target) {
        QTest::mouseClick(target.viewport(), Qt::LeftButton, {}, QPoint(2, 2));
        QTest::keyClicks(&target, QStringLiteral("nota "));
    };

    PutOneByOne(expected, TStyle::InsertAtEnd, before);
    operatorTypes(expected);
    PutOneByOne(expected, TStyle::InsertAtEnd, after);

    TLogFeed feed(log, WriterFor(log, TStyle::InsertAtEnd), {}, Clock());
    for (const QString& line : before)
        feed.Add(line, 0us);
    ASSERT_EQ(feed.Pending(), 2);
    operatorTypes(log);
    EXPECT_EQ(feed.Pending(), 0);
    for (const QString& line : after)
        feed.Add(line, 0us);
    feed.Flush();

    EXPECT_EQ(log.toPlainText(), expected.toPlainText());
    EXPECT_TRUE(log.toPlainText().startsWith(QStringLiteral("nota gbak: one")));
}

TEST_F(LogFeedTest, TheOutputGoesInWithMessagesProcessedBeforeTheLinesAndWhileTheServerIsSilent)
{
    TLogView log;
    TLogFeed feed(log, WriterFor(log, TStyle::Append), TLogFeedTiming{1h, 1h, 0, 5ms});
    const QStringList burst{QStringLiteral("gbak: one "), QStringLiteral("gbak: two ")};
    std::atomic<bool> shown{false};
    std::atomic<int> queries{0};
    // Two quick lines, then a silence of the server that ends once the log
    // shows them (or after five seconds), then the end line.
    TOutputReader reader([&] { return queries == 3; },
        [&] {
            const int query = queries;
            if (query == 2) {
                const auto deadline = std::chrono::steady_clock::now() + 5s;
                while (!shown && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(1ms);
            }
            ++queries;
            return query < 2 ? burst[query] : QString();
        });
    bool processedBeforeTheFirstLine = false;
    FeedOutput(reader, feed, [&] {
        if (feed.Pending() == 0 && log.toPlainText().isEmpty())
            processedBeforeTheFirstLine = true;
        if (log.toPlainText() == burst.join(QLatin1Char('\n')))
            shown = true;
    });

    EXPECT_TRUE(processedBeforeTheFirstLine);
    EXPECT_TRUE(shown) << "the lines read before the silence waited for the next line";
    EXPECT_EQ(log.toPlainText(), burst.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

TEST_F(LogFeedTest, LinesReadBeforeAFailureAreInTheLogBeforeItIsThrown)
{
    for (TStyle style : {TStyle::Append, TStyle::InsertAtEnd}) {
        TLogView log;
        TLogFeed feed(log, WriterFor(log, style), TLogFeedTiming{1h, 1h, 0, 5ms});
        int queries = 0;
        TOutputReader reader([] { return false; },
            [&]() -> QString {
                if (++queries == 3)
                    throw std::runtime_error("connection lost");
                return QStringLiteral("gbak: line %1 ").arg(queries);
            });
        QString logWhenThrown;
        try {
            FeedOutput(reader, feed, [] {});
            ADD_FAILURE() << "the failure did not leave the read";
        } catch (const std::runtime_error& failure) {
            EXPECT_STREQ(failure.what(), "connection lost");
            logWhenThrown = log.toPlainText();
        }
        TLogView expected;
        PutOneByOne(expected, style, {QStringLiteral("gbak: line 1 "), QStringLiteral("gbak: line 2 ")});
        EXPECT_EQ(logWhenThrown, expected.toPlainText());
    }
}

} // namespace
