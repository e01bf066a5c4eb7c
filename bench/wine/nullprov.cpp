// A performance provider that does nothing: it opens, returns no object and
// closes. The host comparison puts it in the collector's place to time what the
// host itself costs per query.
#include <windows.h>

extern "C" {

DWORD WINAPI NullOpen(LPWSTR) { return ERROR_SUCCESS; }

DWORD WINAPI NullCollect(LPWSTR, LPVOID*, LPDWORD totalBytes, LPDWORD numObjectTypes) {
    *totalBytes = 0;
    *numObjectTypes = 0;
    return ERROR_SUCCESS;
}

DWORD WINAPI NullClose(void) { return ERROR_SUCCESS; }
}
