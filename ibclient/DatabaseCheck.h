#pragma once
// Checks on an attached database that the restore needs: whether the server
// has left it shut down, and dropping it.

class TIBDatabase;

// Reads MON$DATABASE.MON$SHUTDOWN_MODE of the attached database (0 = online)
// with one statement in a short read-only transaction of its own; -1 when the
// server gives no value (never taken for online). Raises client
// error 15 when the connection is not open, and the server's error when a call
// fails (the statement and the transaction are released on every way out).
int ReadShutdownMode(TIBDatabase& database);

// Drops the attached database (isc_drop_database); afterwards the object is not connected.
void DropDatabase(TIBDatabase& database);
