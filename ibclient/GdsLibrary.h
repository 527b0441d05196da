#pragma once
// The one process-wide binding of the database client library.

#include "ibclient/GdsTypes.h"
#include "ibclient/SharedLibrary.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// Client version as a fixed-point number: ten-thousandths (6.3 is 63000).
using TClientVersion = std::int64_t;

class IGDSLibrary {
public:
    virtual ~IGDSLibrary() = default;

    // Loads the client library and resolves its entries (see TDynamicLibrary).
    virtual void LoadIBLibrary() = 0;
    // Releases the client library and the XML extension library.
    virtual void FreeIBLibrary() = 0;
    // Loads when nothing is loaded; tells whether a library is loaded afterwards.
    virtual bool TryIBLoad() = 0;
    // TryIBLoad, raising client error 1 when no library could be loaded.
    virtual void CheckIBLoaded() = 0;
    virtual TClientVersion GetIBClientVersion() = 0;

#define GDS_FN(result, name, params, args) virtual result name params = 0;
#include "ibclient/GdsFunctions.inc"
};

// The binding every component takes when it is constructed. The first call
// creates it (loading nothing); it lives until the process ends.
IGDSLibrary& ClientLibrary();

// Names of the client library files that a load tries, in order, until one
// loads: the value of the environment variable ZUR_CLIENT_LIBRARY alone when
// set, otherwise the platform's client library names ("gds32.dll", then
// "fbclient.dll" on Windows), found through the platform's library search.
std::vector<const char*> ClientLibraryFileNames();
// The first of them.
const char* ClientLibraryFileName();
// The client library files this platform tries in turn, without the
// environment's override (ClientLibraryNames_win.cpp, _posix.cpp).
std::vector<const char*> PlatformClientLibraryNames();

// After a load in which no candidate loaded: the first candidate that the
// system found but that has the other bitness (a 32-bit gds32.dll for a
// 64-bit program), if any.
std::optional<TOtherBitnessLibrary> ClientLibraryOfOtherBitness();
