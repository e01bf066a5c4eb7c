// The event-log and tick-count doubles behave as the collector's tests rely on.
#include "test_support.h"

namespace {

using namespace win32double;

TEST(EventLogDouble, RecordsRegistrationsReportsAndDeregistrations) {
    ResetEventLog();
    HANDLE h = RegisterEventSourceA(nullptr, "vortalis");
    ASSERT_NE(h, nullptr);
    HANDLE other = RegisterEventSourceA("server", "other");
    ASSERT_NE(other, nullptr);
    EXPECT_NE(h, other);
    const uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_TRUE(ReportEventA(h, EVENTLOG_ERROR_TYPE, 7, 0xE00007D2u, nullptr, 0, 4, nullptr,
                             const_cast<uint8_t*>(data)));
    EXPECT_TRUE(DeregisterEventSource(h));
    EXPECT_FALSE(DeregisterEventSource(h)) << "a handle deregisters once";
    EXPECT_FALSE(ReportEventA(h, EVENTLOG_INFORMATION_TYPE, 0, 1, nullptr, 0, 0, nullptr, nullptr));

    ASSERT_EQ(EventRegistrations().size(), 2u);
    EXPECT_FALSE(EventRegistrations()[0].serverGiven);
    EXPECT_TRUE(EventRegistrations()[1].serverGiven);
    EXPECT_EQ(EventRegistrations()[1].server, "server");
    ASSERT_EQ(EventReports().size(), 1u) << "only reports on registered handles";
    const EventReport& r = EventReports()[0];
    EXPECT_EQ(r.source, "vortalis");
    EXPECT_EQ(r.type, EVENTLOG_ERROR_TYPE);
    EXPECT_EQ(r.category, 7);
    EXPECT_EQ(r.id, 0xE00007D2u);
    EXPECT_EQ(r.data, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(EventDeregistrations(), 1);
    EXPECT_EQ(OpenEventSources(), 1);
    EXPECT_EQ(EventLogCalls(), (std::vector<std::string>{
                                   "register server=null source=vortalis",
                                   "register server='server' source=other",
                                   "report source=vortalis type=1 category=7 id=0xE00007D2 strings=0 size=4",
                                   "deregister source=vortalis",
                                   "deregister handle=invalid",
                                   "report type=4 category=0 id=0x1 strings=0 size=0 handle=invalid",
                               }));

    RefuseEventSource(true);
    EXPECT_EQ(RegisterEventSourceA(nullptr, "vortalis"), nullptr);
    EXPECT_FALSE(EventRegistrations().back().granted);
    ResetEventLog();
    EXPECT_TRUE(EventLogCalls().empty());
    EXPECT_NE(RegisterEventSourceA(nullptr, "vortalis"), nullptr) << "a reset grants again";
    ResetEventLog();
}

TEST(TickCountDouble, StandsWhereTheTestSetsIt) {
    SetTickCount(4294967000u);
    EXPECT_EQ(GetTickCount(), 4294967000u);
    EXPECT_EQ(GetTickCount(), 4294967000u);
    SetTickCount(704);
    EXPECT_EQ(GetTickCount(), 704u);
    SetTickCount(0);
}

}  // namespace
