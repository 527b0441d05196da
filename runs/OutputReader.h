#pragma once
// A started service's output, read on a thread of its own.
//
// The server's job waits whenever its small output buffer is full, so the
// output has to be read at the pace the server gives it (the service object
// asks for all the server holds, and hands it out a line at a time).
// The window's own work for a line (putting it into the log, processing its
// pending messages) is done on the window's thread, alongside the queries
// rather than between them: the reading thread never waits for the window.

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TOutputReader {
public:
    struct TLine {
        QString Text;
        // How long the query for this line took.
        std::chrono::microseconds Waited;
    };
    // Whether the output has ended (the service's Eof).
    using TAtEnd = std::function<bool()>;
    // Queries the next line (the service's GetNextLine).
    using TNext = std::function<QString()>;

    // Starts reading at once. Until the reading has finished, nothing but this
    // reader may use what `atEnd` and `next` reach.
    TOutputReader(TAtEnd atEnd, TNext next);
    // Asks the reading to stop after the query under way, and waits for it.
    ~TOutputReader();
    TOutputReader(const TOutputReader&) = delete;
    TOutputReader& operator=(const TOutputReader&) = delete;

    // Moves the lines read since the last call to the end of `lines`, in
    // order. When there are none yet, waits up to `wait` for the reading to
    // finish (lines that come in meanwhile are taken by the next call).
    // Returns false once the reading has finished and every line read has been
    // taken; the thread is done with the service by then.
    bool Take(std::vector<TLine>& lines, std::chrono::microseconds wait);
    // Throws what the reading failed with, if it failed.
    void RethrowFailure() const;

private:
    void Run();

    TAtEnd FAtEnd;
    TNext FNext;
    mutable std::mutex FLock;
    std::condition_variable FFinishedChanged;
    std::vector<TLine> FLines;
    bool FFinished = false;
    std::atomic<bool> FStop{false};
    std::exception_ptr FFailure;
    std::thread FThread;
};
