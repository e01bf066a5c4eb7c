// The event-log unit: holds on the event source, the level filter and the
// reports' arguments.
#include "collector_fixture.h"
#include "messages.h"

namespace {

using EventLogTest = CollectorTest;
using win32double::EventReports;

const uint8_t kCode[4] = {0x02, 0x00, 0x00, 0x00};

struct FilterCase {
    const char* what;
    bool present;
    uint32_t level;
    std::vector<uint32_t> expected;
};

// One hold; reports at levels 1, 3, 4 and 0x80000000 and 0xFFFFFFFF; release.
std::vector<uint32_t> ReportEveryLevel() {
    OpenEvntLog();
    LogErrorWithData(1, 0xE0000001u, kCode, 4);
    LogInformation(3, 0x60000003u);
    LogInformation(4, 0x60000004u);
    LogErrorWithData(0x80000000u, 0xE0000080u, kCode, 4);
    LogInformation(0xFFFFFFFFu, 0x600000FFu);
    CloseEvntLog();
    std::vector<uint32_t> ids;
    for (const auto& r : EventReports()) ids.push_back(r.id);
    return ids;
}

TEST_F(EventLogTest, LevelFiltersEveryReportUnsigned) {
    const FilterCase cases[] = {
        {"level 0 silences the log, even the open and close messages", true, 0, {}},
        {"level 3", true, 3,
         {MSG_EVENTLOG_OPENED, 0xE0000001u, 0x60000003u, MSG_EVENTLOG_CLOSED}},
        {"missing: level 3", false, 0,
         {MSG_EVENTLOG_OPENED, 0xE0000001u, 0x60000003u, MSG_EVENTLOG_CLOSED}},
        {"level 0xFFFFFFFF lets everything through", true, 0xFFFFFFFFu,
         {MSG_EVENTLOG_OPENED, 0xE0000001u, 0x60000003u, 0x60000004u, 0xE0000080u, 0x600000FFu,
          MSG_EVENTLOG_CLOSED}},
        {"level 0x80000000 is above 4, not below 0", true, 0x80000000u,
         {MSG_EVENTLOG_OPENED, 0xE0000001u, 0x60000003u, 0x60000004u, 0xE0000080u, MSG_EVENTLOG_CLOSED}},
    };
    for (const FilterCase& c : cases) {
        win32double::ResetRegistry();
        win32double::ResetEventLog();
        win32double::PutKey(VORTALIS_PARAMETERS_KEY);
        if (c.present) win32double::PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, c.level);
        EXPECT_EQ(ReportEveryLevel(), c.expected) << c.what;
        EXPECT_EQ(win32double::OpenEventSources(), 0) << c.what;
        EXPECT_EQ(win32double::OpenKeyCount(), 0) << c.what;
    }

    // A level that cannot be read (8 bytes) counts as missing.
    win32double::ResetEventLog();
    const uint8_t eight[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    win32double::PutValue(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, REG_BINARY, eight, 8);
    EXPECT_EQ(ReportEveryLevel(), cases[1].expected) << "8 bytes of level data: level 3";
}

TEST_F(EventLogTest, ReportsCarryTheirArguments) {
    win32double::PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, 3);
    OpenEvntLog();
    const uint8_t reason[4] = {0x0B, 0x08, 0x00, 0x00};
    LogErrorWithData(1, MSG_QM_CONNECT_FAILED, reason, 4);
    CloseEvntLog();

    const auto& reg = win32double::EventRegistrations();
    ASSERT_EQ(reg.size(), 1u);
    EXPECT_FALSE(reg[0].serverGiven) << "the local machine";
    EXPECT_EQ(reg[0].source, "vortalis");

