#pragma once
// The run's glue between the thread that reads a service's output and the
// feed that puts the lines into a log (TLogFeed, or any feed with its Add,
// Flush and Timing().idle). A template, so that the runs need no widgets.

#include "runs/OutputReader.h"

#include <functional>
#include <vector>

// Takes the output from `reader` into `feed` to its end: the window's pending
// messages are processed before each batch of lines taken from the reader and
// whenever the server leaves the run waiting for `idle`, and the lines held
// then go into the log. Every line read is in the log when this returns; then
// what the reading failed with is thrown.
template <class TFeed> void FeedOutput(TOutputReader& reader, TFeed& feed, const std::function<void()>& processMessages)
{
    std::vector<TOutputReader::TLine> lines;
    bool more = true;
    while (more) {
        lines.clear();
        more = reader.Take(lines, feed.Timing().idle);
        if (lines.empty()) {
            // Nothing came for a while: the log shows what the job is busy
            // with, and the window stays responsive.
            feed.Flush();
            processMessages();
            continue;
        }
        // The lines taken together were read while this thread was busy or
        // waiting; processing messages between them, with nothing to wait for
        // in between, would only take processor time from the server's job.
        processMessages();
        for (const TOutputReader::TLine& line : lines)
            feed.Add(line.Text, line.Waited);
    }
    feed.Flush();
    reader.RethrowFailure();
}
