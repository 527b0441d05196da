#include "runs/OutputReader.h"

#include <utility>

TOutputReader::TOutputReader(TAtEnd atEnd, TNext next)
    : FAtEnd(std::move(atEnd))
    , FNext(std::move(next))
    , FThread([this] { Run(); })
{
}

TOutputReader::~TOutputReader()
{
    FStop = true;
    FThread.join();
}

void TOutputReader::Run()
{
    try {
        while (!FStop && !FAtEnd()) {
            const auto start = std::chrono::steady_clock::now();
            QString text = FNext();
            const auto waited
                = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
            const std::lock_guard<std::mutex> guard(FLock);
            FLines.push_back({std::move(text), waited});
        }
    } catch (...) {
        const std::lock_guard<std::mutex> guard(FLock);
        FFailure = std::current_exception();
    }
    {
        const std::lock_guard<std::mutex> guard(FLock);
        FFinished = true;
    }
    FFinishedChanged.notify_all();
}

bool TOutputReader::Take(std::vector<TLine>& lines, std::chrono::microseconds wait)
{
    std::unique_lock<std::mutex> guard(FLock);
    // Lines that are read while this waits are left for the next call: the
    // reading thread does not signal each line, which would cost it a wake-up
    // of this thread per line.
    if (FLines.empty() && !FFinished)
        FFinishedChanged.wait_for(guard, wait, [this] { return FFinished; });
    const bool more = !(FFinished && FLines.empty());
    if (lines.empty()) {
        lines.swap(FLines);
    } else {
        for (TLine& line : FLines)
            lines.push_back(std::move(line));
        FLines.clear();
    }
    return more;
}

void TOutputReader::RethrowFailure() const
{
    const std::lock_guard<std::mutex> guard(FLock);
    if (FFailure)
        std::rethrow_exception(FFailure);
}
