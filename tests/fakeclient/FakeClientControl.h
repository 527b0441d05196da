#pragma once
// Test-side access to the fake client library that the binding has loaded
// (the file named by ZUR_CLIENT_LIBRARY).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace fake {

// Forgets every recorded call and script.
void Reset();
// Names of the client functions called so far, in order.
QStringList Calls();
int CallCount(const char* function);
// The block (DPB, SPB, start block, query items) that the last call of function
// passed; "isc_service_query send" gives the items a query sent.
QByteArray LastBlock(const char* function);
// The database or service name that the last call of function passed.
QByteArray LastName(const char* function);

struct StatusText {
    long code;
    const char* text;
};
// The next call of function fails with these error codes and texts, and
// isc_sqlcode then answers sqlCode.
void Fail(const char* function, long sqlCode, const std::vector<StatusText>& texts);
// Queues one reply for isc_service_query (the default reply ends the output).
void PushQueryReply(const QByteArray& reply);
// The next isc_service_query fails with this error and leaves reply in its
// buffer, as a server sends a job's failure along with the output before it.
void FailQueryWithReply(const QByteArray& reply, long sqlCode, const StatusText& text);
// The reply of isc_database_info (default: dialect 3).
void SetInfoReply(const QByteArray& reply);

} // namespace fake
