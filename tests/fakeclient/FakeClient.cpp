// A stand-in for the database client library, built by the tests. It records
// every call with the blocks it was given and answers from a script, so tests
// can see exact bytes and provoke failures that a real server cannot.
// Variants (see CMakeLists.txt) leave out exports or report other versions.

#include "ibclient/GdsTypes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#ifndef FAKE_MAJOR
#define FAKE_MAJOR 6
#endif
#ifndef FAKE_MINOR
#define FAKE_MINOR 3
#endif

#ifdef _WIN32
// The DLL exports what its module-definition file lists (see CMakeLists.txt).
#define FAKE_EXPORT extern "C"
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

struct Failure {
    long sqlCode = 0;
    std::vector<long> codes;
    std::vector<std::string> texts;
};

struct State {
    std::string log;
    std::map<std::string, int> counts;
    std::map<std::string, std::string> lastBlock;
    std::map<std::string, std::string> lastText;
    std::map<std::string, std::deque<Failure>> failures;
    std::deque<std::string> queryReplies;
    // Replies that the next failing isc_service_query calls leave in the
    // buffer, as a server sends a job's failure with the output before it.
    std::deque<std::string> failedQueryReplies;
    std::string infoReply = std::string("\x3e\x01\x00\x03\x01", 5);
    long sqlCode = 0;
    std::vector<std::string> texts; // texts of the current failure, kept alive for the vector
    std::uintptr_t nextHandle = 1;
};

State& state()
{
    static State s;
    return s;
}

// Handles are numbers in 64-bit builds and pointers in 32-bit ones.
template <typename H> H handleFrom(std::uintptr_t number)
{
    if constexpr (std::is_pointer_v<H>)
        return reinterpret_cast<H>(number);
    else
        return static_cast<H>(number);
}

gds::Handle newHandle()
{
    return handleFrom<gds::Handle>(state().nextHandle++);
}

void record(const char* name)
{
    state().log += name;
    state().log += '\n';
    ++state().counts[name];
}

void clearStatus(gds::Status* sv)
{
    if (sv) {
        sv[0] = 1;
        sv[1] = 0;
        sv[2] = 0;
    }
}

// Fills the status vector when a failure is scripted for this call; returns its status.
gds::Status scripted(const char* name, gds::Status* sv)
{
    record(name);
    auto& queue = state().failures[name];
    if (queue.empty()) {
        clearStatus(sv);
        return 0;
    }
    Failure f = queue.front();
    queue.pop_front();
    state().sqlCode = f.sqlCode;
    state().texts = f.texts;
    int w = 0;
    for (size_t i = 0; i < f.codes.size() && w + 5 < gds::StatusLength; ++i) {
        sv[w++] = 1;
        sv[w++] = f.codes[i];
        if (i < state().texts.size()) {
            sv[w++] = 2;
            sv[w++] = reinterpret_cast<gds::Status>(state().texts[i].c_str());
        }
    }
    sv[w] = 0;
    return f.codes.empty() ? 1 : f.codes[0];
}

} // namespace

// --- control functions for the tests ---------------------------------------

FAKE_EXPORT void fake_reset()
{
    state() = State();
}

FAKE_EXPORT const char* fake_log()
{
    return state().log.c_str();
}

FAKE_EXPORT int fake_count(const char* name)
{
    return state().counts[name];
}

FAKE_EXPORT int fake_last_block(const char* name, const char** bytes)
{
    const std::string& block = state().lastBlock[name];
    *bytes = block.data();
    return static_cast<int>(block.size());
}

FAKE_EXPORT const char* fake_last_text(const char* name)
{
    return state().lastText[name].c_str();
}

FAKE_EXPORT void fake_fail(const char* name, long sqlCode, int count, const long* codes, const char* const* texts)
{
    Failure f;
    f.sqlCode = sqlCode;
    for (int i = 0; i < count; ++i) {
        f.codes.push_back(codes[i]);
        f.texts.push_back(texts && texts[i] ? texts[i] : "");
    }
    state().failures[name].push_back(f);
}

FAKE_EXPORT void fake_push_query_reply(const char* bytes, int length)
{
    state().queryReplies.emplace_back(bytes, static_cast<size_t>(length));
}

FAKE_EXPORT void fake_fail_query_with_reply(const char* bytes, int length, long sqlCode, long code, const char* text)
{
    fake_fail("isc_service_query", sqlCode, 1, &code, &text);
    state().failedQueryReplies.emplace_back(bytes, static_cast<size_t>(length));
}

