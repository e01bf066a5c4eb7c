// What the DLL does when the loader attaches or detaches it.
//
// The trace file's stream belongs to the C library, which stays loaded, but its
// buffer is this DLL's own. A consumer that unloads the DLL without the last
// close would leave the stream pointing at memory that is gone, and the lines
// in it lost; so the file is written out and closed at the unload. At the end of
// the process the C library has closed every stream itself before the DLL hears
// of it, and the stream must not be touched again.
#include "trace.h"
#include "vortalis/winapi.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    const bool unloaded = reserved == nullptr;  // FreeLibrary, not the end of the process
    if (reason == DLL_PROCESS_DETACH && unloaded) CloseTraceFile();
    return TRUE;
}
