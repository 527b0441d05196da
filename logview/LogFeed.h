#pragma once
// The server's output on its way into a run's log.
//
// A verbose backup or restore prints tens of thousands of lines, read on a
// thread of their own (TOutputReader), since the server's job waits while its
// small output buffer is full. The window's thread takes the lines
// from there. Laying out and repainting the log for every line would still
// cost it several times what the query does, so the feed puts the lines of one
// refresh interval into the log in one change while the server is quick; a
// line that the server made the run wait for, and the few after it, go in at
// once, and so do the lines held when the server falls silent, so that the log
// shows what the job is busy with. Lines are never reordered or changed: the
// log ends up with the same text as if each line had been put in on its own,
// and the operator's own typing into the log lands where it would have.

#include <QObject>
#include <QStringList>

#include <chrono>
#include <functional>

class TLogView;
class QEvent;

struct TLogFeedTiming {
    // Lines that come in quick succession are put into the log at most this often.
    std::chrono::microseconds refresh{std::chrono::milliseconds(50)};
    // A line the run waited this long for counts as one the server made it
    // wait for: the job has gone slow, and the line before its next wait is
    // what the log should show meanwhile. (Short waits come by the thousand in
    // a burst of output, and a refresh interval shows those lines soon enough.)
    std::chrono::microseconds wait{std::chrono::milliseconds(10)};
    // After such a line, this many lines (that one included) go in at once.
    int linesAfterWait = 2;
    // When no line has come for this long, the lines held go in, and the
    // window processes its pending messages while the server is silent.
    std::chrono::microseconds idle{std::chrono::milliseconds(10)};
};

class TLogFeed final : public QObject {
public:
    // Puts a batch of lines, in order, into the log.
    using TWriter = std::function<void(const QStringList& lines)>;
    // The time since some fixed point; steady.
    using TClock = std::function<std::chrono::microseconds()>;

    TLogFeed(TLogView& log, TWriter writer, TLogFeedTiming timing = {}, TClock clock = SteadyClock);
    // Puts in the lines still held; a failure then is only logged, since the
    // feed is mostly destroyed on the way out of a failed run.
    ~TLogFeed() override;
    TLogFeed(const TLogFeed&) = delete;
    TLogFeed& operator=(const TLogFeed&) = delete;

    // The next line of the output, which took `waited` to come.
    void Add(const QString& line, std::chrono::microseconds waited);
    // Puts every line held into the log now.
    void Flush();
    // Lines read but not yet in the log.
    int Pending() const { return FPending.size(); }
    const TLogFeedTiming& Timing() const { return FTiming; }

    static std::chrono::microseconds SteadyClock();

protected:
    // The operator's input to the log finds the lines read before it there.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TLogView& FLog;
    TWriter FWriter;
    TLogFeedTiming FTiming;
    TClock FClock;
    QStringList FPending;
    std::chrono::microseconds FLastWrite;
    int FLinesAtOnce = 0;
};

// The backup log's way with a batch: each line appended as a new line, as
// appending them one by one does it (an empty line appended to an empty log
// leaves it empty).
void AppendLines(TLogView& log, const QStringList& lines);
// The restore log's way: the caret moved to the end of the text, then each
// line followed by a carriage return and a line feed inserted there.
void InsertLinesAtEnd(TLogView& log, const QStringList& lines);
