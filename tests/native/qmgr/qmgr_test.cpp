// The four libraries as the collector calls them, set up through kxsim.
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <thread>

#include "kxstore.h"
#include "qm_fixture.h"

TEST_F(QmTest, TwentyFiveChannelsEnumerateInOrderAndEnd) {
    MakeQm("QM1", 25);
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t cursor = 0, last;
    std::vector<uint32_t> handles;
    for (int i = 1; (last = rrxGetNextStatusEntry(&cursor, c.record, c.work)) == 0; ++i) {
        char name[16];
        snprintf(name, sizeof name, "CH%02d", i);
        EXPECT_EQ(name, c.ChannelName());
        EXPECT_NE(0u, cursor);
        handles.push_back(cursor);
    }
    EXPECT_EQ(RRX_NO_MORE_ENTRIES, last);
    ASSERT_EQ(25u, handles.size());
    EXPECT_EQ(RRX_NO_MORE_ENTRIES, rrxGetNextStatusEntry(&cursor, c.record, c.work));  // stays at the end
    uint32_t again;
    EXPECT_EQ(handles, c.Walk(&again));  // the same order every time
}

TEST_F(QmTest, NoChannelEndsAtOnce) {
    MakeQm("QM1", 0);
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t cursor = 0;
    EXPECT_EQ(RRX_NO_MORE_ENTRIES, rrxGetNextStatusEntry(&cursor, c.record, c.work));
    EXPECT_EQ(0u, cursor);
}

TEST_F(QmTest, RecordCarriesTheFieldsOfPart13) {
    KX_OK_(kxsimCreateQm("QM1", 1));
    KX_OK_(kxsimAddChannel("QM1", "TO.QM2", 4, "host2(1414)"));
    const uint32_t offsets[] = {308, 1928, 1940, 1944, 1964, 1968, 1972, 1976, 1984, 1988, 1992, 1996};
    uint32_t values[12];
    for (int i = 0; i < 12; ++i) values[i] = 1000u * (i + 1) + 0xA0000000u;
    KX_OK_(kxsimSetFields("QM1", "TO.QM2", offsets, values, 12, 'N'));
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t last;
    ASSERT_EQ(1u, c.Walk(&last).size());
    uint32_t h;
    KX_OK_(kxsimHandle("QM1", "TO.QM2", &h));
    ASSERT_EQ(0u, c.Query(h));
    EXPECT_EQ(4u, c.Field(KXREC_CHANNEL_TYPE));
    EXPECT_EQ("host2(1414)", c.ConnectionName());
    EXPECT_EQ(0, memcmp(c.record + KXREC_CHANNEL_NAME, "TO.QM2              ", 20));
    EXPECT_EQ('N', c.record[KXREC_FLAG]);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(values[i], c.Field(offsets[i])) << "offset " << offsets[i];
    EXPECT_TRUE(c.Whole());
}

TEST_F(QmTest, RestartChangesTheHandleAndAccessGivesTheNewOne) {
    MakeQm("QM1", 3);
    KX_OK_(kxsimSetField("QM1", "CH02", KXREC_MESSAGES, 77));
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t last;
    std::vector<uint32_t> h = c.Walk(&last);
    ASSERT_EQ(3u, h.size());
    KX_OK_(kxsimRestart("QM1", "CH02"));
    EXPECT_EQ(RRX_HANDLE_CHANGED, c.Query(h[1]));
    EXPECT_EQ(0u, c.Query(h[0]));  // the others keep theirs
    EXPECT_EQ(0u, c.Query(h[2]));

    // The collector's 64-byte slot: its text, a zero byte, then whatever was there.
    char slot[KX_NAME_SLOT_BYTES];
    memset(slot, 'x', sizeof slot);
    strcpy(slot, "SDR:CH02:host02(1414)");
    uint32_t fresh = 0;
    ASSERT_EQ(0u, rrxAccessStatusEntry(slot, &fresh, c.work));
    EXPECT_NE(0u, fresh);
    EXPECT_NE(h[1], fresh);
    ASSERT_EQ(0u, c.Query(fresh));
    EXPECT_EQ("CH02", c.ChannelName());
    EXPECT_EQ(0u, c.Field(KXREC_MESSAGES));  // a renewed entry counts from 0
    EXPECT_EQ(RRX_HANDLE_CHANGED, c.Query(h[1]));
    EXPECT_EQ(h[0], c.Walk(&last)[0]);  // order unchanged
    EXPECT_EQ(fresh, c.Walk(&last)[1]);
}

