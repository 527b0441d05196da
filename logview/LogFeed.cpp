#include "logview/LogFeed.h"

#include "logview/LogView.h"

#include <QEvent>
#include <QtGlobal>

#include <exception>

namespace {

// The events through which the operator can change the log's text or its caret.
bool IsOperatorInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

TLogFeed::TLogFeed(TLogView& log, TWriter writer, TLogFeedTiming timing, TClock clock)
    : FLog(log)
    , FWriter(std::move(writer))
    , FTiming(timing)
    , FClock(std::move(clock))
    , FLastWrite(FClock())
{
    FLog.installEventFilter(this);
    FLog.viewport()->installEventFilter(this);
}

TLogFeed::~TLogFeed()
{
    FLog.viewport()->removeEventFilter(this);
    FLog.removeEventFilter(this);
    try {
        Flush();
    } catch (const std::exception& failure) {
        qWarning("Lines of the output could not be put into the log: %s", failure.what());
    }
}

void TLogFeed::Add(const QString& line, std::chrono::microseconds waited)
{
    if (waited >= FTiming.wait)
        FLinesAtOnce = FTiming.linesAfterWait;
    FPending.append(line);
    if (FLinesAtOnce > 0) {
        --FLinesAtOnce;
        Flush();
    } else if (FClock() - FLastWrite >= FTiming.refresh) {
        Flush();
    }
}

void TLogFeed::Flush()
{
    if (FPending.isEmpty())
        return;
    QStringList lines;
    lines.swap(FPending);
    FLastWrite = FClock();
    FWriter(lines);
}

std::chrono::microseconds TLogFeed::SteadyClock()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

bool TLogFeed::eventFilter(QObject* watched, QEvent* event)
{
    if (IsOperatorInput(event->type()))
        Flush();
    return QObject::eventFilter(watched, event);
}

void AppendLines(TLogView& log, const QStringList& lines)
{
    log.appendLines(lines);
}

void InsertLinesAtEnd(TLogView& log, const QStringList& lines)
{
    static const QString LineEnd = QStringLiteral("\r\n");
    QString text;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + LineEnd.size();
    text.reserve(size);
    for (const QString& line : lines) {
        text += line;
        text += LineEnd;
    }
    log.moveCursorToEnd();
    log.insertPlainText(text);
}
