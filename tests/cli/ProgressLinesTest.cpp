// The command line's progress lines, from a job's verbose lines on a clock of
// the test's own: how often they come, and with --quiet only at each 5%.

#include "cli/ProgressLines.h"
#include "core/JobProgress.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TPrinted {
    double at;
    QString line;
};

// A restore of one table of 100,000 records, a line every 1,000 records and
// 50 ms, through the lines; what they printed, and when.
std::vector<TPrinted> RunJob(bool quiet, bool succeed)
{
    double now = 0;
    auto clock = [&now] { return now; };
    TJobProgress progress(clock);
    std::vector<TPrinted> printed;
    TProgressLines lines(
        progress, quiet,
        [&printed, &now](const QString& line) {
            printed.push_back({now, line});
        },
        clock);
    TJobPlan plan;
    plan.known = true;
    plan.tables.push_back({QStringLiteral("CLIENTES"), 100000, 0, true});
    progress.Start(plan, {TJobStage::Restore});
    progress.BeginStage();
    progress.Lines(
        {QStringLiteral("gbak:restoring table CLIENTES"), QStringLiteral("gbak:restoring data for table CLIENTES")});
    lines.Tick();
    const int batches = succeed ? 100 : 50;
    for (int batch = 1; batch <= batches; ++batch) {
        now += 0.05;
        progress.Lines({QStringLiteral("gbak:   %1 records restored").arg(batch * 1000)});
        lines.Tick();
    }
    if (succeed) {
        progress.Lines(
            {QStringLiteral("gbak:creating indexes"), QStringLiteral("gbak:finishing, closing, and going home")});
        progress.EndStage();
        progress.Finish();
    } else {
        progress.Fail();
    }
    lines.Final();
    return printed;
}

int PercentOf(const QString& line)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^Progresso: (\\d+)% — ")).match(line);
    EXPECT_TRUE(match.hasMatch()) << line.toStdString();
    return match.captured(1).toInt();
}

} // namespace

TEST(ProgressLinesTest, AtMostOneLineASecondAndTheFinalState)
{
    const std::vector<TPrinted> printed = RunJob(false, true);
    ASSERT_GE(printed.size(), 4u);
    for (size_t i = 1; i + 1 < printed.size(); ++i)
        EXPECT_GE(printed[i].at - printed[i - 1].at, 1.0 - 1e-9) << printed[i].line.toStdString();
    int last = -1;
    for (const TPrinted& line : printed) {
        const int percent = PercentOf(line.line);
        EXPECT_GE(percent, last);
        last = percent;
    }
    EXPECT_TRUE(printed.back().line.startsWith(QStringLiteral("Progresso: 100% — concluído em ")))
        << printed.back().line.toStdString();
}

TEST(ProgressLinesTest, QuietGivesEachWhole5PercentOnceAndTheFinalState)
{
    for (bool succeed : {true, false}) {
        SCOPED_TRACE(succeed ? "done" : "failed");
        const std::vector<TPrinted> printed = RunJob(true, succeed);
        ASSERT_GE(printed.size(), 3u);
        // One line per step of 5%, each step in turn: the job's lines come
        // far more often than the figure moves by 5%.
        for (size_t i = 0; i + 1 < printed.size(); ++i)
            EXPECT_EQ(PercentOf(printed[i].line) / 5, static_cast<int>(i) + 1) << printed[i].line.toStdString();
        const QString end
            = succeed ? QStringLiteral("Progresso: 100% — concluído") : QStringLiteral("Progresso: Falhou — parou em ");
        EXPECT_TRUE(printed.back().line.startsWith(end)) << printed.back().line.toStdString();
    }
}

TEST(ProgressLinesTest, ARunRefusedBeforeItStartedTellsOnlyThatItFailedAtNothing)
{
    TJobProgress progress([] { return 7.0; });
    std::vector<QString> printed;
    TProgressLines lines(progress, false, [&printed](const QString& line) { printed.push_back(line); });
    lines.Tick();
    lines.Final();
    EXPECT_TRUE(printed.empty());
    progress.Fail();
    lines.Tick();
    lines.Final();
    EXPECT_EQ(printed, std::vector<QString>{QStringLiteral("Progresso: Falhou — parou em 0% após 0 s")});
}
