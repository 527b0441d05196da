#pragma once
// The client library's C types as this layer carries them. They mirror the
// published ones (GdsLibrary.cpp checks that they match), so that headers of
// this layer never need the C header itself.

#include <array>
#include <cstdint>

namespace gds {

using Status = std::intptr_t; // one word of a status vector (ISC_STATUS)
using Handle = unsigned int; // database, transaction, statement and service handles
using Long = int; // ISC_LONG
using ULong = unsigned int; // ISC_ULONG
using EventCallback = void (*)(void*, unsigned short, const unsigned char*);

constexpr int StatusLength = 20;
using StatusVector = std::array<Status, StatusLength>;

// isc_event_block takes up to fifteen event names after its fixed arguments.
using EventNames = std::array<const char*, 15>;

} // namespace gds
