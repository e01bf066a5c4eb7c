// GetChlHdls against the stand-in queue manager: the work area, the walk of the
// status table, the queue manager name and every failing step.
#include "chantable.h"
#include "messages.h"
#include "qm_collector_fixture.h"

namespace {

using ChannelTableTest = QmCollectorTest;

void PutWord(std::vector<uint8_t>& b, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[offset + i] = uint8_t(v >> (8 * i));
}

// The work area as set up, before the connection.
std::vector<uint8_t> WorkAsSetUp() {
    std::vector<uint8_t> b(1108, 0);
    std::memcpy(&b[0], "RWRK", 4);
    PutWord(b, 900, 0xFFFFFFFFu);
    std::memcpy(&b[904], xcsIC_SYSTEM_SUBPOOL, 16);
    std::memset(&b[920], ' ', 48);
    PutWord(b, 996, 1);
    for (size_t at = 1000; at < 1016; at += 4) PutWord(b, at, 0xFFFFFFFFu);
    PutWord(b, 1020, 0xFFFFFFFFu);
    PutWord(b, 1024, 1);
    PutWord(b, 1028, 0xFFFFFFFFu);
    PutWord(b, 1032, 0xFFFFFFFFu);
    return b;
}

std::vector<uint8_t> WorkNow() {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(Work);
    return std::vector<uint8_t>(p, p + sizeof Work);
}

std::string PaddedName(const std::string& name) { return name + std::string(48 - name.size(), ' '); }

std::string WorkName() { return std::string(reinterpret_cast<const char*>(Work) + 920, 48); }

TEST_F(ChannelTableTest, WorkAreaIsSetUpByteForByte) {
    MakeQm("QM1", 1);
    // Stale bytes from an earlier call must not survive the set-up.
    std::memset(Work, 0x5A, sizeof Work);
    KXSIM_OK(kxsimFail("details", 0x20009999u, 0));
    EXPECT_EQ(GetChlHdls(), 0x20009999u);
    EXPECT_EQ(WorkNow(), WorkAsSetUp()) << "the set-up comes before anything else";

    KXSIM_OK(kxsimClearFaults());
    win32double::PutString(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_QM_NAME, "QM1");
    ASSERT_EQ(GetChlHdls(), 0u);
    std::vector<uint8_t> expected = WorkAsSetUp();
    std::vector<uint8_t> actual = WorkNow();
    uint32_t connection = actual[900] | actual[901] << 8 | actual[902] << 16 | uint32_t(actual[903]) << 24;
    EXPECT_NE(connection, 0xFFFFFFFFu) << "KXCONN stores its handle at 900";
    PutWord(expected, 900, connection);
    std::memcpy(&expected[920], PaddedName("QM1").data(), 48);
    EXPECT_EQ(actual, expected) << "only the handle and the padded name change";
}

TEST_F(ChannelTableTest, WalkHoldsAtMostTwentyChannelsInTheLibrarysOrder) {
    const struct {
        int channels;
        uint32_t result;
        int32_t held;
    } cases[] = {{0, RRX_NO_MORE_ENTRIES, 0}, {1, 0, 1}, {20, 0, 20}, {25, 0, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE("channels: " + std::to_string(c.channels));
        const std::string qm = "QM" + std::to_string(c.channels);
        MakeQm(qm.c_str(), c.channels);
        std::memset(stats, 0, sizeof stats);
        nchans = 7;
        for (int round = 0; round < 2; ++round) {  // a second call starts from scratch
            EXPECT_EQ(GetChlHdls(), c.result);
            ASSERT_EQ(nchans, c.held);
            for (int i = 0; i < c.held; ++i) EXPECT_EQ(stats[i], HandleOf(qm.c_str(), ChannelName(i + 1))) << i;
            for (int i = c.held; i < 20; ++i) EXPECT_EQ(stats[i], 0u) << "slot " << i << " untouched";
        }
    }
}

TEST_F(ChannelTableTest, RemovedChannelsAreNotListed) {
    MakeQm("QM1", 3);
    KXSIM_OK(kxsimRemove("QM1", "CH02"));
    ASSERT_EQ(GetChlHdls(), 0u);
    ASSERT_EQ(nchans, 2);
    EXPECT_EQ(stats[0], HandleOf("QM1", "CH01"));
    EXPECT_EQ(stats[1], HandleOf("QM1", "CH03"));
}

struct StepCase {
    const char* what;
    const char* operation;  // the failing step's operation for kxsimFail
    uint32_t code;
    uint32_t reason;
    uint32_t result;
    int32_t held;
    const char* trace;
    std::vector<uint32_t> events;
};

TEST_F(ChannelTableTest, EachFailingStepReturnsItsCode) {
    const std::string name = ">>>>> QMgr Name is ''<<<<<\n";
    const StepCase cases[] = {
        {"details", "details", 0x20009999u, 0, 0x20009999u, 0,
         "Couldn't obtain QM details from ini file.\nDefault prefix missing.\n", {MSG_EVENTLOG_OPENED}},
        {"initialize, top byte 0x20", "initialize", 0x20001234u, 0, 0x20001234u, 0,
         "Couldn't issue xcsInitialize\n", {MSG_EVENTLOG_OPENED}},
        {"initialize, top byte 0x40", "initialize", 0x40000001u, 0, 0x40000001u, 0,
         "Couldn't issue xcsInitialize\n", {MSG_EVENTLOG_OPENED}},
        {"initialize, top byte 0x10 counts as success", "initialize", 0x10000001u, 0, 0, 2, name.c_str(),
         {MSG_EVENTLOG_OPENED}},
        {"initialize, top byte 0x30 counts as success", "initialize", 0x30000000u, 0, 0, 2, name.c_str(),
         {MSG_EVENTLOG_OPENED}},
        {"connection refused", "connect", KXCC_FAILED, 3002, 3002, 0, name.c_str(),
         {MSG_EVENTLOG_OPENED, MSG_QM_CONNECT_FAILED, MSG_EVENTLOG_CLOSED}},
        {"connection with a warning", "connect", KXCC_WARNING, 2104, 0, 2, name.c_str(), {MSG_EVENTLOG_OPENED}},
        {"walk fails", "next", 0x20809905u, 0, 0x20809905u, 0, name.c_str(), {MSG_EVENTLOG_OPENED}},
    };
    MakeQm("QM1", 2);
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.what);
        win32double::ResetEventLog();
        std::remove(TRACE_FILE_NAME);
        StartTracing();
        nchans = 0;
        OpenEvntLog();  // the hold that the first-time set-up takes
        KXSIM_OK(kxsimFail(c.operation, c.code, c.reason));
        EXPECT_EQ(GetChlHdls(), c.result);
        EXPECT_EQ(nchans, c.held);
        KXSIM_OK(kxsimClearFaults());
        EXPECT_EQ(TraceText(), c.trace);
        EXPECT_EQ(ReportedIds(), c.events);
        bool refused = c.result == 3002;
        EXPECT_EQ(win32double::OpenEventSources(), refused ? 0 : 1) << "only a refusal releases the hold";
        if (refused) {
            const auto& report = win32double::EventReports()[1];
            EXPECT_EQ(report.type, EVENTLOG_ERROR_TYPE);
            EXPECT_EQ(report.data, DwordBytes(3002)) << "the reason code as the event's data";
        }
        for (int i = 0; i < 100 && win32double::OpenEventSources() > 0; ++i) CloseEvntLog();
        CloseTraceFile();
    }
}

