// The thread that reads a service's output: it reads on without waiting for
// the lines to be taken, hands them over in order with the time each query
// took, passes a failure on after the lines read before it, and stops when
// the reader goes away in the middle of the output.

#include "runs/OutputReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Waits up to five seconds for `done`.
template <typename TCondition> bool Eventually(TCondition done)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

std::vector<TOutputReader::TLine> TakeAll(TOutputReader& reader)
{
    std::vector<TOutputReader::TLine> lines;
    while (reader.Take(lines, 10ms)) { }
    return lines;
}

TEST(OutputReaderTest, ReadsToTheEndWithoutWaitingForTheLinesToBeTaken)
{
    const int count = 5000;
    std::atomic<int> queries{0};
    TOutputReader reader([&] { return queries == count; }, [&] { return QString::number(++queries); });

    // Nobody takes a line, and the output is read to its end all the same.
    ASSERT_TRUE(Eventually([&] { return queries == count; }));

    const std::vector<TOutputReader::TLine> lines = TakeAll(reader);
    ASSERT_EQ(lines.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(lines[i].Text, QString::number(i + 1));
    EXPECT_EQ(queries, count) << "no query after the end";
    EXPECT_NO_THROW(reader.RethrowFailure());
}

TEST(OutputReaderTest, EachLineCarriesHowLongItsQueryTook)
{
    int queries = 0;
    TOutputReader reader([&] { return queries == 2; },
        [&] {
            if (++queries == 2)
                std::this_thread::sleep_for(30ms);
            return QString::number(queries);
        });
    const std::vector<TOutputReader::TLine> lines = TakeAll(reader);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_LT(lines[0].Waited, 30ms);
    EXPECT_GE(lines[1].Waited, 30ms);
}

TEST(OutputReaderTest, AFailureComesAfterTheLinesReadBeforeIt)
{
    int queries = 0;
    TOutputReader reader([] { return false; },
        [&]() -> QString {
            if (++queries == 3)
                throw std::runtime_error("connection lost");
            return QString::number(queries);
        });
    const std::vector<TOutputReader::TLine> lines = TakeAll(reader);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].Text, QStringLiteral("2"));
    EXPECT_THROW(
        {
            try {
                reader.RethrowFailure();
            } catch (const std::runtime_error& failure) {
                EXPECT_STREQ(failure.what(), "connection lost");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_EQ(queries, 3) << "no query after the failure";
}

TEST(OutputReaderTest, GoingAwayInTheMiddleStopsAfterTheQueryUnderWay)
{
    std::atomic<int> queries{0};
    {
        TOutputReader reader([] { return false; },
            [&] {
                ++queries;
                std::this_thread::sleep_for(1ms);
                return QStringLiteral("gbak: line");
            });
        ASSERT_TRUE(Eventually([&] { return queries >= 3; }));
    }
    const int atDestruction = queries;
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(queries, atDestruction);
}

} // namespace
