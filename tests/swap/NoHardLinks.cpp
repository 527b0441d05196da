// Loaded into the restore road's helper (LD_PRELOAD) to give it a file system
// without hard links, as exFAT and FAT32 disks and some network shares are:
// every link fails as theirs do, and the road takes its two renames.

#include <cerrno>

extern "C" int link(const char*, const char*)
{
    errno = EPERM;
    return -1;
}

extern "C" int linkat(int, const char*, int, const char*, int)
{
    errno = EPERM;
    return -1;
}
