#pragma once
// The connection test, the same for the window and the command line: what
// an interrupted run left beside the database is put right first, then a
// server named "localhost" gets the database file checked on this machine,
// then the connection opens with the server text and the path run together.

#include "runs/RestoreSteps.h"

#include <QString>
#include <QStringList>

class TIBDatabase;

struct TConnectionRequest {
    QString server; // the server field as typed
    QString database;
    QString user;
    QString password;
};

struct TConnectionOutcome {
    enum TResult { Connected, DatabaseMissing, Failed };
    TResult result = Failed;
    // The failure's message (the server's words, or the client layer's).
    QString failure;
    // What was put right of an interrupted run before the test, as the log says it.
    QStringList putRight;
};

// Runs the test on connection, which is left open when it succeeds (and as
// it was when the database is missing). Lines of what was put right go to
// the sink.
TConnectionOutcome TestConnection(const TConnectionRequest& request, TIBDatabase& connection, TRestoreSink& sink);

// The login that the runs of the server field use to reach the database
// and its service manager.
TDatabaseLogin ConnectionLogin(const TConnectionRequest& request);
