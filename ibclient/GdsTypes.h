#pragma once
// The client library's C types as this layer carries them. They mirror the
// published ones (GdsLibrary.cpp checks that they match), so that headers of
// this layer never need the C header itself.

#include <array>
#include <cstdint>

namespace gds {

using Status = std::intptr_t; // one word of a status vector (ISC_STATUS)

// ISC_LONG is a 32-bit number everywhere: int where long has 64 bits (64-bit
// Unix), long elsewhere (Windows, whose long has 32 bits in 64-bit builds too).
#if defined(_LP64) || defined(__LP64__) || defined(__arch64__)
using Long = int; // ISC_LONG
using ULong = unsigned int; // ISC_ULONG
#else
using Long = long; // ISC_LONG
using ULong = unsigned long; // ISC_ULONG
#endif

// Database, transaction, statement and service handles: a 32-bit number in
// 64-bit builds, a pointer in 32-bit ones.
#if defined(_LP64) || defined(__LP64__) || defined(__arch64__) || defined(_WIN64)
using Handle = unsigned int;
#else
using Handle = void*;
#endif
using EventCallback = void (*)(void*, unsigned short, const unsigned char*);

// The calling convention of the client library's functions (ISC_EXPORT):
// __stdcall on Windows (which only 32-bit builds tell apart), the C one elsewhere.
// Its variadic isc_event_block keeps the C convention on every platform.
#ifdef _WIN32
#define GDS_CALL __stdcall
#else
#define GDS_CALL
#endif

constexpr int StatusLength = 20;
using StatusVector = std::array<Status, StatusLength>;

// isc_event_block takes up to fifteen event names after its fixed arguments.
using EventNames = std::array<const char*, 15>;

} // namespace gds
