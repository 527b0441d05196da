// The client library's names on Windows: first the name that InterBase-family
// installations provide; current Firebird installations often have only
// their own name.
#include "ibclient/GdsLibrary.h"

std::vector<const char*> PlatformClientLibraryNames()
{
    return {"gds32.dll", "fbclient.dll"};
}
