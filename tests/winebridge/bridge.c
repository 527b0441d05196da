/* A client library for Windows programs under Wine, for tests only (never
 * packed): loaded as gds32.dll, it forwards the classic client API to this
 * machine's libfbclient.so.2, so that the Windows build speaks to a real
 * Firebird server. Built by tests/winebridge/build with winegcc.
 *
 * Its one liberty: a Windows program names files as Windows sees them, and the
 * Linux server cannot open Wine's drive paths (the Linux client even reads
 * "C:\x.fdb" as host "C"). So in the attach string and in the file names of
 * the backup and restore service blocks a name on Wine's Z: drive ("Z:\...",
 * the program's ANSI code page) becomes the Linux name of that file ("/...",
 * as Wine finds it, in the system's character set), the name under which a
 * Windows server on this machine would see the same file. Everything else,
 * the server's answers included, passes untouched.
 *
 * What forwarding itself needs:
 *  - every export has the Windows calling convention (WINAPI, __stdcall on
 *    i386, the Microsoft x64 one on x86_64), the variadic isc_event_block the
 *    C one; the library is called with the Linux ABI;
 *  - Windows' struct tm is the nine int fields only, Linux's is longer: the
 *    date functions go through a Linux struct tm of their own;
 *  - an event callback is the program's code: it is called through an
 *    adapter in the Windows convention (on the client library's thread, which
 *    Wine does not know; nothing of the program queues events today).
 * Win64's long is 32-bit, Linux's 64-bit: the client API has no plain long,
 * its ISC_LONG is 32-bit on both, and the other types have one size on both. */

#include <windows.h>

#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

/* winegcc declares Windows: ibase.h must declare the Linux library's
 * functions, with the Linux ABI and the Linux handle types. */
#undef WIN32
#undef _WIN32
#undef __WIN32__
#undef _WIN64
#include <ibase.h>

/* --- File names ------------------------------------------------------------ */

static int IsWineZPath(const char* name, size_t length)
{
    return length >= 3 && (name[0] == 'Z' || name[0] == 'z') && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
}

/* The Linux name of a Z: file name given in the ANSI code page, in malloc'd
 * memory: as Wine resolves it (case, character set), or, where Wine finds no
 * such folder, the same text with "/" for "\" in UTF-8 (the server then says
 * what is missing under that name). */
static char* LinuxName(const char* name, size_t length)
{
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, name, (int)length, NULL, 0);
    WCHAR* wide = calloc((size_t)wideLength + 1, sizeof(WCHAR));
    char* result = NULL;
    if (!wide)
        return NULL;
    MultiByteToWideChar(CP_ACP, 0, name, (int)length, wide, wideLength);
    char* unixName = wine_get_unix_file_name(wide);
    if (unixName) {
        result = strdup(unixName);
        HeapFree(GetProcessHeap(), 0, unixName);
    } else {
        const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide + 2, wideLength - 2, NULL, 0, NULL, NULL);
        result = calloc((size_t)utf8Length + 1, 1);
        if (result) {
            WideCharToMultiByte(CP_UTF8, 0, wide + 2, wideLength - 2, result, utf8Length, NULL, NULL);
            for (char* c = result; *c; ++c)
                if (*c == '\\')
                    *c = '/';
        }
    }
    free(wide);
    return result;
}

/* An attach string "[server:]file": the file part mapped when it is a Z:
 * name. *mapped is malloc'd or NULL (the string stays as it is). */
static char* MapAttachString(const char* text, size_t length, size_t* mappedLength)
{
    /* The file part starts at the text or right after a ':' (the server's
     * prefix "host:", "host/port:"); its drive letter is the one before ':'. */
    for (size_t at = 0; at + 3 <= length; ++at) {
        if ((at == 0 || text[at - 1] == ':') && IsWineZPath(text + at, length - at)) {
            char* file = LinuxName(text + at, length - at);
            if (!file)
                return NULL;
            const size_t fileLength = strlen(file);
            char* result = malloc(at + fileLength + 1);
            if (result) {
                memcpy(result, text, at);
                memcpy(result + at, file, fileLength + 1);
                *mappedLength = at + fileLength;
            }
            free(file);
            return result;
        }
    }
    return NULL;
}

