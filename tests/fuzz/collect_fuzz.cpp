// Open, two Collects and Close on arbitrary status records (any type code, texts
// without terminators, huge counts), arbitrary tick counts, buffers of every size
// around the object's, tracing on or off, and a failed status query now and then.
// Around every Collect:
//   - nothing is written before or after the caller's buffer, and nothing at all
//     when no object is returned;
//   - a returned object is TotalByteLength bytes, a multiple of 8, the data
//     pointer moves by exactly that, and the bytes are the performance object's;
//   - in the performance object only the counter values of the instances change;
//   - the result is what the buffer size and the injected failure make it, and
//     counters 0 to 11 of a returned object come from that Collect's records.
//
// Input: byte 0 the channels (0 to 20; 0 gives the placeholder object); byte 1
// bit 0 tracing, bits 1-2 the value name; byte 2 the buffer size; byte 3 bit 7 a
// failed query in the second Collect, on the channel its low bits pick, with the
// code of bytes 4 to 7 (0: the channel's handle changed); bytes 8 to 15 the tick
// counts of the two Collects; then the records, 2040 bytes each: channel i takes
// record i in the first Collect and record channels + i in the second.
#include <string>

#include "fuzz_support.h"

namespace {

constexpr size_t kGuard = 64;
constexpr unsigned char kUnwritten = 0xA5;

wchar_t kGlobal[] = L"Global";
wchar_t kIndex[] = L"228 230";
wchar_t kCostly[] = L"Costly";

// One Collect into a buffer of `room` bytes with guard bytes on both sides,
// checked as the file comment says. `records` are this Collect's, per channel.
void CollectAndCheck(wchar_t* valueName, DWORD room, DWORD tick, int failingSlot, uint32_t failure,
                     const std::vector<fuzz::Record>& records) {
    win32double::SetTickCount(tick);
    const DWORD objectBytes = pPerfObj->TotalByteLength;
    const int instances = pPerfObj->NumInstances;
    const int queried = nchans;
    std::vector<unsigned char> before(reinterpret_cast<const unsigned char*>(&PerfObject),
                                      reinterpret_cast<const unsigned char*>(&PerfObject) + sizeof PerfObject);
    std::vector<unsigned char> buffer(kGuard + room + kGuard, kUnwritten);
    unsigned char* start = buffer.data() + kGuard;
    LPVOID cursor = start;
    DWORD bytes = room, objects = 99;

    const DWORD rc = VortalisCollect(valueName, &cursor, &bytes, &objects);

    // The buffer.
    const bool returned = rc == 0 && objects == 1;
    const size_t written = returned ? bytes : 0;
    FUZZ_CHECK(static_cast<unsigned char*>(cursor) == start + written);
    for (size_t i = 0; i < buffer.size(); ++i)
        if (i < kGuard || i >= kGuard + written) FUZZ_CHECK(buffer[i] == kUnwritten);
    if (returned) {
        FUZZ_CHECK(bytes == objectBytes);
        FUZZ_CHECK(bytes % 8 == 0);
        FUZZ_CHECK(std::memcmp(start, &PerfObject, bytes) == 0);
    } else {
        FUZZ_CHECK(bytes == 0);
        FUZZ_CHECK(objects == 0);
    }

    // The result.
    if (room < objectBytes) {
        FUZZ_CHECK(rc == ERROR_MORE_DATA);
    } else if (failingSlot >= 0 && failingSlot < queried) {
        FUZZ_CHECK(!returned);
        FUZZ_CHECK(rc == (failure == RRX_HANDLE_CHANGED ? 0 : failure));
    } else {
        FUZZ_CHECK(returned);
    }

    // The object: only counter values of instances change, and a returned
    // object's counts are those of this Collect's records.
    const unsigned char* after = reinterpret_cast<const unsigned char*>(&PerfObject);
    for (size_t b = 0; b < sizeof PerfObject; ++b) {
        const bool counterValue = b >= PERF_DEFINITION_BYTES &&
                                  b < PERF_DEFINITION_BYTES + PERF_INSTANCE_BYTES * size_t(queried) &&
                                  (b - PERF_DEFINITION_BYTES) % PERF_INSTANCE_BYTES >= 92;
        if (!counterValue) FUZZ_CHECK(after[b] == before[b]);
    }
    if (!returned) return;
    static const uint32_t kFields[12] = {
        KXREC_MESSAGES,   KXREC_BYTES_SENT, KXREC_BYTES_RECEIVED, KXREC_COUNT_1976, KXREC_COUNT_1984,
        KXREC_COUNT_1988, KXREC_COUNT_1992, KXREC_COUNT_1996,     KXREC_COUNT_1928, KXREC_COUNT_308,
        KXREC_COUNT_1940, KXREC_COUNT_1944};
    FUZZ_CHECK(queried <= instances);
    for (int i = 0; i < queried; ++i) {
        const fuzz::Record& r = records[size_t(i)];
        const PerfInstance& instance = PerfObject.Instances[i];
        const int counts = r[KXREC_FLAG] == 'Y' ? 12 : 10;
        for (int k = 0; k < counts; ++k) FUZZ_CHECK(instance.Counters[k] == fuzz::Word(r.data(), kFields[k]));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::WorkInScratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 16) return 0;
    const int channels = data[0] % (MAX_CHANNELS + 1);
    const bool tracing = data[1] & 1;
    wchar_t* const names[4] = {kGlobal, kIndex, kCostly, nullptr};
    wchar_t* valueName = names[(data[1] >> 1) & 3];
    const int failingSlot = (data[3] & 0x80) && channels > 0 ? (data[3] & 0x1F) % channels : -1;
    uint32_t failure = fuzz::Word(data, 4);
    if (failure == 0) failure = RRX_HANDLE_CHANGED;
    const DWORD ticks[2] = {fuzz::Word(data, 8), fuzz::Word(data, 12)};

    fuzz::FreshCollector(tracing);
    fuzzkx::Reset(channels);
    std::vector<fuzz::Record> records[2];
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < channels; ++i)
            records[c].push_back(fuzz::RecordAt(data, size, 16, size_t(c * channels + i)));
    for (int i = 0; i < channels; ++i) fuzzkx::SetRecord(uint32_t(i + 1), records[0][size_t(i)].data());

