#include "eventlog.h"

#include "messages.h"
#include "regparam.h"
#include "vortalis/registry_keys.h"
#include "vortalis/winapi.h"

namespace {
HANDLE hEventLog = nullptr;
uint32_t dwUserCount = 0;
uint32_t dwLogLevel = DEFAULT_EVENT_LOG_LEVEL;

bool Passes(uint32_t level) { return hEventLog != nullptr && dwLogLevel != 0 && level <= dwLogLevel; }
}  // namespace

void OpenEvntLog() {
    if (hEventLog != nullptr) {
        ++dwUserCount;
        return;
    }
    if (!ReadParameterDword(VORTALIS_VAL_EVENT_LOG_LEVEL, &dwLogLevel)) dwLogLevel = DEFAULT_EVENT_LOG_LEVEL;
    hEventLog = RegisterEventSourceA(nullptr, EVENT_SOURCE_NAME);
    if (hEventLog == nullptr) return;
    LogInformation(dwLogLevel, MSG_EVENTLOG_OPENED);
    ++dwUserCount;
}

void CloseEvntLog() {
    if (hEventLog == nullptr) return;
    if (--dwUserCount != 0) return;
    LogInformation(dwLogLevel, MSG_EVENTLOG_CLOSED);
    DeregisterEventSource(hEventLog);
    hEventLog = nullptr;
}

void LogInformation(uint32_t level, uint32_t id) {
    if (!Passes(level)) return;
    ReportEventA(hEventLog, EVENTLOG_INFORMATION_TYPE, 0, id, nullptr, 0, 0, nullptr, nullptr);
}

void LogErrorWithData(uint32_t level, uint32_t id, const void* data, uint32_t size) {
    if (!Passes(level)) return;
    ReportEventA(hEventLog, EVENTLOG_ERROR_TYPE, 0, id, nullptr, 0, size, nullptr, const_cast<void*>(data));
}