TEST_F(QmTest, AccessRefusesSlotsThatNameNoChannel) {
    MakeQm("QM1", 2);
    KX_OK_(kxsimRemove("QM1", "CH02"));
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    const char* const slots[] = {"...no Channel Status", "SDR:CH09:host", "SDR:CH02:host02(1414)", "SDR:CH0", ""};
    for (const char* text : slots) {
        char slot[KX_NAME_SLOT_BYTES] = {};
        strcpy(slot, text);
        uint32_t handle = 0x12345678;
        EXPECT_EQ(RRX_NOT_FOUND, rrxAccessStatusEntry(slot, &handle, c.work)) << text;
        EXPECT_EQ(0x12345678u, handle) << text;
    }
    char full[KX_NAME_SLOT_BYTES];  // no zero byte in the 64
    memset(full, 'c', sizeof full);
    memcpy(full, "RCVR:CH01:", 10);
    uint32_t handle = 0;
    EXPECT_EQ(0u, rrxAccessStatusEntry(full, &handle, c.work));
    uint32_t expected;
    KX_OK_(kxsimHandle("QM1", "CH01", &expected));
    EXPECT_EQ(expected, handle);
}

TEST_F(QmTest, RemovedChannelIsSkippedAndItsHandleRefused) {
    MakeQm("QM1", 3);
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t last;
    std::vector<uint32_t> before = c.Walk(&last);
    KX_OK_(kxsimRemove("QM1", "CH02"));
    EXPECT_EQ((std::vector<uint32_t>{before[0], before[2]}), c.Walk(&last));
    EXPECT_EQ(RRX_NOT_FOUND, c.Query(before[1]));
}

TEST_F(QmTest, HandlesAreNeverZeroAndBelongToTheirQueueManager) {
    MakeQm("QMA", 2, true);
    MakeQm("QMB", 2, false);
    Caller a, b;
    ASSERT_EQ(0u, a.Connect());
    ASSERT_EQ(0u, b.Connect("QMB"));
    uint32_t last;
    std::vector<uint32_t> ha = a.Walk(&last), hb = b.Walk(&last);
    ASSERT_EQ(2u, ha.size());
    ASSERT_EQ(2u, hb.size());
    for (uint32_t h : ha) {
        EXPECT_NE(0u, h);
        EXPECT_EQ(RRX_NOT_FOUND, b.Query(h));  // not QMB's
        for (uint32_t g : hb) EXPECT_NE(h, g);
    }
    for (uint32_t h : {0u, 0xFFFFFFFFu, ha[1] + 0x1000u}) EXPECT_EQ(RRX_NOT_FOUND, a.Query(h)) << std::hex << h;
    uint32_t cursor = 0x7F000001;
    EXPECT_EQ(RRX_NOT_FOUND, rrxGetNextStatusEntry(&cursor, a.record, a.work));
}

