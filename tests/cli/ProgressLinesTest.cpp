// The command line's progress lines, from a job's verbose lines on a clock of
// the test's own: how often they come, and how a run that succeeded or failed
// ends them.

#include "cli/ProgressLines.h"
#include "core/JobProgress.h"

#include <QRegularExpression>

#include <cmath>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TPrinted {
    double at;
    QString line;
};

// A restore of one table of 100,000 records, a line every 1,000 records and
// 100 ms, through the lines: what they printed and when, and the whole
// percent that the job's state told at each line.
struct TJobRun {
    std::vector<TPrinted> printed;
    std::vector<int> percents;
};

TJobRun RunJob(bool succeed)
{
    double now = 0;
    auto clock = [&now] { return now; };
    TJobProgress progress(clock);
    TJobRun run;
    TProgressLines lines(
        progress,
        [&run, &now](const QString& line) {
            run.printed.push_back({now, line});
        },
        clock);
    auto tick = [&] {
        lines.Tick();
        run.percents.push_back(static_cast<int>(std::floor(progress.State().fraction * 100)));
    };
    TJobPlan plan;
    plan.known = true;
    plan.tables.push_back({QStringLiteral("CLIENTES"), 100000, 0, true});
    progress.Start(plan, {TJobStage::Restore});
    progress.BeginStage();
    progress.Lines(
        {QStringLiteral("gbak:restoring table CLIENTES"), QStringLiteral("gbak:restoring data for table CLIENTES")});
    tick();
    const int batches = succeed ? 100 : 50;
    for (int batch = 1; batch <= batches; ++batch) {
        now += 0.1;
        progress.Lines({QStringLiteral("gbak:   %1 records restored").arg(batch * 1000)});
        tick();
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
    return run;
}

int PercentOf(const QString& line)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^Progresso: (\\d+)% — ")).match(line);
    EXPECT_TRUE(match.hasMatch()) << line.toStdString();
    return match.captured(1).toInt();
}

} // namespace

TEST(ProgressLinesTest, AtMostOneLineASecondRisingToTheFinalState)
{
    for (bool succeed : {true, false}) {
        SCOPED_TRACE(succeed ? "done" : "failed");
        const TJobRun run = RunJob(succeed);
        const std::vector<TPrinted>& printed = run.printed;
        ASSERT_GE(printed.size(), succeed ? 6u : 3u);
        for (size_t i = 1; i + 1 < printed.size(); ++i)
            EXPECT_GE(printed[i].at - printed[i - 1].at, 1.0 - 1e-9) << printed[i].line.toStdString();
        int last = -1;
        for (size_t i = 0; i + 1 < printed.size(); ++i) {
            const int percent = PercentOf(printed[i].line);
            EXPECT_GE(percent, last) << printed[i].line.toStdString();
            last = percent;
        }
        const QString end = succeed ? QStringLiteral("Progresso: 100% — concluído em ")
                                    : QStringLiteral("Progresso: Falhou — parou em %1%").arg(run.percents.back());
        EXPECT_TRUE(printed.back().line.startsWith(end)) << printed.back().line.toStdString();
    }
}

TEST(ProgressLinesTest, ARunRefusedBeforeItStartedTellsOnlyThatItFailedAtNothing)
{
    TJobProgress progress([] { return 7.0; });
    std::vector<QString> printed;
    TProgressLines lines(progress, [&printed](const QString& line) { printed.push_back(line); });
    lines.Tick();
    lines.Final();
    EXPECT_TRUE(printed.empty());
    progress.Fail();
    lines.Tick();
    lines.Final();
    EXPECT_EQ(printed, std::vector<QString>{QStringLiteral("Progresso: Falhou — parou em 0% após 0 s")});
}
