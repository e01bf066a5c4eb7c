#include "entry_fixture.h"

using namespace entrytest;
using namespace win32double;

namespace {

const wchar_t* const kGlobal = L"Global";

COLLECTOR_TEST(OpenClose, TwoOpensSetUpOnceAndTheSecondCloseReleases) {
    World(2);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    // The second open rebuilds the object with the indexes read by the first,
    // whatever the registry holds by then.
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_COUNTER, kFirstCounter + 100);
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_HELP, kFirstHelp + 100);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    EXPECT_EQ(EventRegistrations().size(), 1u) << "the set-up runs once";
    EXPECT_EQ(EventIds(), std::vector<DWORD>{0x600007D0});
    Collected c = Collect(kGlobal);
    EXPECT_EQ(c.result, 0u);
    EXPECT_EQ(c.bytes, 664u + 2 * 152);
    EXPECT_EQ(U32(c.data, 12), kFirstCounter);
    EXPECT_EQ(U32(c.data, 20), kFirstHelp);
    EXPECT_EQ(U32(c.data, 64 + 4), kFirstCounter + 2) << "counter 0's name index";
    EXPECT_EQ(U32(c.data, 624 + 12), kFirstHelp + 30) << "counter 14's help index";
    EXPECT_EQ(InstanceName(c.data, 0), "SDR:CH1:host1");
    EXPECT_EQ(InstanceName(c.data, 1), "SDR:CH2:host2");
    EXPECT_EQ(VortalisClose(), 0u);
    EXPECT_EQ(OpenEventSources(), 1) << "the first close keeps everything";
    EXPECT_EQ(VortalisClose(), 0u);
    EXPECT_EQ(OpenEventSources(), 0);
    EXPECT_EQ(EventIds(), (std::vector<DWORD>{0x600007D0, 0x600007D1}));
    EXPECT_EQ(VortalisClose(), 0u) << "a close too many does nothing";
    EXPECT_EQ(EventIds().size(), 2u);
    // The next open runs the set-up again.
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    EXPECT_EQ(EventRegistrations().size(), 2u);
    EXPECT_EQ(VortalisClose(), 0u);
}

COLLECTOR_TEST(OpenClose, NoChannelGivesThePlaceholderThenAnEmptyObject) {
    World(0);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    EXPECT_EQ(nchans, 0);
    Collected c = Collect(kGlobal);
    ASSERT_EQ(c.result, 0u);
    ASSERT_EQ(c.bytes, 816u);
    EXPECT_EQ(U32(c.data, 40), 1u) << "one instance";
    EXPECT_EQ(InstanceName(c.data, 0), "...no Channel Status");
    EXPECT_EQ(U32(c.data, 12), kFirstCounter);
    EXPECT_EQ(U32(c.data, 20), kFirstHelp);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    c = Collect(kGlobal);
    EXPECT_EQ(c.bytes, 664u);
    EXPECT_EQ(U32(c.data, 40), 0u) << "no instance after the placeholder open";
    EXPECT_EQ(U32(c.data, 0), 664u);
    EXPECT_EQ(EventIds(), std::vector<DWORD>{0x600007D0}) << "no error for an empty queue manager";
    VortalisClose();
    VortalisClose();
}

// Each registry value the set-up needs, missing: the open fails with the
// registry's code, reports it, and Collect serves nothing.
struct RegistryFailure {
    const char* what;
    const char* key;
    const char* value;  // nullptr: the key fails to open
    DWORD event;
};

void PrintTo(const RegistryFailure& f, std::ostream* os) { *os << f.what; }

class OpenRegistryFailure : public testing::TestWithParam<RegistryFailure> {};