/* The service start block of a backup, a restore or a change of a database's
 * properties (its shutdown and return online) with its file names
 * (isc_spb_dbname, isc_spb_bkp_file) mapped, in malloc'd memory; NULL for
 * any other block, or one with an item this reader does not know (it then
 * goes to the server untouched, which judges it). */
static char* MapServiceBlock(const unsigned char* block, size_t length, size_t* mappedLength)
{
    if (length == 0
        || (block[0] != isc_action_svc_backup && block[0] != isc_action_svc_restore
            && block[0] != isc_action_svc_properties))
        return NULL;
    const int properties = block[0] == isc_action_svc_properties;
    /* Mapped names are at most a few times longer than the ANSI ones. */
    const size_t capacity = length * 4 + 64;
    unsigned char* out = malloc(capacity);
    if (!out)
        return NULL;
    size_t in = 1, used = 1;
    out[0] = block[0];
    while (in < length) {
        const unsigned char tag = block[in];
        size_t itemLength;
        switch (tag) {
        case isc_spb_dbname:
        case isc_spb_bkp_file:
        case isc_spb_bkp_skip_data:
        case isc_spb_bkp_stat:
        case isc_spb_res_fix_fss_data:
        case isc_spb_res_fix_fss_metadata:
        case isc_spb_sql_role_name: {
            if (in + 3 > length)
                goto unknown;
            const size_t textLength = block[in + 1] | (size_t)block[in + 2] << 8;
            if (in + 3 + textLength > length)
                goto unknown;
            const char* text = (const char*)block + in + 3;
            char* file = NULL;
            if ((tag == isc_spb_dbname || tag == isc_spb_bkp_file) && IsWineZPath(text, textLength))
                file = LinuxName(text, textLength);
            const size_t newLength = file ? strlen(file) : textLength;
            if (newLength > 0xFFFF || used + 3 + newLength > capacity) {
                free(file);
                goto unknown;
            }
            out[used] = tag;
            out[used + 1] = (unsigned char)(newLength & 0xFF);
            out[used + 2] = (unsigned char)(newLength >> 8);
            memcpy(out + used + 3, file ? file : text, newLength);
            used += 3 + newLength;
            in += 3 + textLength;
            free(file);
            continue;
        }
        case isc_spb_verbose:
            if (properties)
                goto unknown;
            itemLength = 1;
            break;
        case isc_spb_res_access_mode:
            if (properties)
                goto unknown;
            itemLength = 2;
            break;
        /* The properties action's own items share their codes with the
         * backup's and the restore's: read only for that action. */
        case isc_spb_prp_shutdown_mode:
        case isc_spb_prp_online_mode:
            if (!properties)
                goto unknown;
            itemLength = 2;
            break;
        case isc_spb_prp_attachments_shutdown:
        case isc_spb_prp_transactions_shutdown:
        case isc_spb_prp_force_shutdown:
            if (!properties)
                goto unknown;
            itemLength = 5;
            break;
        case isc_spb_options:
        case isc_spb_bkp_factor:
        case isc_spb_bkp_length:
        case isc_spb_res_length:
        case isc_spb_res_buffers:
        case isc_spb_res_page_size:
        case isc_spb_verbint:
            itemLength = 5;
            break;
        default:
            goto unknown;
        }
        if (in + itemLength > length || used + itemLength > capacity)
            goto unknown;
        memcpy(out + used, block + in, itemLength);
        used += itemLength;
        in += itemLength;
    }
    *mappedLength = used;
    return (char*)out;
unknown:
    free(out);
    return NULL;
}

/* --- The mark of a test that reached the server ---------------------------- */

