// The buffer that grows while the host answers "more data".
#include <gtest/gtest.h>

#include "perfbuffer.h"

namespace {

struct FakeHost {
    explicit FakeHost(uint32_t bytes) : needed(bytes) {}
    uint32_t needed;         // bytes the answer takes
    int32_t failure = 0;     // answered instead, when not 0
    int calls = 0;
    bool dirty = false;      // a try found bytes left from an earlier one
    std::vector<uint32_t> offered;
};

int32_t Answer(void* context, uint8_t* data, uint32_t* size) {
    FakeHost* host = static_cast<FakeHost*>(context);
    ++host->calls;
    host->offered.push_back(*size);
    for (uint32_t i = 0; i < *size && i < 65536; ++i) host->dirty = host->dirty || data[i] != 0;
    if (host->failure != 0) return host->failure;
    if (*size < host->needed) {
        for (uint32_t i = 0; i < *size; ++i) data[i] = 0xEE;  // a host may scribble before it gives up
        return PERF_MORE_DATA;
    }
    for (uint32_t i = 0; i < host->needed; ++i) data[i] = uint8_t(i);
    *size = host->needed;
    return 0;
}

TEST(PerfBuffer, DoublesUntilTheDataFitsAndKeepsTheSize) {
    FakeHost host(20000);
    std::vector<uint8_t> buffer;
    uint32_t size = 0;
    ASSERT_EQ(ReadPerfData(Answer, &host, &buffer, &size), 0);
    EXPECT_EQ(host.offered, (std::vector<uint32_t>{8192, 16384, 32768}));
    EXPECT_EQ(size, 20000u);
    EXPECT_EQ(buffer.size(), 32768u);
    EXPECT_EQ(buffer[19999], uint8_t(19999));
    EXPECT_FALSE(host.dirty) << "each try starts from a zeroed buffer";

    host.offered.clear();
    ASSERT_EQ(ReadPerfData(Answer, &host, &buffer, &size), 0);
    EXPECT_EQ(host.offered, (std::vector<uint32_t>{32768})) << "the grown buffer is kept";
    EXPECT_FALSE(host.dirty) << "the next sample starts from a zeroed buffer too";
}

TEST(PerfBuffer, FirstTryFitsWithoutGrowing) {
    FakeHost host(1000);
    std::vector<uint8_t> buffer;
    uint32_t size = 0;
    ASSERT_EQ(ReadPerfData(Answer, &host, &buffer, &size), 0);
    EXPECT_EQ(host.calls, 1);
    EXPECT_EQ(buffer.size(), size_t(PERF_BUFFER_INITIAL));
}

TEST(PerfBuffer, StopsAtTheLimit) {
    FakeHost host(PERF_BUFFER_LIMIT + 1);
    std::vector<uint8_t> buffer;
    uint32_t size = 0;
    EXPECT_EQ(ReadPerfData(Answer, &host, &buffer, &size), PERF_MORE_DATA);
    EXPECT_EQ(buffer.size(), size_t(PERF_BUFFER_LIMIT));
    EXPECT_EQ(host.offered.back(), PERF_BUFFER_LIMIT);
}

TEST(PerfBuffer, OtherAnswersComeBackAtOnce) {
    FakeHost host(100);
    host.failure = 5;
    std::vector<uint8_t> buffer;
    uint32_t size = 0;
    EXPECT_EQ(ReadPerfData(Answer, &host, &buffer, &size), 5);
    EXPECT_EQ(host.calls, 1);
}

}  // namespace
