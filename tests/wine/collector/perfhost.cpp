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

namespace {

bool Plausible(const BYTE* block, DWORD size, DWORD offset) {
    if (offset + sizeof(PERF_OBJECT_TYPE) > size) return false;
    const PERF_OBJECT_TYPE* o = reinterpret_cast<const PERF_OBJECT_TYPE*>(block + offset);
    return o->HeaderLength == sizeof(PERF_OBJECT_TYPE) && o->DefinitionLength >= o->HeaderLength &&
           o->TotalByteLength >= o->DefinitionLength && offset + o->TotalByteLength <= size;
}

// `size` is the capacity of the buffer: a host that puts the first object after
// a whole PERF_DATA_BLOCK more does not count that gap in the size it reports.
void PrintObjects(const BYTE* block, DWORD size) {
    const PERF_DATA_BLOCK* head = reinterpret_cast<const PERF_DATA_BLOCK*>(block);
    std::printf("objects=%lu\n", static_cast<unsigned long>(head->NumObjectTypes));
    // The first object lies at HeaderLength; some hosts put it after a whole
    // PERF_DATA_BLOCK more.
    DWORD offset = head->HeaderLength;
    if (head->NumObjectTypes != 0 && !Plausible(block, size, offset)) offset += sizeof(PERF_DATA_BLOCK);
    for (DWORD n = 0; n < head->NumObjectTypes; ++n) {
        if (!Plausible(block, size, offset)) {
            std::printf("object %lu: bad layout at %lu\n", static_cast<unsigned long>(n),
                        static_cast<unsigned long>(offset));
            return;
        }
        const BYTE* obj = block + offset;
        const PERF_OBJECT_TYPE* o = reinterpret_cast<const PERF_OBJECT_TYPE*>(obj);
        std::printf("object index=%lu help=%lu counters=%lu instances=%ld total=%lu\n",
                    static_cast<unsigned long>(o->ObjectNameTitleIndex),
                    static_cast<unsigned long>(o->ObjectHelpTitleIndex), static_cast<unsigned long>(o->NumCounters),
                    static_cast<long>(o->NumInstances), static_cast<unsigned long>(o->TotalByteLength));
        const PERF_COUNTER_DEFINITION* defs = reinterpret_cast<const PERF_COUNTER_DEFINITION*>(obj + o->HeaderLength);
        const BYTE* inst = obj + o->DefinitionLength;
        for (long i = 0; i < o->NumInstances; ++i) {
            const PERF_INSTANCE_DEFINITION* d = reinterpret_cast<const PERF_INSTANCE_DEFINITION*>(inst);
            const WCHAR* name = reinterpret_cast<const WCHAR*>(inst + d->NameOffset);
            std::printf("instance \"");
            for (DWORD c = 0; c < d->NameLength / 2 && name[c] != 0; ++c)
                std::printf("%c", name[c] < 0x80 ? static_cast<char>(name[c]) : '?');
            std::printf("\"");
            const BYTE* counters = inst + d->ByteLength;
            for (DWORD k = 0; k < o->NumCounters; ++k) {
                DWORD v;
                std::memcpy(&v, counters + defs[k].CounterOffset, 4);
                std::printf(" %lu", static_cast<unsigned long>(v));
            }
            std::printf("\n");
            inst = counters + reinterpret_cast<const PERF_COUNTER_BLOCK*>(counters)->ByteLength;
        }
        offset += o->TotalByteLength;
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
        if (rc == ERROR_SUCCESS) PrintObjects(buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    RegCloseKey(HKEY_PERFORMANCE_DATA);
    std::fflush(stdout);
    return 0;
}
