// What chanmon prints: the CSV header and rows, and the table.
#include <gtest/gtest.h>

#include "block_builder.h"
#include "chanmon_output.h"
#include "perfdata.h"

using namespace blocks;

namespace {

struct Sample {
    Block block;
    DataBlock data;
    const ObjectData* object = nullptr;
};

Sample Read(const ObjectShape& shape) {
    Sample s;
    s.block = BlockOf({ObjectBytes(shape)}, true);
    BreachReport breach;
    // Two counters make a counter block of 12 bytes, which only the strict check minds.
    EXPECT_TRUE(ReadDataBlock(s.block.bytes.data(), s.block.bytes.size(), s.block.size, CheckLevel::Safe, &s.data,
                              &breach))
        << breach.message;
    s.object = FindObject(s.data, shape.index);
    return s;
}

ObjectNames Names(size_t counters) {
    ObjectNames n;
    n.object = "Queue Manager Channels";
    for (size_t k = 0; k < counters; ++k) n.counters.push_back("C" + std::to_string(k));
    return n;
}

ObjectShape Small() {
    ObjectShape s;
    s.counters = 2;
    s.instances = {{"SDR:A:x", {1, 22}}, {"RCVR:B:y", {333, 4}}};
    return s;
}

TEST(ChanmonCsv, HeaderNamesEveryInstanceAndCounterAndRowsFollowIt) {
    Sample s = Read(Small());
    ASSERT_NE(s.object, nullptr);
    CsvColumns columns = CsvColumnsOf(Names(2), *s.object);
    EXPECT_EQ(CsvHeader(Names(2), columns),
              "\"Time\",\"\\Queue Manager Channels(SDR:A:x)\\C0\",\"\\Queue Manager Channels(SDR:A:x)\\C1\","
              "\"\\Queue Manager Channels(RCVR:B:y)\\C0\",\"\\Queue Manager Channels(RCVR:B:y)\\C1\"\n");
    EXPECT_EQ(CsvRow("2024-05-01 12:00:01.250", columns, s.object, s.block.bytes.data()),
              "\"2024-05-01 12:00:01.250\",\"1\",\"22\",\"333\",\"4\"\n");
}

TEST(ChanmonCsv, RowsKeepTheFirstSamplesColumns) {
    Sample first = Read(Small());
    CsvColumns columns = CsvColumnsOf(Names(2), *first.object);

    ObjectShape changed;  // B went away, C came, A moved behind it
    changed.counters = 2;
    changed.instances = {{"CLNT:C:z", {9, 9}}, {"SDR:A:x", {5, 66}}};
    Sample later = Read(changed);
    EXPECT_EQ(CsvRow("t", columns, later.object, later.block.bytes.data()), "\"t\",\"5\",\"66\",\"\",\"\"\n");
    EXPECT_EQ(CsvRow("t", columns, nullptr, nullptr), "\"t\",\"\",\"\",\"\",\"\"\n") << "a sample without the object";
}

TEST(ChanmonCsv, EqualNamesMatchInOrderAndQuotesAreDoubled) {
    ObjectShape s;
    s.counters = 1;
    s.instances = {{"SDR:\"Q\":x", {1}}, {"SDR:\"Q\":x", {2}}};
    Sample one = Read(s);
    ObjectNames names = Names(1);
    CsvColumns columns = CsvColumnsOf(names, *one.object);
    EXPECT_EQ(CsvHeader(names, columns),
              "\"Time\",\"\\Queue Manager Channels(SDR:\"\"Q\"\":x)\\C0\",\"\\Queue Manager Channels(SDR:\"\"Q\"\":x)\\C0\"\n");
    EXPECT_EQ(CsvRow("t", columns, one.object, one.block.bytes.data()), "\"t\",\"1\",\"2\"\n");
}

TEST(ChanmonCsv, AnObjectWithoutInstancesHasPlainPaths) {
    ObjectShape s;
    s.counters = 2;
    s.noInstances = true;
    s.instances = {{"", {7, 8}}};
    Sample one = Read(s);
    CsvColumns columns = CsvColumnsOf(Names(2), *one.object);
    EXPECT_EQ(CsvHeader(Names(2), columns),
              "\"Time\",\"\\Queue Manager Channels\\C0\",\"\\Queue Manager Channels\\C1\"\n");
    EXPECT_EQ(CsvRow("t", columns, one.object, one.block.bytes.data()), "\"t\",\"7\",\"8\"\n");
}

TEST(ChanmonTable, LegendThenOneRowPerInstance) {
    Sample s = Read(Small());
    EXPECT_EQ(TableLegend(Names(2), *s.object),
              "Queue Manager Channels (object 230): 2 counters, one column each\n"
              "   0  C0\n"
              "   1  C1\n");
    EXPECT_EQ(TableSample("12:00:01", 3, *s.object, s.block.bytes.data()),
              "\n12:00:01  sample 3: 2 instances\n"
              "instance    0   1\n"
              "SDR:A:x     1  22\n"
              "RCVR:B:y  333   4\n");
}

TEST(ChanmonTable, NoInstances) {
    ObjectShape s;
    s.counters = 2;
    Sample one = Read(s);
    EXPECT_EQ(TableSample("t", 1, *one.object, one.block.bytes.data()), "\nt  sample 1: 0 instances\n");
}

}  // namespace