FAKE_EXPORT void fake_set_info_reply(const char* bytes, int length)
{
    state().infoReply.assign(bytes, static_cast<size_t>(length));
}

// --- the client functions --------------------------------------------------

FAKE_EXPORT gds::Long GDS_CALL isc_sqlcode(const gds::Status*)
{
    record("isc_sqlcode");
    return static_cast<gds::Long>(state().sqlCode);
}

FAKE_EXPORT gds::Long GDS_CALL isc_interprete(char* buffer, gds::Status** cursor)
{
    record("isc_interprete");
    gds::Status* w = *cursor;
    while (*w != 0 && *w != 1) // skip to the next error code
        w += (*w == 3) ? 3 : 2;
    if (*w == 0)
        return 0;
    const gds::Status code = w[1];
    w += 2;
    std::string text = "error " + std::to_string(code);
    if (*w == 2) {
        text = reinterpret_cast<const char*>(w[1]);
        w += 2;
    }
    std::strcpy(buffer, text.c_str());
    *cursor = w;
    return static_cast<gds::Long>(text.size());
}

FAKE_EXPORT gds::Long GDS_CALL isc_vax_integer(const char* buffer, short length)
{
    record("isc_vax_integer");
    if (!buffer || length <= 0 || length > 4)
        return 0;
    gds::Long value = 0;
    int shift = 0;
    for (short i = 0; i < length; ++i, shift += 8)
        value += static_cast<gds::Long>(static_cast<unsigned char>(buffer[i])) << shift;
    if (length < 4 && (value & (1 << (shift - 1))))
        value -= 1 << shift; // sign-extend
    return value;
}

FAKE_EXPORT gds::Status GDS_CALL isc_attach_database(
    gds::Status* sv, short nameLength, const char* name, gds::Handle* db, short dpbLength, const char* dpb)
{
    state().lastText["isc_attach_database"].assign(name, nameLength > 0 ? nameLength : std::strlen(name));
    state().lastBlock["isc_attach_database"].assign(dpb ? dpb : "", dpb ? dpbLength : 0);
    const gds::Status status = scripted("isc_attach_database", sv);
    if (status == 0)
        *db = newHandle();
    return status;
}

FAKE_EXPORT gds::Status GDS_CALL isc_detach_database(gds::Status* sv, gds::Handle* db)
{
    const gds::Status status = scripted("isc_detach_database", sv);
    if (status == 0)
        *db = 0;
    return status;
}

FAKE_EXPORT gds::Status GDS_CALL isc_drop_database(gds::Status* sv, gds::Handle* db)
{
    const gds::Status status = scripted("isc_drop_database", sv);
    if (status == 0)
        *db = 0;
    return status;
}

FAKE_EXPORT gds::Status GDS_CALL isc_database_info(
    gds::Status* sv, gds::Handle*, short itemLength, const char* items, short bufferLength, char* buffer)
{
    state().lastBlock["isc_database_info"].assign(items, itemLength);
    const gds::Status status = scripted("isc_database_info", sv);
    if (status == 0) {
        std::memset(buffer, 0, bufferLength);
        std::memcpy(buffer, state().infoReply.data(),
            std::min<size_t>(state().infoReply.size(), static_cast<size_t>(bufferLength)));
    }
    return status;
}

FAKE_EXPORT gds::Status GDS_CALL isc_service_attach(gds::Status* sv, unsigned short nameLength, const char* name,
    gds::Handle* handle, unsigned short spbLength, const char* spb)
{
    state().lastText["isc_service_attach"].assign(name, nameLength);
    state().lastBlock["isc_service_attach"].assign(spb ? spb : "", spb ? spbLength : 0);
    const gds::Status status = scripted("isc_service_attach", sv);
    if (status == 0)
        *handle = newHandle();
    return status;
}

FAKE_EXPORT gds::Status GDS_CALL isc_service_detach(gds::Status* sv, gds::Handle* handle)
{
    const gds::Status status = scripted("isc_service_detach", sv);
    if (status == 0)
        *handle = 0;
    return status;
}

FAKE_EXPORT gds::Status GDS_CALL isc_service_start(
    gds::Status* sv, gds::Handle*, gds::Handle*, unsigned short length, const char* block)
{
    state().lastBlock["isc_service_start"].assign(block ? block : "", block ? length : 0);
    return scripted("isc_service_start", sv);
}

