#pragma once
// What the binding's tests share: every client function of the binding with its
// group, a way to call one with nothing but zeros, the messages the stand-ins
// of missing functions raise, and a trace hook that records what reaches it.

#include "ibclient/GdsLibrary.h"
#include "ibclient/TraceHook.h"

#include <QString>
#include <QStringList>

#include <set>
#include <type_traits>
#include <vector>

namespace bindingtest {

// The groups of the load list.
enum class TGroup { Required, Version6, VersionQuery, Version70, Version71, Version80, Xml };

struct TFunction {
    const char* name;
    TGroup group;
    // Calls the function through the binding with zero arguments: numbers 0,
    // pointers into a zero-filled area (a pointer to a pointer reaches a
    // pointer to it), callbacks null.
    void (*call)(IGDSLibrary&);
};

// The zero-filled area, cleared again by every call.
void* ZeroArea();

template <typename T> T ZeroArgument()
{
    if constexpr (!std::is_pointer_v<T>) {
        return T{};
    } else {
        using TPointee = std::remove_cv_t<std::remove_pointer_t<T>>;
        if constexpr (std::is_function_v<TPointee>) {
            return nullptr;
        } else if constexpr (std::is_pointer_v<TPointee>) {
            static TPointee slot;
            slot = ZeroArgument<TPointee>();
            return &slot;
        } else {
            return static_cast<T>(ZeroArea());
        }
    }
}

template <typename R, typename... A> void CallWithZeros(R (IGDSLibrary::*function)(A...), IGDSLibrary& library)
{
    (library.*function)(ZeroArgument<std::decay_t<A>>()...);
}

// Every client function of the binding, in load order.
const std::vector<TFunction>& Functions();

// The message of the stand-in of a missing function of the group, and its SQL code.
QString SubstituteMessage(TGroup group, const QString& name);
int SubstituteSQLCode(TGroup group);

// Calls every function of the groups through the binding and checks that each
// raises its group's client error, passes through the trace hook only for the
// version-6 group, and never reaches the loaded library (checked by the caller
// where the library is a fake).
void ExpectSubstitutes(const std::set<TGroup>& groups);

// Records the texts that reach the trace hook while it lives.
class THookRecorder {
public:
    THookRecorder();
    ~THookRecorder();
    THookRecorder(const THookRecorder&) = delete;
    THookRecorder& operator=(const THookRecorder&) = delete;
    const QStringList& Errors() const;
    void Clear();

private:
    std::unique_ptr<IIBSQLMonitorHook> FPrevious;
    class TRecordingHook* FHook;
};

} // namespace bindingtest
