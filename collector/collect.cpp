// VortalisCollect: fills the counters of every channel's instance from its
// status record, works out the per-second rates from the channel's previous
// sample, and copies the object into the caller's buffer.
#include <cstring>

#include "entrypoints.h"
#include "eventlog.h"
#include "messages.h"
#include "perfquery.h"
#include "state.h"
#include "trace.h"

// Previous samples, one per slot of the channel table; 0 = none yet.
DWORD SavedTime[MAX_CHANNELS];
DWORD SavedBytesSent[MAX_CHANNELS];
DWORD SavedBytesRecvd[MAX_CHANNELS];
DWORD SavedNumMsgs[MAX_CHANNELS];

namespace {

// Counters 0 to 9 and where each comes from in the channel status record.
const uint32_t kCountFields[] = {
    KXREC_MESSAGES,   KXREC_BYTES_SENT, KXREC_BYTES_RECEIVED, KXREC_COUNT_1976, KXREC_COUNT_1984,
    KXREC_COUNT_1988, KXREC_COUNT_1992, KXREC_COUNT_1996,     KXREC_COUNT_1928, KXREC_COUNT_308,
};
enum { RATE_BYTES_SENT = 12, RATE_BYTES_RECEIVED = 13, RATE_MESSAGES = 14 };

uint32_t Field(const unsigned char* record, uint32_t offset) {
    return uint32_t(record[offset]) | uint32_t(record[offset + 1]) << 8 | uint32_t(record[offset + 2]) << 16 |
           uint32_t(record[offset + 3]) << 24;
}

void StoreCounter(unsigned char* counters, int k, uint32_t value) { std::memcpy(counters + 4 * k, &value, 4); }

// Count per second between two samples; the difference wraps modulo 2^32.
uint32_t Rate(uint32_t current, uint32_t previous, uint32_t elapsedMs) {
    double perSecond = static_cast<double>(current - previous) / static_cast<double>(elapsedMs) * 1000.0;
    return static_cast<uint32_t>(static_cast<uint64_t>(perSecond));
}

// One rate counter of a sample: written only when the previous count is not 0
// and time has passed since it (without an elapsed time a rate is not defined,
// and the counter keeps its value; its trace lines are left out with it). The
// count becomes the previous one in any case.
bool SampleRate(uint32_t current, DWORD* saved, uint32_t elapsedMs, unsigned char* counters, int k,
                uint32_t* rate) {
    const bool written = *saved != 0 && elapsedMs != 0;
    if (written) {
        *rate = Rate(current, *saved, elapsedMs);
        StoreCounter(counters, k, *rate);
    }
    *saved = current;
    return written;
}

DWORD NothingReturned(LPDWORD totalBytes, LPDWORD numObjectTypes, DWORD result) {
    *totalBytes = 0;
    *numObjectTypes = 0;
    return result;
}

}  // namespace