TEST_F(QmTest, ReleaseIsCountedAndUnknownHandlesRefused) {
    MakeQm("QM1", 1);
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t h, count = 9;
    KX_OK_(kxsimHandle("QM1", "CH01", &h));
    EXPECT_EQ(0u, rrxReleaseStatusEntry(h, c.work));
    EXPECT_EQ(0u, rrxReleaseStatusEntry(h, c.work));
    KX_OK_(kxsimReleaseCount("QM1", "CH01", &count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(RRX_NOT_FOUND, rrxReleaseStatusEntry(h + 0x1000, c.work));
    // Only the current handle of a live channel is released.
    KX_OK_(kxsimRestart("QM1", "CH01"));
    EXPECT_EQ(RRX_HANDLE_CHANGED, rrxReleaseStatusEntry(h, c.work)) << "the handle from before the restart";
    uint32_t renewed;
    KX_OK_(kxsimHandle("QM1", "CH01", &renewed));
    EXPECT_EQ(0u, rrxReleaseStatusEntry(renewed, c.work));
    KX_OK_(kxsimReleaseCount("QM1", "CH01", &count));
    EXPECT_EQ(3u, count) << "the stale release is not counted";
    KX_OK_(kxsimRemove("QM1", "CH01"));
    EXPECT_EQ(RRX_NOT_FOUND, rrxReleaseStatusEntry(renewed, c.work)) << "a removed channel";
}

TEST_F(QmTest, DefaultAndNamedQueueManagers) {
    KX_OK_(kxsimCreateQm("QMA", 0));
    KX_OK_(kxsimCreateQm("QMB", 1));
    KX_OK_(kxsimAddChannel("QMA", "A1", 1, "a"));
    KX_OK_(kxsimAddChannel("QMB", "B1", 3, "b"));
    std::string longName(48, 'L');
    KX_OK_(kxsimCreateQm(longName.c_str(), 0));
    KX_OK_(kxsimAddChannel(longName.c_str(), "L1", 2, "l"));
    struct Case {
        std::string qm, channel;
    } cases[] = {{"", "B1"}, {"QMB", "B1"}, {"QMA", "A1"}, {longName, "L1"}};
    for (const Case& k : cases) {
        Caller c;
        ASSERT_EQ(0u, c.Connect(k.qm)) << k.qm;
        EXPECT_EQ(KXCC_OK, c.cc);
        EXPECT_NE(0xFFFFFFFFu, c.Connection());
        uint32_t cursor = 0;
        ASSERT_EQ(0u, rrxGetNextStatusEntry(&cursor, c.record, c.work)) << k.qm;
        EXPECT_EQ(k.channel, c.ChannelName()) << k.qm;
    }
}

TEST_F(QmTest, RefusedConnectionsFailWithCompletion2) {
    MakeQm("QM1", 1, false);
    MakeQm("QM2", 1, false);
    KX_OK_(kxsimStop("QM2"));
    struct Case {
        const char* what;
        std::string name;  // 48 characters as passed
        int32_t reason;
    } cases[] = {
        {"unknown name", Padded("QMX"), KXRC_UNKNOWN_QM},
        {"no default queue manager", Padded(""), KXRC_UNKNOWN_QM},
        {"stopped", Padded("QM2"), KXRC_QM_STOPPED},
        {"names are case-sensitive", Padded("qm1"), KXRC_UNKNOWN_QM},
        {"not blank-padded", std::string("QM1") + std::string(45, '\0'), KXRC_UNKNOWN_QM},
    };
    for (const Case& k : cases) {
        int32_t connection = -1, cc = -1, reason = -1;
        EXPECT_EQ(uint32_t(k.reason), KXCONN(k.name.data(), &connection, &cc, &reason)) << k.what;
        EXPECT_EQ(KXCC_FAILED, cc) << k.what;
        EXPECT_EQ(k.reason, reason) << k.what;
        EXPECT_EQ(-1, connection) << k.what;
    }
    KX_OK_(kxsimStart("QM2"));
    Caller c;
    EXPECT_EQ(0u, c.Connect("QM2"));
    EXPECT_EQ(KXCC_OK, c.cc);
}

TEST_F(QmTest, StoppingAfterConnectingRefusesTheStatusCalls) {
    MakeQm("QM1", 1);
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t h, cursor = 0, handle = 0;
    KX_OK_(kxsimHandle("QM1", "CH01", &h));
    KX_OK_(kxsimStop("QM1"));
    EXPECT_EQ(RRX_QM_STOPPED, c.Query(h));
    EXPECT_EQ(RRX_QM_STOPPED, rrxGetNextStatusEntry(&cursor, c.record, c.work));
    EXPECT_EQ(RRX_QM_STOPPED, rrxAccessStatusEntry("SDR:CH01:x", &handle, c.work));
    KX_OK_(kxsimStart("QM1"));
    EXPECT_EQ(0u, c.Query(h));
}

TEST_F(QmTest, StatusCallsNeedAConnectedWorkArea) {
    MakeQm("QM1", 1);
    Caller c;  // set up, never connected: the handle field is -1
    uint32_t cursor = 0;
    EXPECT_EQ(RRX_NOT_CONNECTED, rrxGetNextStatusEntry(&cursor, c.record, c.work));
    EXPECT_EQ(RRX_NOT_CONNECTED, rrxGetNextStatusEntry(&cursor, c.record, nullptr));
    ASSERT_EQ(0u, c.Connect());
    memcpy(c.work, "XXXX", 4);
    EXPECT_EQ(RRX_NOT_CONNECTED, rrxGetNextStatusEntry(&cursor, c.record, c.work));
    memcpy(c.work, "RWRK", 4);
    EXPECT_EQ(RRX_BAD_ARGUMENTS, rrxGetNextStatusEntry(nullptr, c.record, c.work));
    EXPECT_EQ(RRX_BAD_ARGUMENTS, rrxGetNextStatusEntry(&cursor, nullptr, c.work));
    EXPECT_EQ(0u, rrxGetNextStatusEntry(&cursor, c.record, c.work));
}

TEST_F(QmTest, DetailsNeedTheSettingsAndTheDataPrefix) {
    MakeQm("QM1", 0);
    KxQmDetails d;
    memset(&d, 0, sizeof d);
    ASSERT_EQ(0u, lpiObtainQMDetails(0, 0, 0, &d));
    EXPECT_EQ(KX_QM_DETAILS_VERSION, d.version);
    EXPECT_EQ(ini, d.settingsPath);
    EXPECT_EQ(dir + "/data", d.dataPrefix);
    EXPECT_STREQ("QM1", d.defaultQm);
    EXPECT_EQ(KX_RC_BAD_ARGUMENTS, lpiObtainQMDetails(0, 0, 0, nullptr));

    std::filesystem::rename(dir + "/data", dir + "/elsewhere");
    EXPECT_EQ(KX_RC_NO_PREFIX, lpiObtainQMDetails(0, 0, 0, &d));
    std::filesystem::rename(dir + "/elsewhere", dir + "/data");
    setenv("KXQM_INI", (dir + "/missing.ini").c_str(), 1);
    EXPECT_EQ(KX_RC_NO_SETTINGS, lpiObtainQMDetails(0, 0, 0, &d));
    int32_t conn = -1, cc = -1, reason = -1;
    EXPECT_EQ(uint32_t(KXRC_NO_INSTALLATION), KXCONN(Padded("").c_str(), &conn, &cc, &reason));
    EXPECT_EQ(KXCC_FAILED, cc);
}

TEST_F(QmTest, InitializeAcceptsOnlyTheCallOfPart12) {
    KxQmDetails d;
    memset(&d, 0, sizeof d);
    ASSERT_EQ(0u, lpiObtainQMDetails(0, 0, 0, &d));
    KxQmDetails zero;
    memset(&zero, 0, sizeof zero);
    EXPECT_EQ(0u, xcsInitialize(48, 16647, "@SYSTEM", &d, 0));
    EXPECT_EQ(KX_RC_BAD_ARGUMENTS, xcsInitialize(47, 16647, "@SYSTEM", &d, 0));
    EXPECT_EQ(KX_RC_BAD_ARGUMENTS, xcsInitialize(48, 16646, "@SYSTEM", &d, 0));
    EXPECT_EQ(KX_RC_BAD_ARGUMENTS, xcsInitialize(48, 16647, "SYSTEM", &d, 0));
    EXPECT_EQ(KX_RC_BAD_ARGUMENTS, xcsInitialize(48, 16647, "@SYSTEM", &zero, 0));
    EXPECT_EQ(KX_RC_BAD_ARGUMENTS, xcsInitialize(48, 16647, "@SYSTEM", &d, 1));
}

// Each operation returns exactly the injected code, whatever its top byte, until cleared.
TEST_F(QmTest, EveryOperationReturnsItsInjectedCode) {
    MakeQm("QM1", 2);
    uint32_t h;
    KX_OK_(kxsimHandle("QM1", "CH01", &h));
    const uint32_t codes[] = {0x20000001u, 0x40000002u, 0x10000003u, 0x80000004u, 0x00000005u, 0x20809901u};
    const char* const ops[] = {"details", "initialize", "next", "query", "access", "release"};
    for (const char* op : ops) {
        for (uint32_t code : codes) {
            Caller c;
            ASSERT_EQ(0u, c.Connect());  // before the fault, so that the rrx calls have a connection
            KX_OK_(kxsimFail(op, code, 0));
            KxQmDetails d;
            memset(&d, 0, sizeof d);
            uint32_t cursor = 0, handle = 0;
            uint32_t got = !strcmp(op, "details")      ? lpiObtainQMDetails(0, 0, 0, &d)
                           : !strcmp(op, "initialize") ? xcsInitialize(48, 16647, "@SYSTEM", &c.details, 0)
                           : !strcmp(op, "next")       ? rrxGetNextStatusEntry(&cursor, c.record, c.work)
                           : !strcmp(op, "query")      ? c.Query(h)
                           : !strcmp(op, "access")     ? rrxAccessStatusEntry("SDR:CH01:x", &handle, c.work)
                                                       : rrxReleaseStatusEntry(h, c.work);
            EXPECT_EQ(code, got) << op << " 0x" << std::hex << code;
            EXPECT_EQ(0u, cursor) << op;
            EXPECT_EQ(0u, handle) << op;
            KX_OK_(kxsimFail(op, 0, 0));
        }
    }
    Caller c;  // all cleared
    ASSERT_EQ(0u, c.Connect());
    EXPECT_EQ(0u, c.Query(h));
}

TEST_F(QmTest, ConnectFaultsGiveCompletionAndReason) {
    MakeQm("QM1", 1);
    struct Case {
        uint32_t completion, reason;
        bool connected;
    } cases[] = {{2, 2009, false}, {2, 0x12345678, false}, {1, 2104, true}, {1, 0, true}};
    for (const Case& k : cases) {
        KX_OK_(kxsimFail("connect", k.completion, k.reason));
        Caller c;
        EXPECT_EQ(k.reason, c.Connect());
        EXPECT_EQ(int32_t(k.completion), c.cc);
        EXPECT_EQ(k.reason, uint32_t(c.reason));
        uint32_t cursor = 0;
        EXPECT_EQ(k.connected ? 0u : RRX_NOT_CONNECTED, rrxGetNextStatusEntry(&cursor, c.record, c.work));
    }
    KX_OK_(kxsimFail("connect", 1, 2104));
    KX_OK_(kxsimStop("QM1"));  // a warning fault does not make a refused connection succeed
    Caller stopped;
    EXPECT_EQ(uint32_t(KXRC_QM_STOPPED), stopped.Connect());
    EXPECT_EQ(KXCC_FAILED, stopped.cc);
    KX_OK_(kxsimClearFaults());
    KX_OK_(kxsimStart("QM1"));
    Caller c;
    EXPECT_EQ(0u, c.Connect());
    EXPECT_EQ(KXCC_OK, c.cc);
}

TEST_F(QmTest, KxsimRefusesBadRequestsAndChangesNothing) {
    MakeQm("QM1", 1);
    std::string settings = [&] {
        std::string t;
        kx::ReadWholeFile(ini, t);
        return t;
    }();
    const uint32_t badOffset = 2036, goodOffset = KXREC_MESSAGES, values[] = {5, 6};
    const uint32_t offsets[] = {goodOffset, badOffset};
    struct Case {
        const char* what;
        int rc;
    } cases[] = {
        {"qm name with a blank", kxsimCreateQm("QM X", 0)},
        {"qm name of 49", kxsimCreateQm(std::string(49, 'Q').c_str(), 0)},
        {"existing qm", kxsimCreateQm("QM1", 1)},
        {"channel name of 21", kxsimAddChannel("QM1", "C23456789012345678901", 1, "x")},
        {"channel name with a colon", kxsimAddChannel("QM1", "A:B", 1, "x")},
        {"existing channel", kxsimAddChannel("QM1", "CH01", 1, "x")},
        {"unknown qm", kxsimAddChannel("QMX", "C", 1, "x")},
        {"conname of 265", kxsimAddChannel("QM1", "C", 1, std::string(265, 'h').c_str())},
        {"bad offset among good", kxsimSetFields("QM1", "CH01", offsets, values, 2, -1)},
        {"odd offset", kxsimSetField("QM1", "CH01", 1966, 1)},
        {"offset of the update count", kxsimSetField("QM1", "CH01", 0, 1)},
        {"unknown channel", kxsimSetField("QM1", "CH02", 1964, 1)},
        {"restart unknown", kxsimRestart("QM1", "CH02")},
        {"stop unknown", kxsimStop("QMX")},
        {"unknown operation", kxsimFail("connectx", 1, 1)},
        {"connect completion 3", kxsimFail("connect", 3, 1)},
    };
    for (const Case& k : cases) {
        EXPECT_NE(0, k.rc) << k.what;
    }
    std::string after;
    kx::ReadWholeFile(ini, after);
    EXPECT_EQ(settings, after);
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t last;
    ASSERT_EQ(1u, c.Walk(&last).size());
    EXPECT_EQ(0u, c.Field(KXREC_MESSAGES));  // the good field of the refused set was not written
    EXPECT_FALSE(std::filesystem::exists(dir + "/data/faults"));
}

TEST_F(QmTest, MoveGrowsTheCountsOfEachKindOfChannel) {
    KX_OK_(kxsimCreateQm("QM1", 1));
    struct Case {
        const char* name;
        uint32_t type;
        bool sends, receives;
    } cases[] = {{"S", 1, true, false}, {"V", 2, true, false}, {"R", 3, false, true},
                 {"Q", 4, false, true}, {"C", 6, true, true},  {"U", 5, true, false}};
    for (const Case& k : cases) KX_OK_(kxsimAddChannel("QM1", k.name, k.type, "x"));
    KX_OK_(kxsimMove("QM1", 100));
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t cursor = 0;
    for (const Case& k : cases) {
        ASSERT_EQ(0u, rrxGetNextStatusEntry(&cursor, c.record, c.work));
        EXPECT_EQ(100u, c.Field(KXREC_MESSAGES)) << k.name;
        uint32_t sent = c.Field(KXREC_BYTES_SENT), received = c.Field(KXREC_BYTES_RECEIVED);
        EXPECT_EQ(k.sends, sent >= 100 * 256) << k.name << " sent " << sent;
        EXPECT_EQ(k.receives, received >= 100 * 256) << k.name << " received " << received;
        EXPECT_EQ(2u, c.Field(KXREC_COUNT_1976)) << k.name;  // batches of 50
        EXPECT_TRUE(c.Whole());
    }
    KX_OK_(kxsimStop("QM1"));
    KX_OK_(kxsimMove("QM1", 100));  // nothing moves while stopped
    KX_OK_(kxsimStart("QM1"));
    uint32_t h;
    KX_OK_(kxsimHandle("QM1", "S", &h));
    ASSERT_EQ(0u, c.Query(h));
    EXPECT_EQ(100u, c.Field(KXREC_MESSAGES));
}

// A writer that dies in the middle of an update: readers get RRX_BUSY within the
// retry budget instead of hanging, and the next writer makes the entry whole.
TEST_F(QmTest, WriterDyingMidUpdateDoesNotWedgeReaders) {
    MakeQm("QM1", 1);
    uint32_t h;
    KX_OK_(kxsimHandle("QM1", "CH01", &h));
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        kx::WriterLock lock;
        kx::Table table;
        const std::string prefix = dir + "/data";
        if (!lock.Acquire(prefix.c_str()) || !table.Open(prefix.c_str(), 1)) _exit(1);
        kx::Entry* e = table.entry(0);
        __atomic_store_n(&e->seq, e->seq + 1, __ATOMIC_RELEASE);  // odd: mid-update
        memset(e->record + 1964, 0xEE, 8);                         // half of a change
        _exit(0);                                                  // dies holding the lock
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RRX_BUSY, c.Query(h));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    KX_OK_(kxsimSetField("QM1", "CH01", KXREC_MESSAGES, 12));  // the lock went with the dead writer
    ASSERT_EQ(0u, c.Query(h));
    EXPECT_EQ(12u, c.Field(KXREC_MESSAGES));
    EXPECT_TRUE(c.Whole());
}

TEST_F(QmTest, FaultsAndStateAreSeenByOtherProcesses) {
    MakeQm("QM1", 1);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        int rc = kxsimFail("query", 0x20001234, 0) | kxsimStop("QM1");
        _exit(rc);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Caller c;
    EXPECT_EQ(uint32_t(KXRC_QM_STOPPED), c.Connect());
    KX_OK_(kxsimStart("QM1"));
    ASSERT_EQ(0u, c.Connect());
    EXPECT_EQ(0x20001234u, c.Query(1));
}

// The status calls keep the settings, the faults and the mapped table from one
// call to the next; whatever another process changes through kxsim is still
// seen at the very next call, and so is a switch of KXQM_INI in this one.
TEST_F(QmTest, KeptStateFollowsChangesMadeElsewhere) {
    MakeQm("QM1", 2);
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t h1, h2;
    KX_OK_(kxsimHandle("QM1", "CH01", &h1));
    KX_OK_(kxsimHandle("QM1", "CH02", &h2));
    ASSERT_EQ(0u, c.Query(h1));  // everything read and kept from here on
    auto inChild = [](const std::function<int()>& change) {
        pid_t pid = fork();
        if (pid == 0) _exit(change());
        int status = 0;
        return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    ASSERT_TRUE(inChild([] { return kxsimFail("query", 0x20001234, 0); }));
    EXPECT_EQ(0x20001234u, c.Query(h1)) << "a fault set by another process";
    ASSERT_TRUE(inChild([] { return kxsimFail("query", 0, 0); }));
    EXPECT_EQ(0u, c.Query(h1)) << "the fault cleared by another process";
    ASSERT_TRUE(inChild([] { return kxsimSetField("QM1", "CH02", KXREC_MESSAGES, 77) | kxsimRemove("QM1", "CH01"); }));
    EXPECT_EQ(RRX_NOT_FOUND, c.Query(h1));
    ASSERT_EQ(0u, c.Query(h2));
    EXPECT_EQ(77u, c.Field(KXREC_MESSAGES));
    ASSERT_TRUE(inChild([] { return kxsimStop("QM1"); }));
    EXPECT_EQ(RRX_QM_STOPPED, c.Query(h2));
    ASSERT_TRUE(inChild([] { return kxsimStart("QM1"); }));
    // A second queue manager, made elsewhere: a connection to it is served at once.
    ASSERT_TRUE(inChild([] {
        return kxsimCreateQm("QM2", 0) | kxsimAddChannel("QM2", "OTHER", 3, "far") | kxsimFail("release", 9, 0);
    }));
    Caller c2;
    ASSERT_EQ(0u, c2.Connect("QM2"));
    uint32_t last, other;
    ASSERT_EQ(1u, c2.Walk(&last).size());
    KX_OK_(kxsimHandle("QM2", "OTHER", &other));
    ASSERT_EQ(0u, c2.Query(other));
    EXPECT_EQ("OTHER", c2.ChannelName());
    EXPECT_EQ(9u, rrxReleaseStatusEntry(other, c2.work)) << "the fault set with the new queue manager";

    // Another thread reads afresh and gets the same answers.
    uint32_t fromThread = 1;
    std::thread([&] { fromThread = rrxQueryStatusEntry(h2, c.record, c.work); }).join();
    EXPECT_EQ(0u, fromThread);

    // Another installation for this process, then back.
    const std::string first = ini;
    char other_dir[] = "/tmp/kxqm-test-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(other_dir));
    setenv("KXQM_INI", (std::string(other_dir) + "/kxqm.ini").c_str(), 1);
    EXPECT_EQ(RRX_NO_TABLE, c.Query(h2)) << "no settings there yet";
    KX_OK_(kxsimInit());
    EXPECT_EQ(RRX_NOT_CONNECTED, c.Query(h2)) << "no queue manager of that id there";
    setenv("KXQM_INI", first.c_str(), 1);
    EXPECT_EQ(0u, c.Query(h2));
    std::filesystem::remove_all(other_dir);
}

TEST(QmDefault, SettingsPathWithoutKxqmIni) {
    unsetenv("KXQM_INI");
    EXPECT_STREQ("/var/tmp/kxqm/kxqm.ini", kxsimSettingsPath());
    setenv("KXQM_INI", "/x/y.ini", 1);
    EXPECT_STREQ("/x/y.ini", kxsimSettingsPath());
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime calls these on every allocation and release.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                        void (*onFree)(const volatile void*));
static int g_allocations = 0;
static void CountAllocation(const volatile void*, size_t) { ++g_allocations; }
static void IgnoreRelease(const volatile void*) {}
#endif

// The collector's Collect allocates nothing, and it calls these (Parts 1.3, 1.6).
TEST_F(QmTest, StatusCallsAllocateNothing) {
#if !defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "needs the sanitizer's allocation hooks";
#else
    MakeQm("QM1", 3);
    KX_OK_(kxsimFail("release", 0x20000001, 0));  // a faults file to read
    Caller c;
    uint32_t h, handle = 0, cursor = 0;
    KX_OK_(kxsimHandle("QM1", "CH02", &h));
    const std::string blanks = Padded("");
    __sanitizer_install_malloc_and_free_hooks(CountAllocation, IgnoreRelease);
    g_allocations = 0;
    uint32_t rc = lpiObtainQMDetails(0, 0, 0, &c.details) | xcsInitialize(48, 16647, "@SYSTEM", &c.details, 0);
    rc |= KXCONN(blanks.data(), reinterpret_cast<int32_t*>(c.work + 900), &c.cc, &c.reason);
    rc |= rrxGetNextStatusEntry(&cursor, c.record, c.work) | c.Query(h);
    rc |= rrxAccessStatusEntry("SDR:CH02:host02(1414)", &handle, c.work);
    uint32_t released = rrxReleaseStatusEntry(h, c.work);
    int seen = g_allocations;
    __sanitizer_install_malloc_and_free_hooks(nullptr, nullptr);
    EXPECT_EQ(0u, rc);
    EXPECT_EQ(0x20000001u, released);
    EXPECT_EQ(0, seen) << "heap allocations in the libraries";
#endif
}
