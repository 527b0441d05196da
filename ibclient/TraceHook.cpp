#include "ibclient/TraceHook.h"

#include <memory>
#include <mutex>

namespace {

class TDroppingHook final : public IIBSQLMonitorHook {
public:
    void SendError(const QString&) override { }
    void DBConnect(const void*) override { }
    void DBDisconnect(const void*) override { }
    void ServiceAttach(const void*) override { }
    void ServiceDetach(const void*) override { }
    void ServiceQuery(const void*) override { }
    void ServiceStart(const void*) override { }
};

std::mutex hookLock;
std::unique_ptr<IIBSQLMonitorHook> hook;

} // namespace

IIBSQLMonitorHook& MonitorHook()
{
    std::lock_guard<std::mutex> guard(hookLock);
    if (!hook)
        hook = std::make_unique<TDroppingHook>();
    return *hook;
}

std::unique_ptr<IIBSQLMonitorHook> ReplaceMonitorHook(std::unique_ptr<IIBSQLMonitorHook> replacement)
{
    std::lock_guard<std::mutex> guard(hookLock);
    if (!replacement)
        replacement = std::make_unique<TDroppingHook>();
    hook.swap(replacement);
    return replacement;
}
