// VortalisOpen and VortalisClose: the first-time set-up (event source, debug
// level, trace file, channel table, title indexes), the rebuild of the object
// on every open, and the release of everything at the last close.
#include <cstring>

#include "chantable.h"
#include "entrypoints.h"
#include "eventlog.h"
#include "messages.h"
#include "perfobject.h"
#include "state.h"
#include "trace.h"
#include "vortalis/registry_keys.h"

DWORD bInitialized = 0;

namespace {

DWORD dwOpenCount = 0;
DWORD dwFirstCounter = 0;
DWORD dwFirstHelp = 0;

const char kPlaceholder[] = "...no Channel Status";

void TraceSizes() {
    TraceLine("size of PERF_OBJECT_TYPE=%d\n", static_cast<int>(sizeof(PerfObjectType)));
    TraceLine("size of PERF_COUNTER_DEFINITION=%d\n", static_cast<int>(sizeof(PerfCounterDefinition)));
    TraceLine("total size of PERF_COUNTER_DEFs=%d\n",
                         static_cast<int>(NUM_COUNTERS * sizeof(PerfCounterDefinition)));
    TraceLine("size of PERF_INSTANCE_DEFINITION=%d\n", static_cast<int>(sizeof(PerfInstanceDefinition)));
    TraceLine("size of PERF_COUNTER_BLOCK=%d\n", static_cast<int>(sizeof(PerfCounterBlock)));
    TraceLine("size of counters=%d\n", static_cast<int>(NUM_COUNTERS * sizeof(uint32_t)));
}

// A failed first-time set-up: report, close the Performance key if it is open,
// give back the hold on the event source and the trace file it opened, so that
// the next Open starts clean.
DWORD FailSetUp(DWORD id, DWORD result, HKEY key = nullptr) {
    LogErrorWithData(1, id, &result, sizeof result);
    if (key != nullptr) RegCloseKey(key);
    CloseEvntLog();
    CloseTraceFile();
    return result;
}

// Reads one title index from the open Performance key.
LONG ReadIndex(HKEY key, const char* name, DWORD* out) {
    DWORD type;
    DWORD size = sizeof *out;
    return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(out), &size);
}

// Runs when no open is outstanding. Returns 0, or the code that failed the set-up.
DWORD FirstTimeSetUp(bool* placeholder) {
    OpenEvntLog();
    ReadDebugLevel();
    if (Debug) {
        OpenTraceFile();
        TraceSizes();
    }

    uint32_t rc = GetChlHdls();
    TraceLine("rc from GetChlHdls = %lx\n", static_cast<unsigned long>(rc));
    DWORD result = 0;
    if (rc == RRX_NO_MORE_ENTRIES && nchans == 0) {
        nchans = 1;
        *placeholder = true;
        std::memcpy(ChannelNames[0], kPlaceholder, sizeof kPlaceholder);
    } else if (rc != 0) {
        result = rc;
    } else if (nchans == 0) {
        result = 0xFFFFFFFFu;
    }
    if (result != 0) {
        TraceLine("failed to get %d channel handles\n", static_cast<int>(nchans));
        return FailSetUp(MSG_CHANNEL_STATS_FAILED, result);
    }
    TraceLine("got %d channel handles\n", static_cast<int>(nchans));

    // Read access is all the collector needs, and all that most processes
    // reading performance data have under HKEY_LOCAL_MACHINE.
    HKEY key;
    LONG err = RegOpenKeyExA(HKEY_LOCAL_MACHINE, VORTALIS_PERFORMANCE_KEY, 0, KEY_READ, &key);
    if (err != ERROR_SUCCESS) return FailSetUp(MSG_PERF_KEY_FAILED, static_cast<DWORD>(err));
    DWORD firstCounter = 0, firstHelp = 0;
    err = ReadIndex(key, VORTALIS_VAL_FIRST_COUNTER, &firstCounter);
    if (err != ERROR_SUCCESS) return FailSetUp(MSG_FIRST_COUNTER_FAILED, static_cast<DWORD>(err), key);
    TraceLine("First Counter is %ld\n", TraceLong(firstCounter));
    err = ReadIndex(key, VORTALIS_VAL_FIRST_HELP, &firstHelp);
    if (err != ERROR_SUCCESS) return FailSetUp(MSG_FIRST_HELP_FAILED, static_cast<DWORD>(err), key);
    RegCloseKey(key);
    dwFirstCounter = firstCounter;
    dwFirstHelp = firstHelp;
    bInitialized = 1;
    return 0;
}

}  // namespace

extern "C" DWORD WINAPI VortalisOpen(LPWSTR /*deviceNames*/) {
    bool placeholder = false;
    if (dwOpenCount == 0) {
        DWORD result = FirstTimeSetUp(&placeholder);
        if (result != 0) return result;
    }
    if (nchans != 0 && !placeholder) RefreshChlNames();
    BuildPerfObject(dwFirstCounter, dwFirstHelp);
    // The placeholder instance stays in the object, but Collect has no channel to query.
    if (nchans != 0 && placeholder) nchans = 0;
    ++dwOpenCount;
    return 0;
}

extern "C" DWORD WINAPI VortalisClose(void) {
    if (dwOpenCount == 0) return 0;  // a Close without an open: the count never wraps
    if (--dwOpenCount != 0) return 0;
    CloseTraceFile();
    for (int32_t i = 0; i < nchans; ++i) rrxReleaseStatusEntry(stats[i], Work);
    CloseEvntLog();
    return 0;
}
