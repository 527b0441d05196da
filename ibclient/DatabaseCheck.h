#pragma once
// Checks on an attached database that the runs need: whether the server has
// left it shut down, its page size, whether anyone else has it open, and
// dropping it.

class TIBDatabase;

// Reads MON$DATABASE.MON$SHUTDOWN_MODE of the attached database (0 = online)
// with one statement in a short read-only transaction of its own; -1 when the
// server gives no value (never taken for online). Raises client
// error 15 when the connection is not open, and the server's error when a call
// fails (the statement and the transaction are released on every way out).
int ReadShutdownMode(TIBDatabase& database);

// MON$DATABASE.MON$PAGE_SIZE of the attached database; raises as ReadShutdownMode.
int ReadPageSize(TIBDatabase& database);

// How many attachments other than this one, not the server's own, the
// database has (MON$ATTACHMENTS; a user who is not an administrator sees only
// his own); raises as ReadShutdownMode.
int CountOtherAttachments(TIBDatabase& database);

// Drops the attached database (isc_drop_database); afterwards the object is not connected.
void DropDatabase(TIBDatabase& database);
