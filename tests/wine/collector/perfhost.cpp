// Asks Wine's performance-data host for data, as a consumer does, and prints
// every object it gets back in a form the tests compare.
//   perfhost VALUENAME [QUERIES [INTERVAL_MS [keep]]]
// With "keep" the collector is loaded first, so that its state (previous
// samples, hence rates) survives from one query to the next.
#include <windows.h>
#include <winperf.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "perfdata.h"

namespace {

// Every object of the block, read and checked by the tools' reader as a careful
// performance library checks it. `capacity` is the buffer's: a host that puts
// the first object after a whole PERF_DATA_BLOCK more does not count that gap
// in the size it reports.
void PrintObjects(const BYTE* block, DWORD capacity, DWORD size) {
    const PERF_DATA_BLOCK* head = reinterpret_cast<const PERF_DATA_BLOCK*>(block);
    std::printf("objects=%lu\n", static_cast<unsigned long>(head->NumObjectTypes));
    DataBlock data;
    BreachReport breach;
    if (!ReadDataBlock(block, capacity, size, CheckLevel::Strict, &data, &breach)) {
        std::printf("bad layout at %lu: %s\n", static_cast<unsigned long>(breach.offset), breach.message.c_str());
        return;
    }
    for (const ObjectData& o : data.objects) {
        std::printf("object index=%lu help=%lu counters=%lu instances=%ld total=%lu\n",
                    static_cast<unsigned long>(o.nameIndex), static_cast<unsigned long>(o.helpIndex),
                    static_cast<unsigned long>(o.counters.size()), static_cast<long>(o.numInstances),
                    static_cast<unsigned long>(o.totalLength));
        for (const InstanceData& i : o.instances) {
            std::printf("instance \"");
            for (char16_t c : i.name) std::printf("%c", c < 0x80 ? static_cast<char>(c) : '?');
            std::printf("\"");
            for (const CounterInfo& c : o.counters)
                std::printf(" %lu", static_cast<unsigned long>(CounterValue(block, i, c)));
            std::printf("\n");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: perfhost VALUENAME [QUERIES [INTERVAL_MS [keep]]]\n");
        return 2;
    }
    int queries = argc > 2 ? std::atoi(argv[2]) : 1;
    int interval = argc > 3 ? std::atoi(argv[3]) : 0;
    if (argc > 4 && std::strcmp(argv[4], "keep") == 0 && LoadLibraryA("VORTALIS.DLL") == nullptr) {
        std::printf("VORTALIS.DLL does not load: %lu\n", static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    std::vector<BYTE> buffer(4096);
    for (int q = 0; q < queries; ++q) {
        if (q != 0) Sleep(interval);
        LONG rc;
        DWORD size;
        for (;;) {
            size = static_cast<DWORD>(buffer.size());
            DWORD type = 0;
            rc = RegQueryValueExA(HKEY_PERFORMANCE_DATA, argv[1], nullptr, &type, buffer.data(), &size);
            if (rc != ERROR_MORE_DATA) break;
            buffer.resize(buffer.size() * 2);
        }
        std::printf("query %d rc=%ld\n", q + 1, static_cast<long>(rc));
        if (rc == ERROR_SUCCESS) PrintObjects(buffer.data(), static_cast<DWORD>(buffer.size()), size);
    }
    RegCloseKey(HKEY_PERFORMANCE_DATA);
    std::fflush(stdout);
    return 0;
}
