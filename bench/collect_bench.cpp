// What a Collect costs against the stand-in queue manager, beside the floor of
// the same work: the copies that no collector can avoid, one 2040-byte status
// record per channel and one copy of the object into the caller's buffer. Also
// Open + Collect + Close (what Wine's performance-data host does for every
// query), the heap allocations made during Collect, and the status queries of
// a 20-channel Collect on their own (how much of a Collect is the stand-in's).
//
// Prints Google Benchmark's table, then a summary whose last line is
//   collect20_vs_floor=R allocs_per_collect=N
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "alloc_count.h"
#include "entrypoints.h"
#include "kxapi.h"
#include "kxsim.h"
#include "perflayout.h"
#include "state.h"
#include "vortalis/registry_keys.h"
#include "win32_double.h"

namespace {

constexpr DWORD kFirstCounter = 230;
constexpr DWORD kFirstHelp = 231;
// A monitor asks for the object by its title index.
wchar_t kValueName[] = L"230";

void Require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "collect_bench: %s failed: %s\n", what, kxsimLastError());
    std::exit(1);
}

void PutRegistry() {
    using namespace win32double;
    ResetRegistry();
    PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, 3);
    PutString(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_QM_NAME, "");
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_COUNTER, kFirstCounter);
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_HELP, kFirstHelp);
}

// A fresh installation of the stand-in in a temporary folder: queue manager QM1
// (the default) with `channels` channels that have moved some traffic, and the
// registry as keyplant and the counter loader leave it.
class World {
public:
    explicit World(int channels) {
        char pattern[] = "/tmp/vortalis-bench-XXXXXX";
        Require(mkdtemp(pattern) != nullptr, "mkdtemp");
        dir_ = pattern;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        setenv("KXQM_INI", (dir_ + "/kxqm.ini").c_str(), 1);
        Require(kxsimInit() == 0, "kxsimInit");
        Require(kxsimCreateQm("QM1", 1) == 0, "kxsimCreateQm");
        const uint32_t types[] = {1, 3, 6, 2};  // sender, receiver, client, server
        for (int c = 0; c < channels; ++c) {
            std::string name = "CH" + std::to_string(c + 1);
            std::string host = "host" + std::to_string(c + 1) + ".example";
            Require(kxsimAddChannel("QM1", name.c_str(), types[c % 4], host.c_str()) == 0, "kxsimAddChannel");
        }
        Require(kxsimMove("QM1", 1234) == 0, "kxsimMove");
        win32double::ResetEventLog();
        win32double::SetTickCount(1000);
        PutRegistry();
    }
    ~World() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

private:
    std::string dir_;
    std::filesystem::path previous_;
};

// The caller's buffer, as big as the performance library's first guess.
unsigned char g_buffer[8192];
DWORD g_tick = 1000;

// One Collect as the performance library makes it; 0 when the object came back.
DWORD CollectOnce(DWORD* bytes) {
    g_tick += 1000;
    win32double::SetTickCount(g_tick);
    LPVOID cursor = g_buffer;
    DWORD objects = 0;
    *bytes = sizeof g_buffer;
    DWORD rc = VortalisCollect(kValueName, &cursor, bytes, &objects);
    return rc == 0 && objects == 1 ? 0 : (rc != 0 ? rc : 0xFFFFFFFFu);
}

// The collector opened as the performance library opens it; a failed open
// ends the benchmark with an error.
bool Opened(benchmark::State& state) {
    if (VortalisOpen(nullptr) == 0) return true;
    state.SkipWithError("VortalisOpen failed");
    return false;
}

void BM_Collect(benchmark::State& state) {
    const int channels = int(state.range(0));
    World world(channels);
    if (!Opened(state)) return;
    DWORD bytes = 0;
    DWORD rc = CollectOnce(&bytes);  // the first sample has no rates yet
    for (auto _ : state) {
        rc |= CollectOnce(&bytes);
        benchmark::DoNotOptimize(g_buffer);
        benchmark::ClobberMemory();
    }
    if (rc != 0 || bytes != PERF_DEFINITION_BYTES + PERF_INSTANCE_BYTES * uint32_t(channels))
        state.SkipWithError("Collect did not return the object");
    VortalisClose();
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}

// The status queries of a Collect on their own: one rrxQueryStatusEntry per
// channel into one record buffer, with the handles and the work area of an open
// collector. What a Collect costs beyond this is the collector's own work.
void BM_StatusQueries(benchmark::State& state) {
    const int channels = int(state.range(0));
    World world(channels);
    if (!Opened(state)) return;
    alignas(64) static unsigned char record[KX_STATUS_RECORD_BYTES];
    uint32_t rc = 0;
    for (auto _ : state) {
        for (int c = 0; c < channels; ++c) {
            rc |= rrxQueryStatusEntry(stats[c], record, Work);
            benchmark::DoNotOptimize(record);
            benchmark::ClobberMemory();
        }
    }
    if (rc != 0) state.SkipWithError("a status query failed");
    VortalisClose();
}

