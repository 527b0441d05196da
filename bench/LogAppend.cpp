#include "LogAppend.h"

#include "BenchSupport.h"
#include "logview/LogFeed.h"
#include "logview/LogView.h"
#include "window/BackupRestore.h"

#include <QApplication>
#include <QTabWidget>
#include <QWindow>

#include <chrono>
#include <memory>

namespace {

// A line of the length and shape of the server's verbose output.
QString ServerLikeLine(long number)
{
    return QStringLiteral("gbak:    writing data for table BENCH_TABLE_%1 ")
        .arg(number % 100000, 5, 10, QLatin1Char('0'));
}

// The server's pace on loopback when it is quick: a line every 50 us. The
// feed's clock follows it, so that the log gets its lines in the batches that
// a run gives it (a batch per refresh interval) however fast the bench goes.
constexpr std::chrono::microseconds ServerPace{50};

// The lines that the window's thread takes from the reading thread at once
// while the server is quick: those of one idle interval at the server's pace.
constexpr long LinesPerTake = TLogFeedTiming{}.idle / ServerPace;

// The runs' way with a line: the pending messages processed before each batch
// of lines taken from the reading thread, then the line handed to the log's feed.
void AppendAsTheRunDoes(TLogFeed& feed, long number, const QString& line, std::chrono::microseconds& serverClock)
{
    if (number % LinesPerTake == 0)
        TfrmPrincipal::ProcessMessages();
    serverClock += ServerPace;
    feed.Add(line, ServerPace);
}

std::unique_ptr<TLogFeed> FeedFor(TLogRoad road, TLogView& log, const std::chrono::microseconds& serverClock)
{
    TLogFeed::TWriter writer;
    if (road == TLogRoad::Backup)
        writer = [&log](const QStringList& lines) { AppendLines(log, lines); };
    else
        writer = [&log](const QStringList& lines) { InsertLinesAtEnd(log, lines); };
    return std::make_unique<TLogFeed>(log, writer, TLogFeedTiming{}, [&serverClock] { return serverClock; });
}

} // namespace

TLogAppendResult MeasureLogAppend(TLogRoad road, long lines, long window)
{
    TRecordingDialogs dialogs;
    TDialogsOverride dialogsOverride(dialogs);
    TLogAppendResult result;
    result.lines = lines;

    auto form = std::make_unique<TfrmPrincipal>();
    form->show();
    const double deadline = Now() + 5;
    while (!(form->windowHandle() && form->windowHandle()->isExposed()) && Now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    TLogView& log = road == TLogRoad::Backup ? *form->mmBackup : *form->mmRestore;
    form->PageControl1->setCurrentWidget(road == TLogRoad::Backup ? form->Backup : form->Restore);
    log.setFocus();

    // Warm the glyph caches and the code paths, then start from an empty log:
    // the first lines measured are not a program's first lines ever drawn.
    std::chrono::microseconds serverClock{0};
    {
        auto feed = FeedFor(road, log, serverClock);
        for (long i = 0; i < window; ++i)
            AppendAsTheRunDoes(*feed, i, ServerLikeLine(i), serverClock);
    }
    log.clear();
    QApplication::processEvents();
    result.peakBeforeKiB = PeakResidentKiB();

    auto feed = FeedFor(road, log, serverClock);
    TPaintCounter paints;
    log.viewport()->installEventFilter(&paints);
    const std::vector<long> sliceStarts{lines / 4, lines / 2, lines * 3 / 4};
    std::vector<double> sliceBegin(sliceStarts.size(), 0);
    const double start = Now();
    double firstStart = start;
    double firstEnd = start;
    double lastStart = start;
    for (long i = 0; i < lines; ++i) {
        if (i == window)
            firstStart = Now();
        if (i == lines - window)
            lastStart = Now();
        for (size_t k = 0; k < sliceStarts.size(); ++k) {
            if (i == sliceStarts[k])
                sliceBegin[k] = Now();
            else if (i == sliceStarts[k] + window && sliceBegin[k] > 0)
                result.sliceMicroseconds.emplace_back(
                    sliceStarts[k], (Now() - sliceBegin[k]) / static_cast<double>(window) * 1e6);
        }
        AppendAsTheRunDoes(*feed, i, ServerLikeLine(i), serverClock);
        if (i == 2 * window - 1)
            firstEnd = Now();
    }
    feed->Flush();
    const double end = Now();
    log.viewport()->removeEventFilter(&paints);

    result.totalSeconds = end - start;
    result.firstMicroseconds = (firstEnd - firstStart) / static_cast<double>(window) * 1e6;
    result.lastMicroseconds = (end - lastStart) / static_cast<double>(window) * 1e6;
    result.peakAfterKiB = PeakResidentKiB();
    result.textBytes = static_cast<long>(log.text().CharacterCount()) * 2;
    result.viewportPaints = paints.events;
    result.viewportArea = static_cast<double>(log.viewport()->width()) * log.viewport()->height();
    result.paintedArea = paints.area;
    return result;
}
