// A fresh collector for each test: the body runs in a child process (gtest's
// death-test fork), so the collector's module state starts at its load values,
// as in a newly loaded library. The stand-in queue manager lives in a temporary
// folder named by KXQM_INI; the registry holds what keyplant writes plus the
// title indexes the counter loader would add.
#ifndef VORTALIS_ENTRY_FIXTURE_H
#define VORTALIS_ENTRY_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "entrypoints.h"
#include "kxapi.h"
#include "kxsim.h"
#include "state.h"
#include "test_support.h"
#include "vortalis/registry_keys.h"

namespace entrytest {

constexpr DWORD kFirstCounter = 230;
constexpr DWORD kFirstHelp = 231;

// Sets up the world every collector test starts from: queue manager QM1 (the
// default) with the given channels, the registry as installed, clock at 0.
inline void World(int channels) {
    using namespace win32double;
    ResetRegistry();
    ResetEventLog();
    SetTickCount(0);
    char dir[] = "/tmp/vortalis-entry-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ASSERT_EQ(chdir(dir), 0);  // the trace file "c:\vortalis.trc" lands here
    setenv("KXQM_INI", (std::string(dir) + "/kxqm.ini").c_str(), 1);
    ASSERT_EQ(kxsimInit(), 0) << kxsimLastError();
    ASSERT_EQ(kxsimCreateQm("QM1", 1), 0) << kxsimLastError();
    for (int c = 0; c < channels; ++c) {
        std::string name = "CH" + std::to_string(c + 1);
        ASSERT_EQ(kxsimAddChannel("QM1", name.c_str(), 1, ("host" + std::to_string(c + 1)).c_str()), 0)
            << kxsimLastError();
    }
    PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, 3);
    PutString(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_QM_NAME, "");
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_COUNTER, kFirstCounter);
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_HELP, kFirstHelp);
}

inline void Set(int channel, uint32_t offset, uint32_t value) {
    std::string name = "CH" + std::to_string(channel + 1);
    ASSERT_EQ(kxsimSetField("QM1", name.c_str(), offset, value), 0) << kxsimLastError();
}

// What one Collect returned. Every Collect of the tests goes through here and is
// checked: guard bytes before and after the caller's buffer untouched, the data
// pointer moved by exactly the byte count, a returned object exactly
// TotalByteLength bytes (a multiple of 8) and byte for byte the performance
// object, and nothing written, a byte count of 0, when no object comes back.
struct Collected {
    DWORD result = 0;
    DWORD bytes = 0;
    DWORD objects = 0;
    std::vector<uint8_t> data;  // the bytes reported as written
};

inline Collected Collect(const wchar_t* valueName, DWORD room = 8192) {
    const size_t guard = 64;
    std::vector<uint8_t> buffer(room + 2 * guard, 0xA5);
    LPVOID start = buffer.data() + guard;
    LPVOID cursor = start;
    Collected c;
    c.bytes = room;
    c.objects = 99;
    c.result = VortalisCollect(const_cast<LPWSTR>(valueName), &cursor, &c.bytes, &c.objects);
    EXPECT_EQ(static_cast<uint8_t*>(cursor) - static_cast<uint8_t*>(start), static_cast<ptrdiff_t>(c.bytes))
        << "the data pointer moves by exactly the bytes written";
    if (c.objects != 0) {
        EXPECT_EQ(c.objects, 1u);
        EXPECT_EQ(c.result, 0u) << "an object comes back only with result 0";
        EXPECT_LE(c.bytes, room);
        EXPECT_EQ(c.bytes, pPerfObj->TotalByteLength) << "the byte count is the object's TotalByteLength";
        EXPECT_EQ(c.bytes % 8, 0u) << "the object's length is a multiple of 8";
        if (c.bytes <= room) {
            EXPECT_EQ(std::memcmp(start, pPerfObj, c.bytes), 0) << "the bytes returned are the object's";
        }
    } else {
        EXPECT_EQ(c.bytes, 0u) << "no object: the byte count is 0 and nothing is written";
    }
    for (size_t i = 0; i < buffer.size(); ++i) {
        bool inside = i >= guard && i < guard + c.bytes;
        if (!inside && buffer[i] != 0xA5) {
            ADD_FAILURE() << "byte " << i - guard << " of the caller's buffer written outside the object";
            break;
        }
    }
    c.data.assign(buffer.begin() + guard, buffer.begin() + guard + c.bytes);
    return c;
}

// The whole trace file as it stands (empty when there is none). The collector
// writes it out at the last close, and when a failed open closes it.
inline std::string TraceFileText() {
    std::string text;
    FILE* f = std::fopen("c:\\vortalis.trc", "r");
    if (f == nullptr) return text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return text;
}

inline uint32_t U32(const std::vector<uint8_t>& d, size_t offset) {
    uint32_t v = 0;
    std::memcpy(&v, d.data() + offset, 4);
    return v;
}

// Counter k of instance i in a returned object.
inline uint32_t Counter(const std::vector<uint8_t>& d, int i, int k) { return U32(d, 664 + 152 * i + 92 + 4 * k); }

// The UTF-16 instance name of instance i, as 8-bit text.
inline std::string InstanceName(const std::vector<uint8_t>& d, int i) {
    std::string s;
    const size_t area = 664 + 152 * static_cast<size_t>(i) + 24;
    for (size_t o = area; o < area + 64; o += 2) {
        uint16_t u = uint16_t(d[o] | d[o + 1] << 8);
        if (u == 0) break;
        s += static_cast<char>(u);
    }
    return s;
}

// Event ids reported, in order.
inline std::vector<DWORD> EventIds() {
    std::vector<DWORD> ids;
    for (const auto& r : win32double::EventReports()) ids.push_back(r.id);
    return ids;
}

// The child's exit status, after its failures have been written to standard
// error, where the parent shows them.
inline int ChildStatus() {
    const testing::TestResult* result = testing::UnitTest::GetInstance()->current_test_info()->result();
    for (int i = 0; i < result->total_part_count(); ++i) {
        const testing::TestPartResult& part = result->GetTestPartResult(i);
        if (part.failed())
            std::fprintf(stderr, "%s:%d: %s\n", part.file_name() ? part.file_name() : "?", part.line_number(),
                         part.message());
    }
    std::fflush(stdout);
    return result->Failed() ? 1 : 0;
}

}  // namespace entrytest

// A test whose body runs against a freshly loaded collector.
#define COLLECTOR_TEST(suite, name)                                                        \
    static void suite##_##name##_Body();                                                   \
    TEST(suite, name) {                                                                    \
        GTEST_FLAG_SET(death_test_style, "fast");                                          \
        EXPECT_EXIT(                                                                       \
            {                                                                              \
                suite##_##name##_Body();                                                   \
                std::_Exit(entrytest::ChildStatus());                                      \
            },                                                                             \
            testing::ExitedWithCode(0), "");                                               \
    }                                                                                      \
    static void suite##_##name##_Body()

#endif