    const auto& r = EventReports();
    ASSERT_EQ(r.size(), 3u);
    struct Expected {
        WORD type;
        uint32_t id;
        std::vector<uint8_t> data;
    } expected[] = {
        {EVENTLOG_INFORMATION_TYPE, MSG_EVENTLOG_OPENED, {}},
        {EVENTLOG_ERROR_TYPE, MSG_QM_CONNECT_FAILED, {0x0B, 0x08, 0x00, 0x00}},
        {EVENTLOG_INFORMATION_TYPE, MSG_EVENTLOG_CLOSED, {}},
    };
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r[i].type, expected[i].type) << i;
        EXPECT_EQ(r[i].id, expected[i].id) << i;
        EXPECT_EQ(r[i].category, 0) << i;
        EXPECT_FALSE(r[i].userSid) << i;
        EXPECT_EQ(r[i].numStrings, 0) << i;
        EXPECT_FALSE(r[i].strings) << i;
        EXPECT_EQ(r[i].dataSize, expected[i].data.size()) << i;
        EXPECT_EQ(r[i].rawData, !expected[i].data.empty()) << i;
        EXPECT_EQ(r[i].data, expected[i].data) << i;
    }
    EXPECT_EQ(win32double::EventLogCalls().back(), "deregister source=vortalis");
}

TEST_F(EventLogTest, HoldsShareOneRegistration) {
    win32double::PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, 3);
    LogErrorWithData(1, 0xE0000001u, kCode, 4);  // before any hold: dropped
    CloseEvntLog();                               // nothing registered: nothing happens
    EXPECT_TRUE(win32double::EventLogCalls().empty());

    OpenEvntLog();
    // A level changed while registered has no effect until the next registration.
    win32double::PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, 0);
    OpenEvntLog();
    CloseEvntLog();
    EXPECT_EQ(win32double::EventDeregistrations(), 0) << "one hold is left";
    LogInformation(3, 0x60000003u);
    CloseEvntLog();
    CloseEvntLog();  // more releases than holds: nothing happens
    LogErrorWithData(1, 0xE0000002u, kCode, 4);  // after the last release: dropped

    EXPECT_EQ(win32double::EventRegistrations().size(), 1u);
    EXPECT_EQ(win32double::EventDeregistrations(), 1);
    EXPECT_EQ(ReportedIds(), (std::vector<uint32_t>{MSG_EVENTLOG_OPENED, 0x60000003u, MSG_EVENTLOG_CLOSED}));

    // The next registration reads the level again: now 0, so nothing is reported.
    OpenEvntLog();
    LogErrorWithData(1, 0xE0000003u, kCode, 4);
    CloseEvntLog();
    EXPECT_EQ(win32double::EventRegistrations().size(), 2u);
    EXPECT_EQ(EventReports().size(), 3u);
    EXPECT_EQ(win32double::OpenEventSources(), 0);
}

TEST_F(EventLogTest, RefusedRegistrationCountsNoHold) {
    win32double::PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, 3);
    win32double::RefuseEventSource(true);
    OpenEvntLog();
    LogErrorWithData(1, 0xE0000001u, kCode, 4);
    CloseEvntLog();
    EXPECT_TRUE(EventReports().empty());
    EXPECT_EQ(win32double::EventDeregistrations(), 0);

    // Each later open tries again and reads the level anew.
    win32double::PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, 1);
    win32double::RefuseEventSource(false);
    OpenEvntLog();
    LogInformation(2, 0x60000002u);  // above the new level 1
    LogErrorWithData(1, 0xE0000001u, kCode, 4);
    CloseEvntLog();
    EXPECT_EQ(win32double::EventRegistrations().size(), 2u);
    EXPECT_EQ(ReportedIds(), (std::vector<uint32_t>{MSG_EVENTLOG_OPENED, 0xE0000001u, MSG_EVENTLOG_CLOSED}));
    EXPECT_EQ(win32double::OpenEventSources(), 0);
}

TEST_F(EventLogTest, FailingReportsAreIgnored) {
    win32double::FailEventReports(true);
    OpenEvntLog();
    OpenEvntLog();
    LogErrorWithData(1, 0xE0000001u, kCode, 4);
    CloseEvntLog();
    CloseEvntLog();
    EXPECT_EQ(ReportedIds(), (std::vector<uint32_t>{MSG_EVENTLOG_OPENED, 0xE0000001u, MSG_EVENTLOG_CLOSED}));
    EXPECT_EQ(win32double::OpenEventSources(), 0);
}

}  // namespace
