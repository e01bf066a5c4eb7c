// The collector's reports to the Windows event log, under the event source
// "vortalis". A report made while no source is registered is dropped.
#ifndef VORTALIS_EVENTLOG_H
#define VORTALIS_EVENTLOG_H

#include <cstdint>

#define EVENT_SOURCE_NAME "vortalis"
#define DEFAULT_EVENT_LOG_LEVEL 3u

// Takes a hold on the event source; the first hold reads EventLogLevel, registers
// the source and reports MSG_EVENTLOG_OPENED. A refused registration counts no hold.
void OpenEvntLog();

// Releases a hold; the last release reports MSG_EVENTLOG_CLOSED and deregisters.
void CloseEvntLog();

// Reports an informational event, if the source is registered, the event-log
// level is not 0 and `level` is not above it (unsigned).
void LogInformation(uint32_t level, uint32_t id);

// Reports an error event carrying `size` bytes of `data`, under the same filter.
void LogErrorWithData(uint32_t level, uint32_t id, const void* data, uint32_t size);

#endif
