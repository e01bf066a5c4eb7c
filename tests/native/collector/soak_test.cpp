// Soak: many Collects against the stand-in queue manager while traffic runs in
// another process, with channels restarting between Collects and channels
// removed and added between opens. Every Collect is checked as Collect() checks
// it; every returned instance must hold counts of one whole status record (the
// traffic keeps fixed relations between a channel's counts, which a record torn
// between two updates would break); and after each last close the heap, the open
// files and the memory mappings are what they were after the first cycle.
//
// VORTALIS_SOAK_COLLECTS sets the number of Collects (default 20000, what the
// test suite runs; bench/soak.sh runs a million in the Release build).
#include <dirent.h>
#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>

#include "entry_fixture.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of the heap bytes in use.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

using namespace entrytest;

namespace {

size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// Whether HeapInUse counts exactly the bytes in use. glibc counts the freed
// blocks that its per-thread cache keeps as in use, unless that cache is off
// (GLIBC_TUNABLES=glibc.malloc.tcache_count=0, as ctest and bench/soak.sh run it).
bool HeapCountIsExact() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#else
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    return tunables != nullptr && std::strstr(tunables, "glibc.malloc.tcache_count=0") != nullptr;
#endif
}

size_t OpenFiles() {
    size_t n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr) ++n;
        closedir(d);
    }
    return n;
}

// Mappings of the stand-in's files (its status tables and change counter, in
// the test's folder); the allocator's own mappings come and go as it likes.
size_t Mappings() {
    std::ifstream maps("/proc/self/maps");
    size_t n = 0;
    for (std::string line; std::getline(maps, line);)
        if (line.find("/tmp/vortalis-entry-") != std::string::npos) ++n;
    return n;
}

struct Usage {
    size_t heap, files, maps;
};

Usage Now() { return {HeapInUse(), OpenFiles(), Mappings()}; }

// The registry as installed, and an event log without records: the test double
// keeps a record of every call, which is not the collector's memory.
void FreshDoubles() {
    using namespace win32double;
    ResetRegistry();
    ResetEventLog();
    PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, 3);
    PutString(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_QM_NAME, "");
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_COUNTER, kFirstCounter);
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_HELP, kFirstHelp);
}

const uint32_t kTypes[] = {1, 3, 6, 2, 4};  // SDR RCVR CLNT SRVR RQSTR

// What the traffic keeps true of one channel's counts (qmgr/README.md), all
// modulo 2^32: the sequence number follows the messages; the payload side's
// bytes are the messages times the channel's message size, the other side's 48
// bytes per batch; the buffers are the messages plus the batches on the payload
// side and the batches on the other. A client sends and receives the payload.
// Empty when the counts hold; else what does not.
std::string Torn(const std::vector<uint8_t>& d, int i, uint32_t handle) {
    const std::string name = InstanceName(d, i);
    const std::string type = name.substr(0, name.find(':'));
    const uint32_t slot = ((handle >> 12) & 0xFFF) - 1;
    const uint32_t size = 256 + (slot * 389) % 3840 + 64;
    const uint32_t messages = Counter(d, i, 0), sent = Counter(d, i, 1), received = Counter(d, i, 2),
                   batches = Counter(d, i, 3), sentBuffers = Counter(d, i, 4), receivedBuffers = Counter(d, i, 5),
                   sequence = Counter(d, i, 8);
    bool whole = sequence == messages;
    if (type == "SDR" || type == "SRVR")
        whole = whole && sent == messages * size && received == 48 * batches && sentBuffers == messages + batches &&
                receivedBuffers == batches;
    else if (type == "RCVR" || type == "RQSTR")
        whole = whole && received == messages * size && sent == 48 * batches && sentBuffers == batches &&
                receivedBuffers == messages + batches;
    else if (type == "CLNT")
        whole = whole && sent == messages * size && received == messages * size && sentBuffers == messages &&
                receivedBuffers == messages;
    else
        return "unexpected instance " + name;
    if (whole) return "";
    return name + ": messages " + std::to_string(messages) + " sequence " + std::to_string(sequence) + " sent " +
           std::to_string(sent) + " received " + std::to_string(received) + " batches " + std::to_string(batches) +
           " buffers " + std::to_string(sentBuffers) + "/" + std::to_string(receivedBuffers) + " size " +
           std::to_string(size);
}

// The channel of slot i of the channel table, from its TYPE:CHANNEL:CONNECTION name.
std::string ChannelOf(int slot) {
    const std::string name = ChannelNames[slot];
    const size_t a = name.find(':'), b = name.find(':', a + 1);
    return name.substr(a + 1, b - a - 1);
}