TEST_P(OpenRegistryFailure, FailsWithTheRegistryCode) {
    const RegistryFailure f = GetParam();
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            World(1);
            if (f.value)
                FailRegistry(RegOp::Query, f.key, f.value, ERROR_FILE_NOT_FOUND);
            else
                FailRegistry(RegOp::Open, f.key, nullptr, ERROR_ACCESS_DENIED);
            DWORD expected = f.value ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
            EXPECT_EQ(VortalisOpen(nullptr), expected);
            EXPECT_EQ(EventIds(), (std::vector<DWORD>{0x600007D0, f.event, 0x600007D1}));
            ASSERT_EQ(EventReports().size(), 3u);
            EXPECT_EQ(EventReports()[1].data, DwordBytes(expected));
            EXPECT_EQ(EventReports()[1].type, EVENTLOG_ERROR_TYPE);
            EXPECT_EQ(OpenEventSources(), 0) << "the hold is given back";
            EXPECT_EQ(OpenKeyCount(), 0) << "the Performance key is closed";
            Collected c = Collect(L"Global");
            EXPECT_EQ(c.result, 0u);
            EXPECT_EQ(c.bytes, 0u);
            EXPECT_EQ(c.objects, 0u);
            // The next open runs the whole set-up again and succeeds once the value is there.
            ResetRegistry();
            PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_COUNTER, kFirstCounter);
            PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_HELP, kFirstHelp);
            EXPECT_EQ(VortalisOpen(nullptr), 0u);
            EXPECT_EQ(Collect(L"Global").objects, 1u);
            std::_Exit(ChildStatus());
        },
        testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenRegistryFailure,
    testing::Values(RegistryFailure{"performance_key", VORTALIS_PERFORMANCE_KEY, nullptr, 0xE00007D4},
                    RegistryFailure{"first_counter", VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_COUNTER, 0xE00007D5},
                    RegistryFailure{"first_help", VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_HELP, 0xE00007D6}),
    [](const testing::TestParamInfo<RegistryFailure>& i) { return std::string(i.param.what); });

COLLECTOR_TEST(OpenClose, PerformanceKeyIsOnlyRead) {
    World(1);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    bool opened = false;
    for (const std::string& call : RegistryCalls()) {
        if (call.find("Performance") == std::string::npos || call.rfind("open ", 0) != 0) continue;
        opened = true;
        EXPECT_NE(call.find("access=0x20019"), std::string::npos) << call;
    }
    EXPECT_TRUE(opened);
    VortalisClose();
}

COLLECTOR_TEST(OpenClose, RefusedConnectionReportsInOrder) {
    World(1);
    ASSERT_EQ(kxsimStop("QM1"), 0) << kxsimLastError();
    DWORD result = VortalisOpen(nullptr);
    EXPECT_EQ(result, DWORD(KXRC_QM_STOPPED)) << "the open returns the connection's reason code";
    EXPECT_EQ(EventIds(), (std::vector<DWORD>{0x600007D0, 0xE00007D2, 0x600007D1}))
        << "the channel-statistics error finds the source closed";
    ASSERT_EQ(EventReports().size(), 3u);
    EXPECT_EQ(EventReports()[1].data, DwordBytes(result)) << "the reason code is the open's result";
    EXPECT_EQ(OpenEventSources(), 0);
}

