// chanmon: prints the collector's counters, sample by sample, as read through
// the performance data host. It keeps the collector loaded between samples, so
// that the collector keeps its previous samples and the rates appear.
// Exit status 0 when every sample was read (and, with --validate, checked) and
// at least one held the object; 1 otherwise; 2 for a wrong command line.
#include <cstdio>
#include <string>
#include <vector>

#include "chanmon_args.h"
#include "chanmon_output.h"
#include "perfbuffer.h"
#include "perfdata.h"
#include "perflibkeys.h"
#include "vortalis/registry_keys.h"

// Our reading of the data block header must be the platform's.
static_assert(sizeof(PerfDataBlockHeader) == sizeof(PERF_DATA_BLOCK), "PERF_DATA_BLOCK");
static_assert(offsetof(PerfDataBlockHeader, TotalByteLength) == offsetof(PERF_DATA_BLOCK, TotalByteLength), "layout");
static_assert(offsetof(PerfDataBlockHeader, HeaderLength) == offsetof(PERF_DATA_BLOCK, HeaderLength), "layout");
static_assert(offsetof(PerfDataBlockHeader, NumObjectTypes) == offsetof(PERF_DATA_BLOCK, NumObjectTypes), "layout");
static_assert(offsetof(PerfDataBlockHeader, PerfTime) == offsetof(PERF_DATA_BLOCK, PerfTime), "layout");
static_assert(offsetof(PerfDataBlockHeader, SystemNameOffset) == offsetof(PERF_DATA_BLOCK, SystemNameOffset), "layout");

namespace {

#define DRIVER "VORTALIS"
#define TEXT_LANGUAGE "009"

volatile LONG stopRequested = 0;

BOOL WINAPI OnControl(DWORD) {
    InterlockedExchange(&stopRequested, 1);
    return TRUE;
}

// Sleeps up to `ms`, in short steps; false once an interrupt asked to stop.
bool Wait(DWORD ms) {
    while (ms > 0 && stopRequested == 0) {
        DWORD step = ms < 50 ? ms : 50;
        Sleep(step);
        ms -= step;
    }
    return stopRequested == 0;
}

// One query of the host; `context` is the value name, the object's index.
int32_t QueryHost(void* context, uint8_t* data, uint32_t* size) {
    const std::string* valueName = static_cast<const std::string*>(context);
    DWORD type = 0, bytes = *size;
    LONG rc = RegQueryValueExA(HKEY_PERFORMANCE_DATA, valueName->c_str(), nullptr, &type, data, &bytes);
    *size = bytes;
    return rc;
}

std::string Now() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "chanmon: %s\n", message.c_str());
    return 1;
}

// The counter names: the language's list where the loader put it, then the
// host's own view for any index still without a name.
TextList CounterNames() {
    TextList names;
    HKEY store;
    std::string path, error;
    if (OpenTextStore(TEXT_LANGUAGE, false, false, &store, &path) == ERROR_SUCCESS) {
        if (ReadTextListValue(store, L"Counter", &names, &error) != ERROR_SUCCESS) names.clear();
        RegCloseKey(store);
    }
    for (const TextEntry& e : HostCounterNames(TEXT_LANGUAGE))
        if (TextAt(names, e.index) == nullptr) names.push_back(e);
    return names;
}

std::string NameOf(const TextList& names, uint32_t index, const char* fallback) {
    const std::u16string* text = TextAt(names, index);
    return text != nullptr ? Utf8(*text) : std::string(fallback) + " " + std::to_string(index);
}

ObjectNames NamesFor(const TextList& names, const ObjectData& object) {
    ObjectNames n;
    n.object = NameOf(names, object.nameIndex, "Object");
    for (const CounterInfo& c : object.counters) n.counters.push_back(NameOf(names, c.nameIndex, "Counter"));
    return n;
}