static void MarkReached(const ISC_STATUS* status)
{
    static int marked;
    if (marked || !status || status[1] != 0)
        return;
    marked = 1;
    const char* file = getenv("ZUR_BRIDGE_MARKS");
    const char* test = getenv("ZUR_BRIDGE_TEST");
    if (!file || !*file || !test || !*test)
        return;
    const int fd = open(file, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return;
    char line[1024];
    const size_t length = strlen(test) < sizeof line - 1 ? strlen(test) : sizeof line - 2;
    memcpy(line, test, length);
    line[length] = '\n';
    /* One write of one line: lines of tests running side by side stay whole. */
    if (write(fd, line, length + 1) < 0) { }
    close(fd);
}

/* --- The functions with a mapping ------------------------------------------ */

ISC_STATUS WINAPI b_isc_attach_database(ISC_STATUS* status, short length, const ISC_SCHAR* name, isc_db_handle* handle,
    short dpbLength, const ISC_SCHAR* dpb)
{
    const size_t given = length ? (size_t)(unsigned short)length : (name ? strlen(name) : 0);
    size_t mappedLength = 0;
    char* mapped = name ? MapAttachString(name, given, &mappedLength) : NULL;
    if (!mapped || mappedLength > 0x7FFF) {
        free(mapped);
        const ISC_STATUS result = isc_attach_database(status, length, name, handle, dpbLength, dpb);
        MarkReached(status);
        return result;
    }
    const ISC_STATUS result = isc_attach_database(status, (short)mappedLength, mapped, handle, dpbLength, dpb);
    free(mapped);
    MarkReached(status);
    return result;
}

ISC_STATUS WINAPI b_isc_service_start(ISC_STATUS* status, isc_svc_handle* service, isc_resv_handle* reserved,
    unsigned short length, const ISC_SCHAR* block)
{
    size_t mappedLength = 0;
    char* mapped = block ? MapServiceBlock((const unsigned char*)block, length, &mappedLength) : NULL;
    if (!mapped || mappedLength > 0xFFFF) {
        free(mapped);
        return isc_service_start(status, service, reserved, length, block);
    }
    const ISC_STATUS result = isc_service_start(status, service, reserved, (unsigned short)mappedLength, mapped);
    free(mapped);
    return result;
}

ISC_STATUS WINAPI b_isc_service_attach(ISC_STATUS* status, unsigned short length, const ISC_SCHAR* name,
    isc_svc_handle* service, unsigned short spbLength, const ISC_SCHAR* spb)
{
    const ISC_STATUS result = isc_service_attach(status, length, name, service, spbLength, spb);
    MarkReached(status);
    return result;
}

/* --- Dates: Windows' struct tm is the first nine fields of Linux's ---------- */

struct WindowsTm {
    int tm_sec, tm_min, tm_hour, tm_mday, tm_mon, tm_year, tm_wday, tm_yday, tm_isdst;
};

static void ToWindowsTm(const struct tm* from, void* to)
{
    struct WindowsTm* result = to;
    result->tm_sec = from->tm_sec;
    result->tm_min = from->tm_min;
    result->tm_hour = from->tm_hour;
    result->tm_mday = from->tm_mday;
    result->tm_mon = from->tm_mon;
    result->tm_year = from->tm_year;
    result->tm_wday = from->tm_wday;
    result->tm_yday = from->tm_yday;
    result->tm_isdst = from->tm_isdst;
}

static struct tm FromWindowsTm(const void* from)
{
    const struct WindowsTm* given = from;
    struct tm result;
    memset(&result, 0, sizeof result);
    result.tm_sec = given->tm_sec;
    result.tm_min = given->tm_min;
    result.tm_hour = given->tm_hour;
    result.tm_mday = given->tm_mday;
    result.tm_mon = given->tm_mon;
    result.tm_year = given->tm_year;
    result.tm_wday = given->tm_wday;
    result.tm_yday = given->tm_yday;
    result.tm_isdst = given->tm_isdst;
    return result;
}

#define BRIDGE_DECODE(name, type)                                                                                      \
    void WINAPI b_##name(const type* value, void* times)                                                               \
    {                                                                                                                  \
        struct tm linuxTimes;                                                                                          \
        memset(&linuxTimes, 0, sizeof linuxTimes);                                                                     \
        name(value, &linuxTimes);                                                                                      \
        ToWindowsTm(&linuxTimes, times);                                                                               \
    }
#define BRIDGE_ENCODE(name, type)                                                                                      \
    void WINAPI b_##name(const void* times, type* value)                                                               \
    {                                                                                                                  \
        struct tm linuxTimes = FromWindowsTm(times);                                                                   \
        name(&linuxTimes, value);                                                                                      \
    }
BRIDGE_DECODE(isc_decode_date, ISC_QUAD)
BRIDGE_DECODE(isc_decode_sql_date, ISC_DATE)
BRIDGE_DECODE(isc_decode_sql_time, ISC_TIME)
BRIDGE_DECODE(isc_decode_timestamp, ISC_TIMESTAMP)
BRIDGE_ENCODE(isc_encode_date, ISC_QUAD)
BRIDGE_ENCODE(isc_encode_sql_date, ISC_DATE)
BRIDGE_ENCODE(isc_encode_sql_time, ISC_TIME)
BRIDGE_ENCODE(isc_encode_timestamp, ISC_TIMESTAMP)

/* --- Events ---------------------------------------------------------------- */

typedef void(WINAPIV* WindowsEventCallback)(void*, ISC_USHORT, const ISC_UCHAR*);

struct EventAdapter {
    WindowsEventCallback callback;
    void* argument;
};

/* The client library calls each queued callback once. */
static void EventAdapterCall(void* adapter, ISC_USHORT length, const ISC_UCHAR* updated)
{
    struct EventAdapter* a = adapter;
    a->callback(a->argument, length, updated);
    free(a);
}

ISC_STATUS WINAPI b_isc_que_events(ISC_STATUS* status, isc_db_handle* db, ISC_LONG* id, short length,
    const ISC_UCHAR* events, WindowsEventCallback callback, void* argument)
{
    if (!callback)
        return isc_que_events(status, db, id, length, events, NULL, argument);
    struct EventAdapter* adapter = malloc(sizeof *adapter);
    if (!adapter)
        return isc_que_events(status, db, id, length, events, NULL, argument);
    adapter->callback = callback;
    adapter->argument = argument;
    const ISC_STATUS result = isc_que_events(status, db, id, length, events, EventAdapterCall, adapter);
    if (result)
        free(adapter);
    return result;
}

/* Variadic, in the C convention: up to fifteen names after the count. */
ISC_LONG WINAPIV b_isc_event_block(ISC_UCHAR** events, ISC_UCHAR** results, ISC_USHORT count, ...)
{
    const char* names[15] = {0};
#ifdef __x86_64__
    __builtin_ms_va_list arguments;
    __builtin_ms_va_start(arguments, count);
    for (int i = 0; i < count && i < 15; ++i)
        names[i] = __builtin_va_arg(arguments, const char*);
    __builtin_ms_va_end(arguments);
#else
    va_list arguments;
    va_start(arguments, count);
    for (int i = 0; i < count && i < 15; ++i)
        names[i] = va_arg(arguments, const char*);
    va_end(arguments);
#endif
    return isc_event_block(events, results, count, names[0], names[1], names[2], names[3], names[4], names[5], names[6],
        names[7], names[8], names[9], names[10], names[11], names[12], names[13], names[14]);
}

/* --- Everything else: the same call in the Windows convention --------------- */

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define FORWARD(result, name, params, args)                                                                            \
    result WINAPI b_##name params                                                                                      \
    {                                                                                                                  \
        return name args;                                                                                              \
    }
#define FORWARD_VOID(name, params, args)                                                                               \
    void WINAPI b_##name params                                                                                        \
    {                                                                                                                  \
        name args;                                                                                                     \
    }
#include "forwards.inc"