FAKE_EXPORT gds::Status GDS_CALL isc_service_query(gds::Status* sv, gds::Handle*, gds::Handle*,
    unsigned short sendLength, const char* sendItems, unsigned short itemLength, const char* items,
    unsigned short bufferLength, char* buffer)
{
    state().lastBlock["isc_service_query"].assign(items ? items : "", items ? itemLength : 0);
    state().lastBlock["isc_service_query send"].assign(sendItems ? sendItems : "", sendItems ? sendLength : 0);
    const gds::Status status = scripted("isc_service_query", sv);
    if (status != 0 && !state().failedQueryReplies.empty()) {
        const std::string reply = state().failedQueryReplies.front();
        state().failedQueryReplies.pop_front();
        std::memcpy(buffer, reply.data(), std::min<size_t>(reply.size(), bufferLength));
    }
    if (status == 0) {
        // By default the output ends, in the form of the item asked for.
        std::string reply = std::string("\x3e\x00\x00\x01", 4);
        if (items && itemLength > 0)
            reply[0] = items[0];
        if (!state().queryReplies.empty()) {
            reply = state().queryReplies.front();
            state().queryReplies.pop_front();
        }
        std::memcpy(buffer, reply.data(), std::min<size_t>(reply.size(), bufferLength));
    }
    return status;
}

FAKE_EXPORT gds::Status GDS_CALL isc_commit_transaction(gds::Status* sv, gds::Handle* tr)
{
    const gds::Status status = scripted("isc_commit_transaction", sv);
    if (status == 0)
        *tr = 0;
    return status;
}

FAKE_EXPORT gds::Status GDS_CALL isc_rollback_transaction(gds::Status* sv, gds::Handle* tr)
{
    const gds::Status status = scripted("isc_rollback_transaction", sv);
    if (status == 0)
        *tr = 0;
    return status;
}

// A started transaction gets a handle, so that tests can see how it is finished.
FAKE_EXPORT gds::Status GDS_CALL isc_start_multiple(gds::Status* sv, gds::Handle* tr, short, void*)
{
    const gds::Status status = scripted("isc_start_multiple", sv);
    if (status == 0)
        *tr = newHandle();
    return status;
}

FAKE_EXPORT int GDS_CALL isc_get_client_major_version()
{
    record("isc_get_client_major_version");
    return FAKE_MAJOR;
}

FAKE_EXPORT int GDS_CALL isc_get_client_minor_version()
{
    record("isc_get_client_minor_version");
    return FAKE_MINOR;
}

FAKE_EXPORT void GDS_CALL isc_get_client_version(char* buffer)
{
    record("isc_get_client_version");
    std::strcpy(buffer, "fake client");
}

// Variadic, in the C convention on every platform.
FAKE_EXPORT gds::Long isc_event_block(unsigned char**, unsigned char**, unsigned short, ...)
{
    record("isc_event_block");
    return 0;
}

// Every other function only records its call and succeeds.
#define FAKE_SKIP(name)
#define GDS_FN(result, name, params, args)                                                                             \
    FAKE_EXPORT result GDS_CALL name params                                                                            \
    {                                                                                                                  \
        record(#name);                                                                                                 \
        return result();                                                                                               \
    }
#define GDS_REQUIRED_DONE
// Functions written out above are left out of the generated ones.
#define isc_sqlcode fake_gen_isc_sqlcode
#define isc_interprete fake_gen_isc_interprete
#define isc_vax_integer fake_gen_isc_vax_integer
#define isc_attach_database fake_gen_isc_attach_database
#define isc_detach_database fake_gen_isc_detach_database
#define isc_drop_database fake_gen_isc_drop_database
#define isc_database_info fake_gen_isc_database_info
#define isc_service_attach fake_gen_isc_service_attach
#define isc_service_detach fake_gen_isc_service_detach
#define isc_service_start fake_gen_isc_service_start
#define isc_service_query fake_gen_isc_service_query
#define isc_commit_transaction fake_gen_isc_commit_transaction
#define isc_rollback_transaction fake_gen_isc_rollback_transaction
#define isc_get_client_major_version fake_gen_isc_get_client_major_version
#define isc_get_client_minor_version fake_gen_isc_get_client_minor_version
#define isc_get_client_version fake_gen_isc_get_client_version
#define isc_start_multiple fake_gen_isc_start_multiple
#define isc_event_block fake_gen_isc_event_block
#include "ibclient/GdsFunctions.inc"