    FUZZ_CHECK(VortalisOpen(nullptr) == 0);
    FUZZ_CHECK(pPerfObj != nullptr);
    const DWORD objectBytes = pPerfObj->TotalByteLength;
    FUZZ_CHECK(objectBytes == PERF_DEFINITION_BYTES + PERF_INSTANCE_BYTES * uint32_t(channels == 0 ? 1 : channels));
    // Buffer sizes: mostly within 8 bytes of the object's, at times anywhere up to 4 KB.
    const DWORD room = data[2] < 0xC0 ? objectBytes - 8 + data[2] % 17 : DWORD(data[2] - 0xC0) * 64;

    CollectAndCheck(valueName, room, ticks[0], -1, 0, records[0]);
    for (int i = 0; i < channels; ++i) fuzzkx::SetRecord(uint32_t(i + 1), records[1][size_t(i)].data());
    if (failingSlot >= 0) fuzzkx::FailQuery(uint32_t(failingSlot + 1), failure);
    CollectAndCheck(valueName, room, ticks[1], failingSlot, failure, records[1]);
    // Whatever happened, the collector serves again once the channel answers.
    if (failingSlot >= 0) fuzzkx::FailQuery(uint32_t(failingSlot + 1), 0);
    CollectAndCheck(valueName, objectBytes, ticks[1] + 1000, -1, 0, records[1]);

    FUZZ_CHECK(VortalisClose() == 0);
    FUZZ_CHECK(stream == nullptr);
    FUZZ_CHECK(win32double::OpenKeyCount() == 0);
    FUZZ_CHECK(win32double::OpenEventSources() == 0);
    return 0;
}
