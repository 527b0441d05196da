/* A DLL of the other bitness than the build's (built with the other MinGW
 * compiler): a client library that this program's process cannot load. */
__declspec(dllexport) int isc_get_client_major_version(void)
{
    return 6;
}