extern "C" DWORD WINAPI VortalisCollect(LPWSTR valueName, LPVOID* data, LPDWORD totalBytes,
                                        LPDWORD numObjectTypes) {
    // The performance library always passes all three; anything else is refused
    // before a byte is written, rather than followed into a crash of the host.
    if (data == nullptr || *data == nullptr || totalBytes == nullptr || numObjectTypes == nullptr)
        return ERROR_INVALID_PARAMETER;
    TraceLine("entering COLLECT\n");
    if (bInitialized == 0) return NothingReturned(totalBytes, numObjectTypes, 0);
    TraceLine("initialisation OK\n");

    DWORD queryType = GetPerfQueryType(valueName);
    if (queryType == QUERY_FOREIGN) return NothingReturned(totalBytes, numObjectTypes, 0);
    TraceLine("query OK\n");
    if (queryType == QUERY_ITEMS && IsNumberInList(pPerfObj->ObjectNameTitleIndex, valueName) == 0)
        return NothingReturned(totalBytes, numObjectTypes, 0);
    TraceLine("item exists\n");

    const DWORD objectBytes = pPerfObj->TotalByteLength;
    if (*totalBytes < objectBytes) return NothingReturned(totalBytes, numObjectTypes, ERROR_MORE_DATA);
    TraceLine("enough space in callers buffer\n");

    unsigned char* object = reinterpret_cast<unsigned char*>(pPerfObj);
    pCharPtr = object + PERF_DEFINITION_BYTES;
    TraceLine("in COLLECT and pPerfInst = %p\n", static_cast<void*>(pCharPtr));
    const uint32_t instanceBytes = reinterpret_cast<PerfInstanceDefinition*>(pCharPtr)->ByteLength;

    unsigned char record[KX_STATUS_RECORD_BYTES];
    for (int32_t i = 0; i < nchans && i < MAX_CHANNELS; ++i) {
        TraceLine("size of perfinst = %d\n", static_cast<int>(instanceBytes));
        pCharPtr += instanceBytes + sizeof(PerfCounterBlock);
        TraceLine("char ptr at counters = %p\n", static_cast<void*>(pCharPtr));

        uint32_t rc = rrxQueryStatusEntry(stats[i], record, Work);
        if (rc != 0) {
            if (rc == RRX_HANDLE_CHANGED) {
                // The channel restarted: take its new handle for the next call.
                TraceLine("channel handle changed\n");
                uint32_t handle = stats[i];
                if (rrxAccessStatusEntry(ChannelNames[i], &handle, Work) == 0) stats[i] = handle;
                rc = 0;
            }
            TraceLine("failed to get status information\n");
            LogErrorWithData(1, MSG_CHANNEL_STATS_FAILED, &rc, sizeof rc);
            return NothingReturned(totalBytes, numObjectTypes, rc);
        }

        const DWORD now = GetTickCount();
        DWORD elapsed = 0;
        if (SavedTime[i] != 0) {
            elapsed = now - SavedTime[i];
            TraceLine("DeltaTime in msecs=%ld\n", TraceLong(elapsed));
        }
        SavedTime[i] = now;
        TraceLine("got status information\n");

        for (int k = 0; k < 10; ++k) StoreCounter(pCharPtr, k, Field(record, kCountFields[k]));
        if (record[KXREC_FLAG] == 'Y') {
            StoreCounter(pCharPtr, 10, Field(record, KXREC_COUNT_1940));
            StoreCounter(pCharPtr, 11, Field(record, KXREC_COUNT_1944));
        }

        const uint32_t sent = Field(record, KXREC_BYTES_SENT);
        const uint32_t sentBefore = SavedBytesSent[i];
        uint32_t rate;
        if (SampleRate(sent, &SavedBytesSent[i], elapsed, pCharPtr, RATE_BYTES_SENT, &rate)) {
            TraceLine("SavedBytesSent=%ld\n", TraceLong(sentBefore));
            TraceLine("NumBytesdSent=%ld\n", TraceLong(sent));
            TraceLine("BytesSent/sec=%ld\n", TraceLong(rate));
        }
        if (SampleRate(Field(record, KXREC_BYTES_RECEIVED), &SavedBytesRecvd[i], elapsed, pCharPtr,
                       RATE_BYTES_RECEIVED, &rate))
            TraceLine("BytesRecvd/sec=%ld\n", TraceLong(rate));
        if (SampleRate(Field(record, KXREC_MESSAGES), &SavedNumMsgs[i], elapsed, pCharPtr, RATE_MESSAGES, &rate))
            TraceLine("NumMsgs/sec=%ld\n", TraceLong(rate));

        pCharPtr += NUM_COUNTERS * sizeof(uint32_t);
    }
    TraceLine("Leaving Collect\n");

    std::memcpy(*data, object, objectBytes);
    *data = static_cast<unsigned char*>(*data) + objectBytes;
    *numObjectTypes = 1;
    *totalBytes = objectBytes;
    return 0;
}
