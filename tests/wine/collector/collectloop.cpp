// Loads VORTALIS.DLL and calls it directly, as a consumer that drives a provider
// itself would: one open, COLLECTS Collects INTERVAL_MS apart, one close.
// With "unload" it makes no close and unloads the DLL instead, as a consumer
// that stops early may, then ends as usual; with "leave" it makes no close and
// ends with the DLL still loaded.
//   collectloop COLLECTS INTERVAL_MS [unload|leave]
// Prints "open=RC collects=N returned=K failed=F close=RC", or close=none and
// whether the DLL was unloaded (freed=1) or left (freed=0).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

typedef DWORD(WINAPI* OpenFn)(LPWSTR);
typedef DWORD(WINAPI* CollectFn)(LPWSTR, LPVOID*, LPDWORD, LPDWORD);
typedef DWORD(WINAPI* CloseFn)(void);

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: collectloop COLLECTS INTERVAL_MS [unload|leave]\n");
        return 2;
    }
    const int collects = std::atoi(argv[1]);
    const int interval = std::atoi(argv[2]);
    const bool unload = argc > 3 && std::strcmp(argv[3], "unload") == 0;
    const bool leave = argc > 3 && std::strcmp(argv[3], "leave") == 0;
    HMODULE dll = LoadLibraryA("VORTALIS.DLL");
    if (dll == nullptr) {
        std::printf("VORTALIS.DLL does not load: %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    OpenFn open = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(GetProcAddress(dll, "VortalisOpen")));
    CollectFn collect = reinterpret_cast<CollectFn>(reinterpret_cast<void*>(GetProcAddress(dll, "VortalisCollect")));
    CloseFn close = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(dll, "VortalisClose")));
    if (open == nullptr || collect == nullptr || close == nullptr) {
        std::printf("an entry point is missing\n");
        return 1;
    }
    static BYTE buffer[8192];
    WCHAR global[] = L"Global";
    const DWORD opened = open(nullptr);
    int returned = 0, failed = 0;
    for (int i = 0; i < collects && opened == 0; ++i) {
        if (i != 0 && interval > 0) Sleep(interval);
        LPVOID cursor = buffer;
        DWORD bytes = sizeof buffer, objects = 0;
        DWORD rc = collect(global, &cursor, &bytes, &objects);
        if (rc != 0) ++failed;
        else if (objects == 1) ++returned;
    }
    if (unload || leave) {
        const BOOL freed = unload && FreeLibrary(dll);
        std::printf("open=%lu collects=%d returned=%d failed=%d close=none freed=%d\n",
                    static_cast<unsigned long>(opened), collects, returned, failed, freed ? 1 : 0);
        std::fflush(stdout);
        return opened == 0 && failed == 0 && (leave || freed) ? 0 : 1;
    }
    const DWORD closed = opened == 0 ? close() : 0;
    std::printf("open=%lu collects=%d returned=%d failed=%d close=%lu\n", static_cast<unsigned long>(opened),
                collects, returned, failed, static_cast<unsigned long>(closed));
    std::fflush(stdout);
    return opened == 0 && failed == 0 && closed == 0 ? 0 : 1;
}