std::string ReadString(HKEY key, const char* name) {
    char text[MAX_PATH] = "";
    DWORD size = sizeof text - 1, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return "";
    text[size < sizeof text ? size : sizeof text - 1] = '\0';
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    ChanmonOptions options;
    std::string error;
    if (!ParseChanmonArgs(argc, argv, &options, &error)) {
        std::fprintf(stderr, "chanmon: %s\n%s", error.c_str(), kChanmonUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kChanmonUsage, stdout);
        return 0;
    }

    const std::string perfPath = DriverPerformanceKey(DRIVER);
    HKEY perf;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, perfPath.c_str(), 0, KEY_QUERY_VALUE | REGISTRY_VIEW, &perf) != ERROR_SUCCESS)
        return Fail(FullKeyName(perfPath) + " does not exist: run keyplant, then load the counter texts");
    OptionalDword first;
    LONG rc = ReadDwordValue(perf, VORTALIS_VAL_FIRST_COUNTER, &first);
    const std::string library = ReadString(perf, VORTALIS_VAL_LIBRARY);
    RegCloseKey(perf);
    if (rc != ERROR_SUCCESS || !first.present)
        return Fail(FullKeyName(perfPath) + " has no First Counter: load the counter texts first (ctrload vortalis_ctr.ini)");

    // The host loads and unloads the collector around every query; held here, it
    // stays loaded and keeps what it needs for the rates.
    HMODULE held = library.empty() ? nullptr : LoadLibraryA(library.c_str());
    if (held == nullptr)
        std::fprintf(stderr, "chanmon: cannot load %s (%s): the rates stay 0\n", library.c_str(),
                     ErrorText(LONG(GetLastError())).c_str());

    const TextList names = CounterNames();
    SetConsoleCtrlHandler(OnControl, TRUE);

    std::string valueName = std::to_string(first.value);
    const DWORD interval = DWORD(options.intervalSeconds * 1000 + 0.5);
    const CheckLevel level = options.validate ? CheckLevel::Strict : CheckLevel::Safe;
    std::vector<uint8_t> buffer;
    bool started = false, failed = false;
    CsvColumns columns;
    uint32_t withObject = 0, taken = 0;
    DWORD lastStart = 0;
    for (uint32_t n = 1; options.samples == 0 || n <= options.samples; ++n) {
        if (n > 1) {
            DWORD spent = GetTickCount() - lastStart;
            if (!Wait(spent < interval ? interval - spent : 0)) break;
        }
        if (stopRequested != 0) break;
        lastStart = GetTickCount();
        uint32_t size = 0;
        int32_t result = ReadPerfData(QueryHost, &valueName, &buffer, &size);
        const std::string time = Now();
        ++taken;
        if (result != ERROR_SUCCESS) {
            failed = Fail("sample " + std::to_string(n) + ": the performance data cannot be read: " +
                          ErrorText(result)) != 0;
            break;
        }
        DataBlock block;
        BreachReport breach;
        if (!ReadDataBlock(buffer.data(), buffer.size(), size, level, &block, &breach)) {
            failed = Fail("sample " + std::to_string(n) + ": " + breach.message) != 0;
            break;
        }
        const ObjectData* object = FindObject(block, first.value);
        if (object == nullptr) {
            if (!options.csv)
                std::printf("\n%s  sample %lu: no data from %s (its open failed or it has no object; the event log "
                            "says why)\n", time.c_str(), static_cast<unsigned long>(n), DRIVER);
            else if (started)
                std::fputs(CsvRow(time, columns, nullptr, buffer.data()).c_str(), stdout);
            else
                std::fprintf(stderr, "chanmon: sample %lu: no data from %s\n", static_cast<unsigned long>(n), DRIVER);
        } else {
            ++withObject;
            if (!started) {
                const ObjectNames objectNames = NamesFor(names, *object);
                if (options.csv) {
                    columns = CsvColumnsOf(objectNames, *object);
                    std::fputs(CsvHeader(objectNames, columns).c_str(), stdout);
                } else {
                    std::fputs(TableLegend(objectNames, *object).c_str(), stdout);
                }
                started = true;
            }
            if (options.csv)
                std::fputs(CsvRow(time, columns, object, buffer.data()).c_str(), stdout);
            else
                std::fputs(TableSample(time, n, *object, buffer.data()).c_str(), stdout);
        }
        std::fflush(stdout);
    }

    RegCloseKey(HKEY_PERFORMANCE_DATA);
    if (held != nullptr) FreeLibrary(held);
    if (failed) return 1;
    if (options.validate)
        std::fprintf(stderr, "chanmon: %lu samples checked, no breach\n", static_cast<unsigned long>(taken));
    if (withObject == 0) return Fail("no sample held the object of " DRIVER);
    return 0;
}
