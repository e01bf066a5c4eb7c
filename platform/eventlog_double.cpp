// In-memory event log behind RegisterEventSourceA, ReportEventA and
// DeregisterEventSource, for native tests.
#include <cstdio>
#include <memory>

#include "win32_double.h"

namespace win32double {
namespace {

struct Source {
    std::string name;
    bool open;
};

std::vector<std::unique_ptr<Source>> sources;
std::vector<EventRegistration> registrations;
std::vector<EventReport> reports;
std::vector<std::string> calls;
int deregistrations = 0;
bool refuse = false;
bool failReports = false;

Source* Find(HANDLE handle) {
    for (auto& s : sources)
        if (s.get() == handle && s->open) return s.get();
    return nullptr;
}

std::string Hex(DWORD v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

}  // namespace

void ResetEventLog() {
    sources.clear();
    registrations.clear();
    reports.clear();
    calls.clear();
    deregistrations = 0;
    refuse = false;
    failReports = false;
}

void RefuseEventSource(bool r) { refuse = r; }
void FailEventReports(bool f) { failReports = f; }

const std::vector<EventRegistration>& EventRegistrations() { return registrations; }
const std::vector<EventReport>& EventReports() { return reports; }
int EventDeregistrations() { return deregistrations; }

int OpenEventSources() {
    int n = 0;
    for (auto& s : sources) n += s->open ? 1 : 0;
    return n;
}

const std::vector<std::string>& EventLogCalls() { return calls; }

}  // namespace win32double

using namespace win32double;

extern "C" HANDLE RegisterEventSourceA(LPCSTR server, LPCSTR sourceName) {
    EventRegistration r;
    r.serverGiven = server != nullptr;
    r.server = server ? server : "";
    r.source = sourceName ? sourceName : "";
    r.granted = !refuse;
    registrations.push_back(r);
    calls.push_back("register server=" + (server ? "'" + r.server + "'" : std::string("null")) +
                    " source=" + r.source + (refuse ? " refused" : ""));
    if (refuse) return nullptr;
    sources.push_back(std::unique_ptr<Source>(new Source{r.source, true}));
    return sources.back().get();
}

extern "C" BOOL ReportEventA(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid,
                             WORD numStrings, DWORD dataSize, LPCSTR* strings, LPVOID rawData) {
    std::string line = "report type=" + std::to_string(type) + " category=" + std::to_string(category) +
                       " id=" + Hex(eventId) + " strings=" + std::to_string(numStrings) +
                       " size=" + std::to_string(dataSize);
    Source* s = Find(eventLog);
    if (s == nullptr) {
        calls.push_back(line + " handle=invalid");
        return FALSE;
    }
    calls.push_back(line.insert(6, " source=" + s->name));
    EventReport r;
    r.source = s->name;
    r.type = type;
    r.category = category;
    r.id = eventId;
    r.userSid = userSid != nullptr;
    r.numStrings = numStrings;
    r.strings = strings != nullptr;
    r.dataSize = dataSize;
    r.rawData = rawData != nullptr;
    if (rawData != nullptr) {
        const uint8_t* p = static_cast<const uint8_t*>(rawData);
        r.data.assign(p, p + dataSize);
    }
    reports.push_back(r);
    return failReports ? FALSE : TRUE;
}

extern "C" BOOL DeregisterEventSource(HANDLE eventLog) {
    Source* s = Find(eventLog);
    if (s == nullptr) {
        calls.push_back("deregister handle=invalid");
        return FALSE;
    }
    calls.push_back("deregister source=" + s->name);
    s->open = false;
    ++deregistrations;
    return TRUE;
}