long SoakCollects() {
    const char* v = std::getenv("VORTALIS_SOAK_COLLECTS");
    long n = v != nullptr ? std::atol(v) : 0;
    return n > 0 ? n : 20000;
}

COLLECTOR_TEST(Soak, CollectsWhileChannelsRestartAndChange) {
    const long total = SoakCollects();
    const long cycles = total >= 200000 ? 200 : 20;  // the table has room for 256 channels ever added
    const long perCycle = total / cycles;
    World(0);
    int added = 0;
    auto addChannel = [&added] {
        std::string name = "CH" + std::to_string(++added);
        ASSERT_EQ(kxsimAddChannel("QM1", name.c_str(), kTypes[added % 5], ("host" + std::to_string(added)).c_str()), 0)
            << kxsimLastError();
    };
    for (int c = 0; c < 20; ++c) addChannel();

    // Traffic in another process, updating as fast as it can, until killed.
    const pid_t traffic = fork();
    ASSERT_GE(traffic, 0);
    if (traffic == 0) _exit(kxsimTraffic("QM1", 24u * 3600 * 1000, 20000));

    const auto started = std::chrono::steady_clock::now();
    uint32_t seed = 12345;
    auto random = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    DWORD tick = 1;
    long collects = 0, returned = 0, handleChanges = 0, restarts = 0, torn = 0;
    Usage first{}, last{};
    for (long cycle = 0; cycle < cycles && !testing::Test::HasFailure(); ++cycle) {
        ASSERT_EQ(VortalisOpen(nullptr), 0u);
        ASSERT_EQ(nchans, 20);
        for (long j = 0; j < perCycle; ++j) {
            // The same number of restarts in every cycle, so that the test
            // double's records (one event per restart met) take as much room in
            // every cycle.
            if (j % 64 == 63) {
                ASSERT_EQ(kxsimRestart("QM1", ChannelOf(int(random(20))).c_str()), 0) << kxsimLastError();
                ++restarts;
            }
            tick += 100;
            win32double::SetTickCount(tick);
            Collected c = Collect(L"230");
            ++collects;
            ASSERT_EQ(c.result, 0u) << "Collect " << collects;
            if (c.objects == 0) {
                ++handleChanges;  // a restarted channel: its new handle serves from the next Collect on
                continue;
            }
            ++returned;
            for (int i = 0; i < nchans; ++i) {
                std::string why = Torn(c.data, i, stats[i]);
                if (!why.empty()) {
                    if (++torn <= 5) ADD_FAILURE() << "Collect " << collects << " instance " << i << ": " << why;
                }
            }
        }
        ASSERT_EQ(VortalisClose(), 0u);
        EXPECT_EQ(win32double::OpenKeyCount(), 0);
        EXPECT_EQ(win32double::OpenEventSources(), 0);
        // Between opens: a channel goes, another comes.
        ASSERT_EQ(kxsimRemove("QM1", ChannelOf(int(random(20))).c_str()), 0) << kxsimLastError();
        addChannel();
        FreshDoubles();
        last = Now();
        if (cycle == 0) first = last;
    }
    kill(traffic, SIGKILL);
    waitpid(traffic, nullptr, 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("soak: %ld Collects in %ld opens, %.1f s; %ld returned the object, %ld met a restarted channel "
                "(%ld restarts); %ld torn instances\n",
                collects, cycles, seconds, returned, handleChanges, restarts, torn);
    std::printf("soak: after the first and the last cycle: heap %zu -> %zu bytes, open files %zu -> %zu, "
                "mappings of the queue manager's files %zu -> %zu\n",
                first.heap, last.heap, first.files, last.files, first.maps, last.maps);
    EXPECT_EQ(collects, cycles * perCycle);
    EXPECT_EQ(torn, 0);
    EXPECT_GT(returned, collects / 2);
    if (HeapCountIsExact()) {
        EXPECT_EQ(last.heap, first.heap) << "the heap grows";
    } else {
        std::printf("soak: heap compared within the allocator's cache of 64 KB (see HeapCountIsExact)\n");
        EXPECT_LE(last.heap, first.heap + 65536) << "the heap grows";
    }
    EXPECT_EQ(last.files, first.files) << "open files grow";
    EXPECT_EQ(last.maps, first.maps) << "mappings of the queue manager's files grow";
    EXPECT_GT(first.maps, 0u) << "the status table is mapped while the collector is loaded";
}

}  // namespace
