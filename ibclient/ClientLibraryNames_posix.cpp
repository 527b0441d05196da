// The client library's name on POSIX systems.
#include "ibclient/GdsLibrary.h"

std::vector<const char*> PlatformClientLibraryNames()
{
    return {"libfbclient.so.2"};
}
