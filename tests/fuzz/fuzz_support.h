// What the fuzz targets share: wide text made from fuzz bytes, status records
// made from fuzz bytes, a failure that stops the fuzzer with its reason, and a
// fresh collector for each input.
#ifndef VORTALIS_FUZZ_SUPPORT_H
#define VORTALIS_FUZZ_SUPPORT_H

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "entrypoints.h"
#include "fuzz_kx.h"
#include "kxapi.h"
#include "state.h"
#include "vortalis/registry_keys.h"
#include "win32_double.h"

// Previous samples of Collect (collect.cpp).
extern DWORD SavedTime[MAX_CHANNELS];
extern DWORD SavedBytesSent[MAX_CHANNELS];
extern DWORD SavedBytesRecvd[MAX_CHANNELS];
extern DWORD SavedNumMsgs[MAX_CHANNELS];

namespace fuzz {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                            \
    do {                                                                 \
        if (!(condition)) fuzz::Fail(#condition " (" __FILE__ ")");     \
    } while (0)

// The bytes as UTF-16 units, two bytes each (little-endian, a last odd byte on
// its own), ended by a 0; a 0 unit among them ends the text early, as it would on
// Windows. wchar_t is 4 bytes here, so each unit widens into one wchar_t.
inline std::vector<wchar_t> WideText(const uint8_t* data, size_t size) {
    std::vector<wchar_t> text;
    text.reserve(size / 2 + 2);
    for (size_t i = 0; i < size; i += 2) {
        uint16_t unit = data[i];
        if (i + 1 < size) unit = uint16_t(unit | data[i + 1] << 8);
        text.push_back(static_cast<wchar_t>(unit));
    }
    text.push_back(0);
    return text;
}

using Record = std::vector<unsigned char>;  // always KX_STATUS_RECORD_BYTES

// Record k of the bytes after `offset`: 2040 bytes each. A short or missing
// record is filled with the bytes given, over and over (zero when none), so that
// even a short input makes texts without terminators.
inline Record RecordAt(const uint8_t* data, size_t size, size_t offset, size_t k) {
    Record r(KX_STATUS_RECORD_BYTES, 0);
    if (size <= offset) return r;
    const uint8_t* tail = data + offset;
    const size_t tailBytes = size - offset;
    const size_t records = (tailBytes + KX_STATUS_RECORD_BYTES - 1) / KX_STATUS_RECORD_BYTES;
    const size_t start = (k % records) * KX_STATUS_RECORD_BYTES;
    const size_t given = tailBytes - start < KX_STATUS_RECORD_BYTES ? tailBytes - start : KX_STATUS_RECORD_BYTES;
    for (size_t i = 0; i < KX_STATUS_RECORD_BYTES; ++i) r[i] = tail[start + i % given];
    return r;
}

inline uint32_t Word(const unsigned char* bytes, size_t offset) {
    uint32_t v;
    std::memcpy(&v, bytes + offset, 4);
    return v;
}

// Every input starts from the collector's state at load, a registry as keyplant
// and the counter loader leave it, and tracing as asked.
inline void FreshCollector(bool tracing) {
    using namespace win32double;
    nchans = 0;
    std::memset(stats, 0, sizeof stats);
    std::memset(ChannelNames, 0, sizeof ChannelNames);
    std::memset(Work, 0, sizeof Work);
    std::memset(&PerfObject, 0, sizeof PerfObject);
    std::memset(SavedTime, 0, sizeof SavedTime);
    std::memset(SavedBytesSent, 0, sizeof SavedBytesSent);
    std::memset(SavedBytesRecvd, 0, sizeof SavedBytesRecvd);
    std::memset(SavedNumMsgs, 0, sizeof SavedNumMsgs);
    pPerfObj = nullptr;
    pCharPtr = nullptr;
    bInitialized = 0;
    Debug = 0;
    ResetRegistry();
    ResetEventLog();
    SetTickCount(0);
    PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_EVENT_LOG_LEVEL, 3);
    PutString(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_QM_NAME, "");
    PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_DEBUG_LEVEL, tracing ? 1 : 0);
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_COUNTER, 230);
    PutDword(VORTALIS_PERFORMANCE_KEY, VORTALIS_VAL_FIRST_HELP, 231);
}

// Runs in a folder of its own where the trace file "c:\vortalis.trc" is
// /dev/null: traced inputs exercise the trace code without filling a disk.
inline void WorkInScratchFolder() {
    static char dir[] = "/tmp/vortalis-fuzz-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0) Fail("scratch folder");
    if (symlink("/dev/null", "c:\\vortalis.trc") != 0) Fail("trace file link");
    std::atexit([] {
        if (chdir("/") == 0) {
            std::string link = std::string(dir) + "/c:\\vortalis.trc";
            unlink(link.c_str());
            rmdir(dir);
        }
    });
}

}  // namespace fuzz

#endif