TEST_F(ChannelTableTest, StoppedQueueManagerRefusesTheConnection) {
    MakeQm("QM1", 1);
    KXSIM_OK(kxsimStop("QM1"));
    OpenEvntLog();
    EXPECT_EQ(GetChlHdls(), uint32_t(KXRC_QM_STOPPED));
    EXPECT_EQ(ReportedIds(), (std::vector<uint32_t>{MSG_EVENTLOG_OPENED, MSG_QM_CONNECT_FAILED, MSG_EVENTLOG_CLOSED}));
    EXPECT_EQ(win32double::EventReports()[1].data, DwordBytes(KXRC_QM_STOPPED));
    EXPECT_EQ(WorkName(), PaddedName("")) << "the name field is written only after a connection";
}

struct NameCase {
    const char* what;
    int kind;  // 0 no value, 1 REG_SZ text, 2 raw bytes, 3 no Parameters key
    std::string value;
    std::string read;  // the name as read, "" for the default
};

TEST_F(ChannelTableTest, QueueManagerNameFromTheRegistry) {
    const std::string n47 = std::string(47, 'M');
    const std::string n48 = std::string(48, 'M');
    const NameCase cases[] = {
        {"no value: the default", 0, "", ""},
        {"no Parameters key: the default", 3, "", ""},
        {"empty: the default", 1, "", ""},
        {"a name", 1, "QM1", "QM1"},
        {"47 characters, padded with one blank", 1, n47, n47},
        {"48 characters do not fit: the default", 1, n48, ""},
        {"48 bytes without a terminator: the default", 2, n48, ""},
    };
    MakeQm("DEFQM", 1);
    MakeQm("QM1", 1, false);
    MakeQm(n47.c_str(), 1, false);
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        win32double::ResetRegistry();
        if (c.kind != 3) win32double::PutKey(VORTALIS_PARAMETERS_KEY);
        if (c.kind == 1) win32double::PutString(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_QM_NAME, c.value.c_str());
        if (c.kind == 2)
            win32double::PutValue(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_QM_NAME, REG_SZ, c.value.data(),
                                  c.value.size());
        std::remove(TRACE_FILE_NAME);
        StartTracing();
        EXPECT_EQ(GetChlHdls(), 0u);
        EXPECT_EQ(TraceText(), ">>>>> QMgr Name is '" + c.read + "'<<<<<\n");
        EXPECT_EQ(WorkName(), PaddedName(c.read));
        const char* qm = c.read.empty() ? "DEFQM" : c.read.c_str();
        ASSERT_EQ(nchans, 1);
        EXPECT_EQ(stats[0], HandleOf(qm, "CH01")) << "connected to " << qm;
        EXPECT_EQ(win32double::OpenKeyCount(), 0) << "the key is closed again";
        CloseTraceFile();
    }
}

}  // namespace