// A record copy made as the stand-in makes it, with the C library's copy: the
// compiler's own for a size it knows (a string move) is slower here, and would
// make the floor look higher than it is.
void CopyRecord(unsigned char* to, const unsigned char* from) {
    size_t n = KX_STATUS_RECORD_BYTES;
    __asm__("" : "+r"(n));  // the size, out of the compiler's sight
    std::memcpy(to, from, n);
}

// The floor: one copy of a 2040-byte record per channel, from that channel's
// entry into one record buffer, and one copy of an object of the same size into
// the caller's buffer. Nothing else.
void BM_Floor(benchmark::State& state) {
    const int channels = int(state.range(0));
    static unsigned char entries[MAX_INSTANCES][KX_STATUS_RECORD_BYTES];
    static unsigned char record[KX_STATUS_RECORD_BYTES];
    static unsigned char object[sizeof(PerfObjectBlock)];
    std::memset(entries, 0x5A, sizeof entries);
    std::memset(object, 0x3C, sizeof object);
    const size_t objectBytes = PERF_DEFINITION_BYTES + PERF_INSTANCE_BYTES * size_t(channels);
    for (auto _ : state) {
        for (int c = 0; c < channels; ++c) {
            CopyRecord(record, entries[c]);
            benchmark::DoNotOptimize(record);  // the copy is made and then read
            benchmark::ClobberMemory();
        }
        std::memcpy(g_buffer, object, objectBytes);
        benchmark::DoNotOptimize(g_buffer);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(objectBytes));
}

// What Wine's host does for every query: a first-time set-up (registry, event
// source, the queue manager's connection and channel walk), one Collect, the
// last close.
void BM_OpenCollectClose(benchmark::State& state) {
    const int channels = int(state.range(0));
    World world(channels);
    DWORD rc = 0, bytes = 0;
    int64_t round = 0;
    for (auto _ : state) {
        rc |= VortalisOpen(nullptr);
        rc |= CollectOnce(&bytes);
        rc |= VortalisClose();
        if (++round % 1024 == 0) {
            // The test double keeps a record of every registry and event-log
            // call; start it afresh now and then, outside the timing.
            state.PauseTiming();
            win32double::ResetEventLog();
            PutRegistry();
            state.ResumeTiming();
        }
    }
    if (rc != 0) state.SkipWithError("Open, Collect or Close failed");
}

BENCHMARK(BM_Collect)->Arg(1)->Arg(5)->Arg(20);
BENCHMARK(BM_Floor)->Arg(1)->Arg(5)->Arg(20);
BENCHMARK(BM_StatusQueries)->Arg(20);
BENCHMARK(BM_OpenCollectClose)->Arg(20);

// Heap allocations made by `collects` Collects of 20 channels, after a first one.
long AllocationsPerCollect(int collects) {
    World world(MAX_INSTANCES);
    Require(VortalisOpen(nullptr) == 0, "VortalisOpen");
    DWORD bytes = 0, rc = CollectOnce(&bytes);
    alloccount::Start();
    for (int i = 0; i < collects; ++i) rc |= CollectOnce(&bytes);
    long seen = alloccount::Stop();
    VortalisClose();
    Require(rc == 0, "Collect");
    return (seen + collects - 1) / collects;
}

// Keeps each run's CPU time per iteration in nanoseconds (on a shared machine
// less disturbed than the wall clock): the median of the repetitions when there
// are several, else the one run.
class Capture : public benchmark::ConsoleReporter {
public:
    Capture() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) failed = true;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration && ns.count(run.run_name.str()) == 0)
                ns[run.run_name.str()] = Ns(run);
            if (median) ns[run.run_name.str()] = Ns(run);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    static double Ns(const Run& run) {
        return run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
    }
    std::map<std::string, double> ns;
    bool failed = false;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    Capture capture;
    benchmark::RunSpecifiedBenchmarks(&capture);
    benchmark::Shutdown();
    if (capture.failed) return 1;

    const long allocs = AllocationsPerCollect(1000);
    auto ns = [&](const std::string& name) {
        auto it = capture.ns.find(name);
        return it == capture.ns.end() ? 0.0 : it->second;
    };
    std::printf("\nCPU ns per Collect against the floor of the same copies (medians):\n");
    for (int channels : {1, 5, 20}) {
        const double collect = ns("BM_Collect/" + std::to_string(channels));
        const double floor = ns("BM_Floor/" + std::to_string(channels));
        std::printf("  %2d channels: collect %10.1f ns  floor %8.1f ns  ratio %.2f\n", channels, collect, floor,
                    floor > 0 ? collect / floor : 0.0);
    }
    std::printf("status queries alone, 20 channels: %.1f ns (ratio to the floor %.2f)\n", ns("BM_StatusQueries/20"),
                ns("BM_Floor/20") > 0 ? ns("BM_StatusQueries/20") / ns("BM_Floor/20") : 0.0);
    std::printf("open+collect+close, 20 channels: %.1f ns\n", ns("BM_OpenCollectClose/20"));
    std::printf("heap allocations per Collect (20 channels, 1000 Collects): %ld\n", allocs);
    const double collect20 = ns("BM_Collect/20"), floor20 = ns("BM_Floor/20");
    std::printf("collect20_vs_floor=%.2f allocs_per_collect=%ld\n", floor20 > 0 ? collect20 / floor20 : 0.0, allocs);
    return 0;
}
