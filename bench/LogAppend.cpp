#include "LogAppend.h"

#include "BackupRestore.h"
#include "BenchSupport.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextCursor>
#include <QWindow>

#include <memory>

namespace {

// A line of the length and shape of the server's verbose output.
QString ServerLikeLine(long number)
{
    return QStringLiteral("gbak:    writing data for table BENCH_TABLE_%1 ")
        .arg(number % 100000, 5, 10, QLatin1Char('0'));
}

// One line of output as the run puts it into its log, after letting the
// window process its pending messages. The backup run appends the line
// (AppendLogLine; the log's change handler repaints the window); the restore
// run moves the caret to the end and inserts the line with CR LF (the change
// handler likewise).
void AppendAsTheRunDoes(TfrmPrincipal& form, TLogRoad road, const QString& line)
{
    TfrmPrincipal::ProcessMessages();
    if (road == TLogRoad::Backup) {
        form.AppendLogLine(*form.mmBackup, line);
    } else {
        form.mmRestore->moveCursor(QTextCursor::End);
        form.mmRestore->insertPlainText(line + QLatin1String("\r\n"));
    }
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
    QPlainTextEdit& log = road == TLogRoad::Backup ? *form->mmBackup : *form->mmRestore;
    form->PageControl1->setCurrentWidget(road == TLogRoad::Backup ? form->Backup : form->Restore);
    log.setFocus();

    // Warm the glyph caches and the code paths, then start from an empty log:
    // the first lines measured are not a program's first lines ever drawn.
    for (long i = 0; i < window; ++i)
        AppendAsTheRunDoes(*form, road, ServerLikeLine(i));
    log.clear();
    QApplication::processEvents();
    result.peakBeforeKiB = PeakResidentKiB();

    TPaintCounter paints;
    log.viewport()->installEventFilter(&paints);
    const std::vector<long> sliceStarts{lines / 4, lines / 2, lines * 3 / 4};
    std::vector<double> sliceBegin(sliceStarts.size(), 0);
    const double start = Now();
    double firstEnd = start;
    double lastStart = start;
    for (long i = 0; i < lines; ++i) {
        if (i == lines - window)
            lastStart = Now();
        for (size_t k = 0; k < sliceStarts.size(); ++k) {
            if (i == sliceStarts[k])
                sliceBegin[k] = Now();
            else if (i == sliceStarts[k] + window && sliceBegin[k] > 0)
                result.sliceMicroseconds.emplace_back(
                    sliceStarts[k], (Now() - sliceBegin[k]) / static_cast<double>(window) * 1e6);
        }
        AppendAsTheRunDoes(*form, road, ServerLikeLine(i));
        if (i == window - 1)
            firstEnd = Now();
    }
    const double end = Now();
    log.viewport()->removeEventFilter(&paints);

    result.totalSeconds = end - start;
    result.firstMicroseconds = (firstEnd - start) / static_cast<double>(window) * 1e6;
    result.lastMicroseconds = (end - lastStart) / static_cast<double>(window) * 1e6;
    result.peakAfterKiB = PeakResidentKiB();
    result.textBytes = static_cast<long>(log.document()->characterCount()) * 2;
    result.viewportPaints = paints.events;
    result.viewportArea = static_cast<double>(log.viewport()->width()) * log.viewport()->height();
    result.paintedArea = paints.area;
    return result;
}
