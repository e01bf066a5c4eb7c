// Times Wine's performance-data host: QUERIES calls of
// RegQueryValueExA(HKEY_PERFORMANCE_DATA, VALUENAME), after one that sizes the
// buffer, and prints the time per query and the objects of the last answer.
//   hostbench VALUENAME QUERIES [DLL]
// With DLL the provider's library is loaded first and stays loaded, so the host
// finds it in memory on every query instead of loading it each time.
#include <windows.h>
#include <winperf.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::printf("usage: hostbench VALUENAME QUERIES [DLL]\n");
        return 2;
    }
    const int queries = std::atoi(argv[2]);
    if (argc > 3 && LoadLibraryA(argv[3]) == nullptr) {
        std::printf("%s does not load: %lu\n", argv[3], static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    std::vector<BYTE> buffer(16384);
    DWORD objects = 0;
    auto query = [&]() -> LONG {
        for (;;) {
            DWORD size = static_cast<DWORD>(buffer.size()), type = 0;
            LONG rc = RegQueryValueExA(HKEY_PERFORMANCE_DATA, argv[1], nullptr, &type, buffer.data(), &size);
            if (rc != ERROR_MORE_DATA) {
                if (rc == ERROR_SUCCESS) objects = reinterpret_cast<const PERF_DATA_BLOCK*>(buffer.data())->NumObjectTypes;
                return rc;
            }
            buffer.resize(buffer.size() * 2);
        }
    };
    LONG rc = query();
    int failed = rc == ERROR_SUCCESS ? 0 : 1;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int q = 0; q < queries; ++q)
        if (query() != ERROR_SUCCESS) ++failed;
    QueryPerformanceCounter(&end);
    RegCloseKey(HKEY_PERFORMANCE_DATA);
    const double us = double(end.QuadPart - start.QuadPart) * 1e6 / double(frequency.QuadPart) / (queries ? queries : 1);
    std::printf("queries=%d failed=%d objects=%lu us_per_query=%.1f\n", queries, failed,
                static_cast<unsigned long>(objects), us);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