COLLECTOR_TEST(OpenClose, FailingChannelWalkReportsItsCode) {
    World(3);
    PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_DEBUG_LEVEL, 1);
    ASSERT_EQ(kxsimFail("next", 0x20800001, 0), 0) << kxsimLastError();
    EXPECT_EQ(VortalisOpen(nullptr), 0x20800001u);
    const std::string text = TraceFileText();
    EXPECT_NE(text.find(">>>>> QMgr Name is ''<<<<<\nrc from GetChlHdls = 20800001\nfailed to get 0 channel handles\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("got "), std::string::npos) << text;
    EXPECT_EQ(EventIds(), (std::vector<DWORD>{0x600007D0, 0xE00007D3, 0x600007D1}));
    ASSERT_EQ(EventReports().size(), 3u);
    EXPECT_EQ(EventReports()[1].data, DwordBytes(0x20800001));
    EXPECT_EQ(Collect(L"Global").objects, 0u);
}

COLLECTOR_TEST(OpenClose, TraceFileFollowsDebugLevel) {
    World(1);
    PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_DEBUG_LEVEL, 1);
    for (uint32_t f : {KXREC_MESSAGES, KXREC_BYTES_SENT, KXREC_BYTES_RECEIVED}) Set(0, f, 100);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    SetTickCount(5000);
    Collect(L"Global");
    Set(0, KXREC_MESSAGES, 110);
    Set(0, KXREC_BYTES_SENT, 300);
    Set(0, KXREC_BYTES_RECEIVED, 150);
    SetTickCount(7000);
    Collect(L"Global");
    VortalisClose();
    const std::string text = TraceFileText();
    ASSERT_FALSE(text.empty()) << "tracing on creates the trace file";
    const char* expected[] = {"size of PERF_OBJECT_TYPE=64\n", "size of PERF_COUNTER_DEFINITION=40\n",
                              "total size of PERF_COUNTER_DEFs=600\n", "size of PERF_INSTANCE_DEFINITION=24\n",
                              "size of PERF_COUNTER_BLOCK=4\n", "size of counters=60\n",
                              "rc from GetChlHdls = 0\n", "got 1 channel handles\n", "First Counter is 230\n",
                              "entering COLLECT\n", "initialisation OK\n", "query OK\n", "item exists\n",
                              "enough space in callers buffer\n", "size of perfinst = 88\n",
                              "got status information\n", "Leaving Collect\n",
                              "entering COLLECT\n", "DeltaTime in msecs=2000\n", "got status information\n",
                              "SavedBytesSent=100\n", "NumBytesdSent=300\n", "BytesSent/sec=100\n",
                              "BytesRecvd/sec=25\n", "NumMsgs/sec=5\n", "Leaving Collect\n"};
    size_t at = 0;
    for (const char* line : expected) {
        size_t found = text.find(line, at);
        EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line;
        if (found != std::string::npos) at = found + std::strlen(line);
    }
}

}  // namespace

namespace {

// DebugLevel counts only at a first-time set-up, and one that cannot be read
// there leaves the switch as it was.
COLLECTOR_TEST(OpenClose, DebugLevelIsReadAtTheFirstTimeSetUp) {
    World(1);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_DEBUG_LEVEL, 1);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    Collect(L"Global");
    VortalisClose();
    VortalisClose();
    EXPECT_EQ(TraceFileText(), "") << "switched on while open: no trace before the next set-up";

    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    VortalisClose();
    EXPECT_NE(TraceFileText().find("size of PERF_OBJECT_TYPE=64\n"), std::string::npos);

    ASSERT_EQ(std::remove("c:\\vortalis.trc"), 0);
    FailRegistry(RegOp::Query, VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_DEBUG_LEVEL, ERROR_ACCESS_DENIED);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    VortalisClose();
    EXPECT_NE(TraceFileText().find("size of PERF_OBJECT_TYPE=64\n"), std::string::npos)
        << "an unreadable DebugLevel leaves tracing on, and the file is opened anew";
}

COLLECTOR_TEST(OpenClose, FailedSetUpClosesItsTraceFile) {
    World(1);
    PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_DEBUG_LEVEL, 1);
    FailRegistry(RegOp::Open, VORTALIS_PERFORMANCE_KEY, nullptr, ERROR_ACCESS_DENIED);
    EXPECT_EQ(VortalisOpen(nullptr), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(stream, nullptr) << "the next open must not find a stream left behind";
}

}  // namespace

namespace {

COLLECTOR_TEST(OpenClose, OnlyTheLastCloseReleasesEveryHandle) {
    World(3);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    auto released = [](const char* channel) {
        uint32_t count = 99;
        EXPECT_EQ(kxsimReleaseCount("QM1", channel, &count), 0) << kxsimLastError();
        return count;
    };
    // A channel restarted and met by a Collect is released under its new handle.
    ASSERT_EQ(kxsimRestart("QM1", "CH2"), 0) << kxsimLastError();
    Collect(L"Global");
    VortalisClose();
    for (const char* ch : {"CH1", "CH2", "CH3"}) EXPECT_EQ(released(ch), 0u) << ch;
    VortalisClose();
    for (const char* ch : {"CH1", "CH2", "CH3"}) EXPECT_EQ(released(ch), 1u) << ch;
}

COLLECTOR_TEST(OpenClose, NoDebugLevelNoTraceFile) {
    World(1);
    ASSERT_EQ(VortalisOpen(nullptr), 0u);
    Collect(L"Global");
    VortalisClose();
    EXPECT_EQ(std::fopen("c:\\vortalis.trc", "r"), nullptr);
}

}  // namespace
