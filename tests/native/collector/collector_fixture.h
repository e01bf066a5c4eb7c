// A fresh world for each collector test: an empty registry and event log, the
// collector's module-level state as at load, and a temporary working directory,
// in which the trace file "c:\vortalis.trc" is an ordinary file.
#ifndef VORTALIS_COLLECTOR_FIXTURE_H
#define VORTALIS_COLLECTOR_FIXTURE_H

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "eventlog.h"
#include "state.h"
#include "test_support.h"
#include "trace.h"
#include "vortalis/registry_keys.h"

class CollectorTest : public testing::Test {
protected:
    void SetUp() override {
        win32double::ResetRegistry();
        win32double::ResetEventLog();
        win32double::SetTickCount(0);
        ResetCollectorState();
        char pattern[] = "/tmp/vortalis-collector-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }

    void TearDown() override {
        // Give back any hold a test left, so the next test starts unregistered.
        for (int i = 0; i < 100 && win32double::OpenEventSources() > 0; ++i) CloseEvntLog();
        CloseTraceFile();
        Debug = 0;
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    static void ResetCollectorState() {
        CloseTraceFile();
        Debug = 0;
        nchans = 0;
        std::memset(stats, 0, sizeof stats);
        std::memset(ChannelNames, 0, sizeof ChannelNames);
        std::memset(Work, 0, sizeof Work);
        std::memset(&PerfObject, 0, sizeof PerfObject);
        pPerfObj = nullptr;
        pPerfCounter = nullptr;
        pPerfInstance = nullptr;
        pPerfCtrBlk = nullptr;
        pCharPtr = nullptr;
    }

    // Tracing on, into a freshly opened trace file.
    void StartTracing() {
        Debug = 1;
        OpenTraceFile();
        ASSERT_NE(stream, nullptr);
    }

    // The trace file's contents; "" when it does not exist. Flushes first.
    std::string TraceText() const {
        if (stream != nullptr) std::fflush(stream);
        std::ifstream in(TRACE_FILE_NAME, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    bool TraceFileExists() const { return std::filesystem::exists(TRACE_FILE_NAME); }

    // Event ids reported, in order.
    static std::vector<uint32_t> ReportedIds() {
        std::vector<uint32_t> ids;
        for (const auto& r : win32double::EventReports()) ids.push_back(r.id);
        return ids;
    }

    static const unsigned char* ObjectBytes() { return reinterpret_cast<const unsigned char*>(&PerfObject); }
    static uint32_t ObjectWord(size_t offset) {
        const unsigned char* p = ObjectBytes() + offset;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    static const unsigned char* WorkBytes() { return reinterpret_cast<const unsigned char*>(Work); }

    std::string dir_;
    std::filesystem::path previous_;
};

inline std::string Pointer(const void* p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%p", p);
    return buf;
}

#endif
