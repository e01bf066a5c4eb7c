// VortalisCollect: fills the counters of every channel's instance from its
// status record, works out the per-second rates from the channel's previous
// sample, and copies the object into the caller's buffer.
#include <cstring>

#include "entrypoints.h"
#include "eventlog.h"
#include "messages.h"
#include "perfquery.h"
#include "rate.h"
#include "state.h"
#include "trace.h"

// Previous samples, one per slot of the channel table; 0 = none yet.
DWORD SavedTime[MAX_CHANNELS];
DWORD SavedBytesSent[MAX_CHANNELS];
DWORD SavedBytesRecvd[MAX_CHANNELS];
DWORD SavedNumMsgs[MAX_CHANNELS];

namespace {

// Counters 0 to 9 come from the channel status record in runs of counters
// whose fields lie side by side, each run copied at once (CopyCounts); 10 and 11
// from 1940 and 1944 when the record's flag is 'Y'.
static_assert(KXREC_BYTES_SENT == KXREC_MESSAGES + 4 && KXREC_BYTES_RECEIVED == KXREC_MESSAGES + 8 &&
                  KXREC_COUNT_1976 == KXREC_MESSAGES + 12,
              "counters 0-3 are one run");
static_assert(KXREC_COUNT_1988 == KXREC_COUNT_1984 + 4 && KXREC_COUNT_1992 == KXREC_COUNT_1984 + 8 &&
                  KXREC_COUNT_1996 == KXREC_COUNT_1984 + 12,
              "counters 4-7 are one run");
static_assert(KXREC_COUNT_1944 == KXREC_COUNT_1940 + 4, "counters 10-11 are one run");
enum { RATE_BYTES_SENT = 12, RATE_BYTES_RECEIVED = 13, RATE_MESSAGES = 14 };

// Fields and counters are 32-bit little-endian values, as the machine's own.
uint32_t Field(const unsigned char* record, uint32_t offset) {
    uint32_t value;
    std::memcpy(&value, record + offset, 4);
    return value;
}

// Counters 0 to 9: messages, bytes sent, bytes received and the count at 1976
// (0-3 from 1964-1979), the counts at 1984 to 1996 (4-7), at 1928 (8) and at 308
// (9).
void CopyCounts(unsigned char* counters, const unsigned char* record) {
    std::memcpy(counters + 4 * 0, record + KXREC_MESSAGES, 4 * 4);
    std::memcpy(counters + 4 * 4, record + KXREC_COUNT_1984, 4 * 4);
    std::memcpy(counters + 4 * 8, record + KXREC_COUNT_1928, 4);
    std::memcpy(counters + 4 * 9, record + KXREC_COUNT_308, 4);
}

// Counters 10 and 11, the counts at 1940 and 1944.
void CopyFlaggedCounts(unsigned char* counters, const unsigned char* record) {
    std::memcpy(counters + 4 * 10, record + KXREC_COUNT_1940, 4 * 2);
}

void StoreCounter(unsigned char* counters, int k, uint32_t value) { std::memcpy(counters + 4 * k, &value, 4); }

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
    if (data == nullptr || totalBytes == nullptr || numObjectTypes == nullptr) return ERROR_INVALID_PARAMETER;
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
    // A buffer that could hold the object but is not there: refused before any
    // channel is queried, rather than copied to.
    if (*data == nullptr) return NothingReturned(totalBytes, numObjectTypes, ERROR_INVALID_PARAMETER);
    TraceLine("enough space in callers buffer\n");

    unsigned char* object = reinterpret_cast<unsigned char*>(pPerfObj);
    pCharPtr = object + PERF_DEFINITION_BYTES;
    TraceLine("in COLLECT and pPerfInst = %p\n", static_cast<void*>(pCharPtr));
    const uint32_t instanceBytes = reinterpret_cast<PerfInstanceDefinition*>(pCharPtr)->ByteLength;

