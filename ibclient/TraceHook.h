#pragma once
// The trace hook. Texts would go to an external monitor program; this system
// attaches none, so the hook drops every text.

#include <QString>

#include <memory>
#include <set>

// Every text is dropped unless a hook overrides the call that carries it.
class IIBSQLMonitorHook {
public:
    virtual ~IIBSQLMonitorHook() = default;
    virtual void SendError(const QString& /*msg*/) { }
    virtual void DBConnect(const void* /*database*/) { }
    virtual void DBDisconnect(const void* /*database*/) { }
    virtual void ServiceAttach(const void* /*service*/) { }
    virtual void ServiceDetach(const void* /*service*/) { }
    virtual void ServiceQuery(const void* /*service*/) { }
    virtual void ServiceStart(const void* /*service*/) { }
};

// The process-wide hook, created at its first use under a lock.
IIBSQLMonitorHook& MonitorHook();
// Puts another hook in its place (tests record what reaches it) and returns
// the one it replaces; an empty one brings back the hook that drops every text.
std::unique_ptr<IIBSQLMonitorHook> ReplaceMonitorHook(std::unique_ptr<IIBSQLMonitorHook> replacement);

// Trace categories carried by the connection and service objects.
enum TTraceFlag { tfQPrepare, tfQExecute, tfQFetch, tfError, tfStmt, tfConnect, tfTransact, tfBlob, tfService, tfMisc };
using TTraceFlags = std::set<TTraceFlag>;
