#include <atomic>
#include <cstddef>

#include "entry_fixture.h"

using namespace entrytest;
using namespace win32double;

namespace {

COLLECTOR_TEST(Collect, BeforeAnyOpenReturnsNothing) {
    World(1);
    Collected c = Collect(L"Global");
    EXPECT_EQ(c.result, 0u);
    EXPECT_EQ(c.bytes, 0u);
    EXPECT_EQ(c.objects, 0u);
}

// Which value names get the object (first counter index 230).
COLLECTOR_TEST(Collect, ValueNamesDecide) {
    World(1);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    struct Case {
        const wchar_t* name;
        bool returned;
    } cases[] = {
        {nullptr, true},    {L"", true},          {L"Global", true},     {L"Costly", true},
        {L"Foreign", false}, {L"Foreign Global", true}, {L"228 230", true}, {L"230", true},
        {L"228", false},    {L"x 230", false},    {L"228      ", false}, {L"228 x 230", false},
    };
    for (const Case& c : cases) {
        Collected got = Collect(c.name);
        EXPECT_EQ(got.result, 0u);
        EXPECT_EQ(got.objects, c.returned ? 1u : 0u) << (c.name ? "a name" : "null");
        EXPECT_EQ(got.bytes, c.returned ? 816u : 0u);
    }
    VortalisClose();
}

// Every buffer size from 0 to 8 bytes past the object, for each size the object
// takes (the checks of Collect() hold around each call).
COLLECTOR_TEST(Collect, BufferMustHoldTheWholeObject) {
    const struct {
        const char* what;
        int channels;
        int opens;  // a second open after the placeholder's builds the object without instances
        DWORD total;
    } cases[] = {
        {"one channel", 1, 1, 816},
        {"twenty channels", 20, 1, 3704},
        {"placeholder", 0, 1, 816},
        {"no instance", 0, 2, 664},
    };
    for (const auto& o : cases) {
        World(o.channels);
        for (int i = 0; i < o.opens; ++i) ASSERT_EQ(VortalisOpen(nullptr), 0u) << o.what;
        ASSERT_EQ(pPerfObj->TotalByteLength, o.total) << o.what;
        for (DWORD room = 0; room <= o.total + 8; ++room) {
            Collected c = Collect(L"Global", room);
            if (room < o.total) {
                ASSERT_EQ(c.result, static_cast<DWORD>(ERROR_MORE_DATA)) << o.what << " " << room;
                ASSERT_EQ(c.objects, 0u);
            } else {
                ASSERT_EQ(c.result, 0u) << o.what << " " << room;
                ASSERT_EQ(c.objects, 1u);
            }
        }
        for (int i = 0; i < o.opens; ++i) VortalisClose();
    }
}

COLLECTOR_TEST(Collect, CountersComeFromTheRecord) {
    World(1);
    const uint32_t fields[] = {KXREC_MESSAGES,   KXREC_BYTES_SENT, KXREC_BYTES_RECEIVED, KXREC_COUNT_1976,
                               KXREC_COUNT_1984, KXREC_COUNT_1988, KXREC_COUNT_1992,     KXREC_COUNT_1996,
                               KXREC_COUNT_1928, KXREC_COUNT_308,  KXREC_COUNT_1940,     KXREC_COUNT_1944};
    for (int k = 0; k < 12; ++k) Set(0, fields[k], 100 + k);
    ASSERT_EQ(kxsimSetFlag("QM1", "CH1", 'N'), 0);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    SetTickCount(1000);
    Collected c = Collect(L"Global");
    for (int k = 0; k < 10; ++k) EXPECT_EQ(Counter(c.data, 0, k), 100u + k) << k;
    EXPECT_EQ(Counter(c.data, 0, 10), 0u) << "only a 'Y' flag makes 10 and 11 valid";
    EXPECT_EQ(Counter(c.data, 0, 11), 0u);
    for (int k = 12; k < 15; ++k) EXPECT_EQ(Counter(c.data, 0, k), 0u) << "no rate at the first sample";

    ASSERT_EQ(kxsimSetFlag("QM1", "CH1", 'Y'), 0);
    SetTickCount(2000);
    c = Collect(L"Global");
    EXPECT_EQ(Counter(c.data, 0, 10), 110u);
    EXPECT_EQ(Counter(c.data, 0, 11), 111u);

    // Back to 'N': 10 and 11 keep what they had.
    ASSERT_EQ(kxsimSetFlag("QM1", "CH1", 'N'), 0);
    Set(0, KXREC_COUNT_1940, 999);
    SetTickCount(3000);
    c = Collect(L"Global");
    EXPECT_EQ(Counter(c.data, 0, 10), 110u);
    VortalisClose();
}

// Two samples of one channel and the rates between them.
struct RateCase {
    const char* what;
    uint32_t tick1, sent1, tick2, sent2;
    uint32_t rate;
};

COLLECTOR_TEST(Collect, RatesPerSecond) {
    const RateCase cases[] = {
        {"example", 5000, 1000, 7000, 3500, 1250},
        {"truncated", 5000, 1000, 5003, 1001, 333},
        {"tick_wrap", 4294967000u, 1000, 704, 2000, 1000},
        {"count_wrap", 1000, 0xFFFFFFFFu, 2000, 9, 10},
        {"count_falls", 1000, 10, 2000, 9, 4294967295u},
    };
    for (const RateCase& r : cases) {
        World(1);
        ASSERT_EQ(VortalisOpen(nullptr), 0u);
        // Bytes sent, bytes received and messages move together here.
        for (uint32_t f : {KXREC_BYTES_SENT, KXREC_BYTES_RECEIVED, KXREC_MESSAGES}) Set(0, f, r.sent1);
        SetTickCount(r.tick1);
        Collect(L"Global");
        for (uint32_t f : {KXREC_BYTES_SENT, KXREC_BYTES_RECEIVED, KXREC_MESSAGES}) Set(0, f, r.sent2);
        SetTickCount(r.tick2);
        Collected c = Collect(L"Global");
        for (int k = 12; k < 15; ++k) EXPECT_EQ(Counter(c.data, 0, k), r.rate) << r.what << " counter " << k;
        VortalisClose();
    }
}

COLLECTOR_TEST(Collect, RateNeedsAnElapsedTimeAndANonZeroCount) {
    World(1);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    Set(0, KXREC_BYTES_SENT, 1000);
    Set(0, KXREC_BYTES_RECEIVED, 0);
    SetTickCount(1000);
    Collect(L"Global");
    Set(0, KXREC_BYTES_SENT, 2000);
    Set(0, KXREC_BYTES_RECEIVED, 500);
    SetTickCount(2000);
    Collected c = Collect(L"Global");
    EXPECT_EQ(Counter(c.data, 0, 12), 1000u);
    EXPECT_EQ(Counter(c.data, 0, 13), 0u) << "a count of 0 at the previous sample gives no rate";
    // The same tick again: no elapsed time, so the rate keeps its value.
    Set(0, KXREC_BYTES_SENT, 9000);
    c = Collect(L"Global");
    EXPECT_EQ(Counter(c.data, 0, 12), 1000u);
    EXPECT_EQ(Counter(c.data, 0, 1), 9000u);
    VortalisClose();
}

COLLECTOR_TEST(Collect, EachChannelHasItsOwnPreviousSample) {
    World(2);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    Set(0, KXREC_BYTES_SENT, 1000);
    Set(1, KXREC_BYTES_SENT, 50);
    SetTickCount(10000);
    Collect(L"Global");
    Set(0, KXREC_BYTES_SENT, 3000);
    Set(1, KXREC_BYTES_SENT, 100);
    SetTickCount(12000);
    Collected c = Collect(L"Global");
    EXPECT_EQ(Counter(c.data, 0, 12), 1000u);
    EXPECT_EQ(Counter(c.data, 1, 12), 25u);
    VortalisClose();
}

COLLECTOR_TEST(Collect, RestartedChannelIsQueriedUnderItsNewHandle) {
    World(3);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    Set(0, KXREC_MESSAGES, 7);
    Set(2, KXREC_MESSAGES, 9);
    uint32_t oldHandle = stats[1];
    ASSERT_EQ(kxsimRestart("QM1", "CH2"), 0) << kxsimLastError();
    SetTickCount(1000);
    ResetEventLog();
    Collected c = Collect(L"Global");
    EXPECT_EQ(c.result, 0u);
    EXPECT_EQ(c.bytes, 0u);
    EXPECT_EQ(c.objects, 0u);
    ASSERT_EQ(EventReports().size(), 0u) << "the event log was reset above, so it has no source";
    EXPECT_NE(stats[1], oldHandle) << "the slot holds the channel's new handle";
    EXPECT_EQ(PerfObject.Instances[0].Counters[0], 7u) << "the first channel's counters were written";
    EXPECT_EQ(PerfObject.Instances[2].Counters[0], 0u) << "the third was not reached";
    c = Collect(L"Global");
    EXPECT_EQ(c.objects, 1u);
    EXPECT_EQ(Counter(c.data, 2, 0), 9u);
    VortalisClose();
}

COLLECTOR_TEST(Collect, HandleChangedReportsZero) {
    World(3);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    ASSERT_EQ(kxsimRestart("QM1", "CH2"), 0) << kxsimLastError();
    Collected c = Collect(L"Global");
    EXPECT_EQ(c.result, 0u);
    ASSERT_EQ(EventIds(), (std::vector<DWORD>{0x600007D0, 0xE00007D3}));
    EXPECT_EQ(EventReports()[1].data, DwordBytes(0));
    VortalisClose();
}

COLLECTOR_TEST(Collect, FailedQueryReturnsItsCodeAndWritesNothing) {
    World(2);
    Set(0, KXREC_MESSAGES, 5);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    ASSERT_EQ(kxsimFail("query", 0x20800123, 0), 0) << kxsimLastError();
    Collected c = Collect(L"Global");
    EXPECT_EQ(c.result, 0x20800123u);
    EXPECT_EQ(c.bytes, 0u);
    EXPECT_EQ(c.objects, 0u);
    ASSERT_EQ(EventIds(), (std::vector<DWORD>{0x600007D0, 0xE00007D3}));
    EXPECT_EQ(EventReports()[1].data, DwordBytes(0x20800123));
    EXPECT_EQ(PerfObject.Instances[0].Counters[0], 0u) << "no counter of the failed call is written";
    ASSERT_EQ(kxsimClearFaults(), 0);
    VortalisClose();
}

COLLECTOR_TEST(Collect, PlaceholderIsReturnedWithoutAQuery) {
    World(0);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    ASSERT_EQ(kxsimFail("query", 0x20800123, 0), 0) << kxsimLastError();
    Collected c = Collect(L"Global");
    EXPECT_EQ(c.result, 0u) << "no channel is queried";
    EXPECT_EQ(c.bytes, 816u);
    EXPECT_EQ(EventIds(), std::vector<DWORD>{0x600007D0});
    VortalisClose();
}

COLLECTOR_TEST(Collect, CountersSurviveARebuild) {
    World(1);
    Set(0, KXREC_MESSAGES, 42);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    SetTickCount(100);
    Collect(L"Global");
    ASSERT_EQ(VortalisOpen(nullptr), 0u);  // rebuilds the object
    EXPECT_EQ(PerfObject.Instances[0].Counters[0], 42u);
    VortalisClose();
    VortalisClose();
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime calls these on every allocation and release. (A build
// without the sanitizers leaves this test out; bench/collect_bench counts the
// allocations there.)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                        void (*onFree)(const volatile void*));

std::atomic<int> allocations{0};
void CountMalloc(const volatile void*, size_t) { ++allocations; }
void IgnoreFree(const volatile void*) {}

COLLECTOR_TEST(Collect, AllocatesNothing) {
    World(20);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    static unsigned char buffer[8192];
    SetTickCount(1);
    __sanitizer_install_malloc_and_free_hooks(CountMalloc, IgnoreFree);
    allocations = 0;
    for (int i = 0; i < 10; ++i) {
        LPVOID p = buffer;
        DWORD bytes = sizeof buffer, objects = 0;
        SetTickCount(1 + 1000 * i);
        VortalisCollect(const_cast<LPWSTR>(L"230"), &p, &bytes, &objects);
    }
    int seen = allocations;
    __sanitizer_install_malloc_and_free_hooks(nullptr, nullptr);
    EXPECT_EQ(seen, 0) << "heap allocations during Collect";
    VortalisClose();
}
#endif

}  // namespace

namespace {

COLLECTOR_TEST(Collect, FailedQueryKeepsThePreviousSample) {
    World(1);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    Set(0, KXREC_BYTES_SENT, 1000);
    SetTickCount(1000);
    Collect(L"Global");
    ASSERT_EQ(kxsimFail("query", 0x20800123, 0), 0);
    SetTickCount(2000);
    EXPECT_EQ(Collect(L"Global").result, 0x20800123u);
    ASSERT_EQ(kxsimClearFaults(), 0);
    Set(0, KXREC_BYTES_SENT, 4000);
    SetTickCount(3000);
    Collected c = Collect(L"Global");
    EXPECT_EQ(Counter(c.data, 0, 12), 1500u) << "3000 bytes over the 2000 ms since the last good sample";
    VortalisClose();
}

COLLECTOR_TEST(Collect, TwentyChannelsEachGetTheirOwnCounters) {
    World(20);
    for (int ch = 0; ch < 20; ++ch) Set(ch, KXREC_MESSAGES, 1000 + ch);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    SetTickCount(1000);
    Collect(L"Global");
    for (int ch = 0; ch < 20; ++ch) Set(ch, KXREC_MESSAGES, 1000 + ch + 10 * (ch + 1));
    SetTickCount(2000);
    Collected c = Collect(L"Global");
    ASSERT_EQ(c.bytes, 3704u);
    for (int ch = 0; ch < 20; ++ch) {
        EXPECT_EQ(Counter(c.data, ch, 0), uint32_t(1000 + ch + 10 * (ch + 1))) << ch;
        EXPECT_EQ(Counter(c.data, ch, 14), uint32_t(10 * (ch + 1))) << ch;
        EXPECT_EQ(InstanceName(c.data, ch), "SDR:CH" + std::to_string(ch + 1) + ":host" + std::to_string(ch + 1));
    }
    VortalisClose();
}

COLLECTOR_TEST(Collect, RemovedChannelKeepsItsOldHandle) {
    World(2);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    uint32_t old = stats[1];
    ASSERT_EQ(kxsimRestart("QM1", "CH2"), 0);
    ASSERT_EQ(kxsimFail("access", 0x20809903, 0), 0);
    EXPECT_EQ(Collect(L"Global").result, 0u);
    EXPECT_EQ(stats[1], old) << "a failed access gives no handle to take";
    VortalisClose();
}

// Pointers the performance library would never pass. Without the counts or the
// place of the buffer nothing can be written; a missing buffer is found out
// where its size is compared, and no channel is queried for it.
COLLECTOR_TEST(Collect, MissingPointersAreRefused) {
    World(1);
    wchar_t global[] = L"Global";
    unsigned char buffer[1024];
    LPVOID place = buffer;
    LPVOID nowhere = nullptr;
    DWORD bytes = sizeof buffer, objects = 9;
    EXPECT_EQ(VortalisCollect(global, nullptr, &bytes, &objects), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(VortalisCollect(global, &place, nullptr, &objects), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(VortalisCollect(global, &place, &bytes, nullptr), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(place, static_cast<LPVOID>(buffer));
    EXPECT_EQ(bytes, sizeof buffer);
    EXPECT_EQ(objects, 9u);

    const struct {
        const char* what;
        bool open;
        DWORD room;
        DWORD result;
    } cases[] = {
        {"before any open", false, 0, 0},
        {"no room", true, 0, DWORD(ERROR_MORE_DATA)},
        {"room but no buffer", true, 1024, DWORD(ERROR_INVALID_PARAMETER)},
    };
    for (const auto& c : cases) {
        if (c.open) {
            ASSERT_EQ(VortalisOpen(nullptr), 0u);
        }
        ASSERT_EQ(kxsimFail("query", 0x20800123, 0), 0) << kxsimLastError();
        ResetEventLog();
        bytes = c.room;
        objects = 9;
        EXPECT_EQ(VortalisCollect(global, &nowhere, &bytes, &objects), c.result) << c.what;
        EXPECT_EQ(nowhere, nullptr) << c.what;
        EXPECT_EQ(bytes, 0u) << c.what;
        EXPECT_EQ(objects, 0u) << c.what;
        EXPECT_TRUE(EventReports().empty()) << c.what << ": no channel was queried";
        ASSERT_EQ(kxsimClearFaults(), 0);
        if (c.open) VortalisClose();
    }
}

// The trace of one Collect, line for line, for each way it can end; addresses
// are shown as P.
COLLECTOR_TEST(Collect, TraceOfEachOutcome) {
    const std::vector<std::string> start = {"entering COLLECT", "initialisation OK", "query OK", "item exists",
                                            "enough space in callers buffer", "in COLLECT and pPerfInst = P",
                                            "size of perfinst = 88", "char ptr at counters = P"};
    auto upTo = [&](size_t n, std::vector<std::string> more) {
        std::vector<std::string> lines(start.begin(), start.begin() + n);
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    };
    const struct {
        const char* what;
        const wchar_t* name;
        DWORD room;
        uint32_t queryFails;  // a code the status query is made to return, or 0
        bool restarted;       // the channel restarted since the open
        std::vector<std::string> lines;
    } cases[] = {
        {"returned", L"Global", 8192, 0, false, upTo(8, {"got status information", "Leaving Collect"})},
        {"foreign", L"Foreign", 8192, 0, false, upTo(2, {})},
        {"not our object", L"232", 8192, 0, false, upTo(3, {})},
        {"buffer too small", L"Global", 815, 0, false, upTo(4, {})},
        {"query failed", L"Global", 8192, 0x20800123, false, upTo(8, {"failed to get status information"})},
        {"handle changed", L"Global", 8192, 0, true,
         upTo(8, {"channel handle changed", "failed to get status information"})},
    };
    for (const auto& c : cases) {
        World(1);
        PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_DEBUG_LEVEL, 1);
        ASSERT_EQ(VortalisOpen(nullptr), 0u);
        if (c.restarted) {
            ASSERT_EQ(kxsimRestart("QM1", "CH1"), 0) << kxsimLastError();
        }
        if (c.queryFails != 0) {
            ASSERT_EQ(kxsimFail("query", c.queryFails, 0), 0) << kxsimLastError();
        }
        Collect(c.name, c.room);
        ASSERT_EQ(kxsimClearFaults(), 0);
        VortalisClose();
        const std::string text = TraceFileText();
        const size_t from = text.find("entering COLLECT\n");
        ASSERT_NE(from, std::string::npos) << c.what;
        std::vector<std::string> lines;
        for (size_t at = from; at < text.size();) {
            size_t end = text.find('\n', at);
            ASSERT_NE(end, std::string::npos) << c.what << ": a line without its end";
            std::string line = text.substr(at, end - at);
            const size_t p = line.find("0x");
            if (p != std::string::npos) line = line.substr(0, p) + "P";
            lines.push_back(line);
            at = end + 1;
        }
        EXPECT_EQ(lines, c.lines) << c.what;
    }
}

}  // namespace
