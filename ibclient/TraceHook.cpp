#include "ibclient/TraceHook.h"

#include <memory>
#include <mutex>

namespace {

class TDroppingHook final : public IIBSQLMonitorHook { };

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
