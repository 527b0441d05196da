#include "ibclient/GdsLibrary.h"

#include "ibclient/Errors.h"
#include "ibclient/SharedLibrary.h"

#include <ibase.h>

#include <cstdlib>
#include <iterator>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

static_assert(std::is_same_v<gds::Status, ISC_STATUS>, "status word type");
static_assert(std::is_same_v<gds::Handle, isc_db_handle>, "handle type");
static_assert(std::is_same_v<gds::Long, ISC_LONG>, "ISC_LONG");
static_assert(std::is_same_v<gds::ULong, ISC_ULONG>, "ISC_ULONG");
static_assert(gds::StatusLength == ISC_STATUS_LENGTH, "status vector length");

// Every client function of the binding takes the published parameters: the
// same count, the same scalar types, and a pointer wherever the C API has one
// (structures this layer never builds travel as untyped pointers).
namespace signature {

template <typename Ours, typename Theirs> constexpr bool SameParameter()
{
    if constexpr (std::is_same_v<Ours, Theirs>)
        return true;
    else
        return std::is_pointer_v<Ours> && std::is_pointer_v<Theirs>;
}

template <typename Ours, typename Theirs, typename = void> struct TParameters : std::false_type {
};
template <typename... Ours, typename... Theirs>
struct TParameters<std::tuple<Ours...>, std::tuple<Theirs...>, std::enable_if_t<sizeof...(Ours) == sizeof...(Theirs)>>
    : std::bool_constant<(SameParameter<Ours, Theirs>() && ... && true)> {
};

// The published function must have the client library's calling convention
// (ISC_EXPORT) as well: a pointer of another convention matches nothing here.
template <typename Ours, typename Theirs> struct TMatches : std::false_type {
};
template <typename R, typename... Ours, typename... Theirs>
struct TMatches<R(Ours...), R(GDS_CALL*)(Theirs...)> : TParameters<std::tuple<Ours...>, std::tuple<Theirs...>> {
};
// isc_event_block takes its names as variadic arguments.
template <>
struct TMatches<gds::Long(unsigned char**, unsigned char**, unsigned short, const gds::EventNames&),
    ISC_LONG (*)(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT, ...)> : std::true_type {
};

// Only the functions that the published header declares; the InterBase-only
// ones (7.0 and later, XML) have no declaration to compare with.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define GDS_CHECK(result, name, params, args)                                                                          \
    static_assert(TMatches<result params, decltype(&::name)>::value, #name " differs from the published API");
#define GDS_REQUIRED GDS_CHECK
#define GDS_V6 GDS_CHECK
#define GDS_VERSION GDS_CHECK
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
#undef GDS_CHECK
#pragma GCC diagnostic pop

} // namespace signature

namespace {

std::optional<TOtherBitnessLibrary>& OtherBitnessRecord()
{
    static std::optional<TOtherBitnessLibrary> record;
    return record;
}

// Which substitute takes the place of a function the library lacks.
enum class TSubstitute { None, Version6, Version70, Version71, Version80, Xml };

// The entry pointer type of a client function, in the library's calling
// convention; isc_event_block is variadic (and has the C convention).
template <typename Signature> struct EntryOf;
template <typename R, typename... Parameters> struct EntryOf<R(Parameters...)> {
    using type = R(GDS_CALL*)(Parameters...);
};
template <> struct EntryOf<gds::Long(unsigned char**, unsigned char**, unsigned short, const gds::EventNames&)> {
    using type = gds::Long (*)(unsigned char**, unsigned char**, unsigned short, ...);
};

// Calls an entry with the operation's arguments; isc_event_block's names are
// spread over its variadic arguments.
template <typename F> struct TCaller {
    F entry;
    template <typename... A> auto operator()(A... arguments) const { return entry(arguments...); }
};
template <> struct TCaller<gds::Long (*)(unsigned char**, unsigned char**, unsigned short, ...)> {
    gds::Long (*entry)(unsigned char**, unsigned char**, unsigned short, ...);
    gds::Long operator()(
        unsigned char** eventBuffer, unsigned char** resultBuffer, unsigned short count, const gds::EventNames& n) const
    {
        return entry(eventBuffer, resultBuffer, count, n[0], n[1], n[2], n[3], n[4], n[5], n[6], n[7], n[8], n[9],
            n[10], n[11], n[12], n[13], n[14]);
    }
};
template <typename F> TCaller<F> Caller(F entry)
{
    return TCaller<F>{entry};
}

// What the substitute of a function that the loaded library lacks raises.
[[noreturn]] void RaiseSubstitute(TSubstitute kind, const char* name)
{
    const QString function = QString::fromLatin1(name);
    // The version-6 group is a client error of the table; the other groups
    // raise directly, most with a blank after the name.
    QString format;
    QString argument = function + u' ';
    switch (kind) {
    case TSubstitute::Version6:
        RaiseClientError(ibxeIB60feature, {function});
    case TSubstitute::Version70:
        format = QStringLiteral("%1 is an InterBase 7.0 function. Please upgrade to InterBase 7.0 to use this "
                                "functonality");
        break;
    case TSubstitute::Version71:
        format = QStringLiteral("%1 is an InterBase 7.1 function. Please upgrade to InterBase 7.1 to use this "
                                "functonality");
        break;
    case TSubstitute::Version80:
        format = QStringLiteral("%1 is an InterBase 2007 function. Please upgrade to InterBase 2007 to use this "
                                "functonality");
        argument = function;
        break;
    case TSubstitute::Xml:
    case TSubstitute::None:
        format = QStringLiteral("%1 is an InterBase 6.5 function. Please upgrade to InterBase 6.5 to use this "
                                "functonality");
        break;
    }
    throw EIBClientError(0, format.arg(argument));
}

// One client function: its resolved entry, or the substitute that stands in.
template <typename Signature> struct TEntry {
    typename EntryOf<Signature>::type function = nullptr;
    TSubstitute substitute = TSubstitute::None;
};

class TDynamicLibrary final : public IGDSLibrary {
public:
    void LoadIBLibrary() override;
    void FreeIBLibrary() override;
    bool TryIBLoad() override;
    void CheckIBLoaded() override;
    TClientVersion GetIBClientVersion() override;

#define GDS_FN(result, name, params, args)                                                                             \
    result name params override                                                                                        \
    {                                                                                                                  \
        return Caller(Entry(F##name, #name)) args;                                                                     \
    }
#include "ibclient/GdsFunctions.inc"

private:
    // The entry to call. Before the first load (or after a failed one) the
    // call loads the library first, so an entry is never handed out that no
    // load has resolved.
    template <typename E> auto Entry(E& entry, const char* name) -> decltype(entry.function)
    {
        if (!entry.function && entry.substitute == TSubstitute::None)
            CheckIBLoaded();
        if (entry.substitute != TSubstitute::None)
            RaiseSubstitute(entry.substitute, name);
        if (!entry.function)
            RaiseClientError(ibxeGDSLibraryNotFound);
        return entry.function;
    }

    template <typename E> void RequireEntry(E& entry, const char* name)
    {
        entry.substitute = TSubstitute::None;
        entry.function = reinterpret_cast<decltype(entry.function)>(FLibrary.Symbol(name));
        if (!entry.function) {
            const int code = FLibrary.LastErrorCode();
            QString text = FLibrary.LastErrorText();
            if (code == 0 && text.isEmpty())
                text = QStringLiteral("A call to an OS function failed");
            throw EOSError(code, QStringLiteral("System Error.  Code: %1.\r\n%2").arg(QString::number(code), text));
        }
    }

    template <typename E> bool ProbeEntry(E& entry, const char* name)
    {
        entry.substitute = TSubstitute::None;
        entry.function = reinterpret_cast<decltype(entry.function)>(FLibrary.Symbol(name));
        return entry.function != nullptr;
    }

    template <typename E> static void Substitute(E& entry, TSubstitute kind)
    {
        entry.function = nullptr;
        entry.substitute = kind;
    }

    void ResolveEntries();
    void ClearEntries();

    SharedLibrary FLibrary;
    TClientVersion FClientVersion = 0;

#define GDS_FN(result, name, params, args) TEntry<result params> F##name;
#include "ibclient/GdsFunctions.inc"
};

void TDynamicLibrary::LoadIBLibrary()
{
    // A new load starts from nothing: no entry of an earlier load survives it.
    FreeIBLibrary();
    OtherBitnessRecord().reset();
    PrepareClientTextLocale();
    // A file of the other bitness is passed over (Windows' loader would not go
    // on by itself); the first one is told when no candidate loads.
    std::optional<TOtherBitnessLibrary> otherBitness;
    for (const char* fileName : ClientLibraryFileNames()) {
        if (FLibrary.Open(fileName))
            break;
        if (!otherBitness)
            otherBitness = FLibrary.OtherBitness();
    }
    if (!FLibrary.IsOpen())
        OtherBitnessRecord() = otherBitness;
    if (!FLibrary.IsOpen())
        return;
    try {
        ResolveEntries();
    } catch (...) {
        // Never hand out a half-resolved binding: report that none is loaded.
        FreeIBLibrary();
        throw;
    }
}

void TDynamicLibrary::ResolveEntries()
{
#define GDS_REQUIRED(result, name, params, args) RequireEntry(F##name, #name);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"

    if (ProbeEntry(Fisc_rollback_retaining, "isc_rollback_retaining")) {
        FClientVersion = 60000;
#define GDS_V6(result, name, params, args)                                                                             \
    if (std::string_view(#name) != "isc_rollback_retaining")                                                           \
        RequireEntry(F##name, #name);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
    } else {
        FClientVersion = 50000;
#define GDS_V6(result, name, params, args) Substitute(F##name, TSubstitute::Version6);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
    }

    if (ProbeEntry(Fisc_get_client_version, "isc_get_client_version")) {
        RequireEntry(Fisc_get_client_major_version, "isc_get_client_major_version");
        RequireEntry(Fisc_get_client_minor_version, "isc_get_client_minor_version");
        const TClientVersion major = Fisc_get_client_major_version.function();
        const TClientVersion minor = Fisc_get_client_minor_version.function();
        // major + minor / 10, in ten-thousandths.
        FClientVersion = major * 10000 + minor * 1000;
    } else {
#define GDS_VERSION(result, name, params, args) Substitute(F##name, TSubstitute::Version70);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
    }

    if (FClientVersion >= 70000) {
#define GDS_V7(result, name, params, args) RequireEntry(F##name, #name);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
        if (FClientVersion >= 71000) {
#define GDS_V71(result, name, params, args) RequireEntry(F##name, #name);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
        } else {
#define GDS_V71(result, name, params, args) Substitute(F##name, TSubstitute::Version71);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
        }
        if (FClientVersion >= 80000) {
#define GDS_V80(result, name, params, args) RequireEntry(F##name, #name);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
        } else {
#define GDS_V80(result, name, params, args) Substitute(F##name, TSubstitute::Version80);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
        }
    } else {
#define GDS_V7(result, name, params, args) Substitute(F##name, TSubstitute::Version70);
#define GDS_V71(result, name, params, args) Substitute(F##name, TSubstitute::Version71);
#define GDS_V80(result, name, params, args) Substitute(F##name, TSubstitute::Version80);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
    }

    // Nothing in this system uses the XML extension library, so it is not probed.
#define GDS_XML(result, name, params, args) Substitute(F##name, TSubstitute::Xml);
#define GDS_FN(result, name, params, args)
#include "ibclient/GdsFunctions.inc"
}

void TDynamicLibrary::ClearEntries()
{
#define GDS_FN(result, name, params, args) F##name = {};
#include "ibclient/GdsFunctions.inc"
}

void TDynamicLibrary::FreeIBLibrary()
{
    ClearEntries();
    FLibrary.Close();
}

bool TDynamicLibrary::TryIBLoad()
{
    if (!FLibrary.IsOpen())
        LoadIBLibrary();
    return FLibrary.IsOpen();
}

void TDynamicLibrary::CheckIBLoaded()
{
    if (!TryIBLoad())
        RaiseClientError(ibxeGDSLibraryNotFound);
}

TClientVersion TDynamicLibrary::GetIBClientVersion()
{
    CheckIBLoaded();
    return FClientVersion;
}

} // namespace

IGDSLibrary& ClientLibrary()
{
    // Never destroyed: the client library stays loaded until the process ends.
    static TDynamicLibrary* const library = [] {
        static std::aligned_storage_t<sizeof(TDynamicLibrary), alignof(TDynamicLibrary)> storage;
        return ::new (&storage) TDynamicLibrary();
    }();
    return *library;
}

std::optional<TOtherBitnessLibrary> ClientLibraryOfOtherBitness()
{
    return OtherBitnessRecord();
}

std::vector<const char*> ClientLibraryFileNames()
{
    const char* name = std::getenv("ZUR_CLIENT_LIBRARY");
    if (name && *name)
        return {name};
    return PlatformClientLibraryNames();
}

const char* ClientLibraryFileName()
{
    return ClientLibraryFileNames().front();
}
