#pragma once
// What the server's output of a restore says of the way it ended. A backup
// cut short restores without any error: the output simply stops before the
// server's closing line. A whole backup whose restore the server could not
// finish (an index it could not activate, say) reaches the closing line and
// says what went wrong in lines of its own.

#include <QString>
#include <QStringList>

class TRestoreOutput {
public:
    // The output's lines, in order, as they are read.
    void Add(const QStringList& lines);

    // Whether the server went through the whole backup (its closing line came).
    bool Finished() const { return FFinished; }
    // The server's own words on what went wrong: its error lines and its word
    // that the database is not online, trimmed; the first few of them.
    const QStringList& Problems() const { return FProblems; }

private:
    bool FFinished = false;
    QStringList FProblems;
};