    alignas(64) unsigned char record[KX_STATUS_RECORD_BYTES];
    const bool tracing = Debug != 0;
    for (int32_t i = 0; i < nchans && i < MAX_CHANNELS; ++i) {
        TraceLineIf(tracing, "size of perfinst = %d\n", static_cast<int>(instanceBytes));
        pCharPtr += instanceBytes + sizeof(PerfCounterBlock);
        unsigned char* const counters = pCharPtr;
        TraceLineIf(tracing, "char ptr at counters = %p\n", static_cast<void*>(counters));

        uint32_t rc = rrxQueryStatusEntry(stats[i], record, Work);
        if (rc != 0) {
            if (rc == RRX_HANDLE_CHANGED) {
                // The channel restarted: take its new handle for the next call.
                TraceLineIf(tracing, "channel handle changed\n");
                uint32_t handle = stats[i];
                if (rrxAccessStatusEntry(ChannelNames[i], &handle, Work) == 0) stats[i] = handle;
                rc = 0;
            }
            TraceLineIf(tracing, "failed to get status information\n");
            LogErrorWithData(1, MSG_CHANNEL_STATS_FAILED, &rc, sizeof rc);
            return NothingReturned(totalBytes, numObjectTypes, rc);
        }

        const DWORD now = GetTickCount();
        DWORD elapsed = 0;
        if (SavedTime[i] != 0) {
            elapsed = now - SavedTime[i];
            TraceLineIf(tracing, "DeltaTime in msecs=%ld\n", TraceLong(elapsed));
        }
        SavedTime[i] = now;
        TraceLineIf(tracing, "got status information\n");

        CopyCounts(counters, record);
        if (record[KXREC_FLAG] == 'Y') CopyFlaggedCounts(counters, record);

        // Rates, each written only when its previous count is not 0 and time has
        // passed since it (without an elapsed time a rate is not defined, and the
        // counter keeps its value; its trace lines are left out with it). The
        // counts become the previous ones in any case.
        const uint32_t counts[3] = {Field(record, KXREC_BYTES_SENT), Field(record, KXREC_BYTES_RECEIVED),
                                    Field(record, KXREC_MESSAGES)};
        const uint32_t before[3] = {SavedBytesSent[i], SavedBytesRecvd[i], SavedNumMsgs[i]};
        uint32_t rates[3] = {};
        if (elapsed != 0) PerSecondRates(counts, before, elapsed, rates);
        if (elapsed != 0 && before[0] != 0) {
            StoreCounter(counters, RATE_BYTES_SENT, rates[0]);
            TraceLineIf(tracing, "SavedBytesSent=%ld\n", TraceLong(before[0]));
            TraceLineIf(tracing, "NumBytesdSent=%ld\n", TraceLong(counts[0]));
            TraceLineIf(tracing, "BytesSent/sec=%ld\n", TraceLong(rates[0]));
        }
        if (elapsed != 0 && before[1] != 0) {
            StoreCounter(counters, RATE_BYTES_RECEIVED, rates[1]);
            TraceLineIf(tracing, "BytesRecvd/sec=%ld\n", TraceLong(rates[1]));
        }
        if (elapsed != 0 && before[2] != 0) {
            StoreCounter(counters, RATE_MESSAGES, rates[2]);
            TraceLineIf(tracing, "NumMsgs/sec=%ld\n", TraceLong(rates[2]));
        }
        SavedBytesSent[i] = counts[0];
        SavedBytesRecvd[i] = counts[1];
        SavedNumMsgs[i] = counts[2];

        pCharPtr = counters + NUM_COUNTERS * sizeof(uint32_t);
    }
    TraceLine("Leaving Collect\n");

    std::memcpy(*data, object, objectBytes);
    *data = static_cast<unsigned char*>(*data) + objectBytes;
    *numObjectTypes = 1;
    *totalBytes = objectBytes;
    return 0;
}
