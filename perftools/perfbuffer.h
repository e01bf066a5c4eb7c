// Asks the host for performance data into a buffer that grows: the host answers
// "more data" (234) without saying how much, so the buffer doubles until the
// data fits or a limit is reached.
#ifndef PERFTOOLS_PERFBUFFER_H
#define PERFTOOLS_PERFBUFFER_H

#include <cstdint>
#include <vector>

#define PERF_BUFFER_INITIAL 8192u
#define PERF_BUFFER_LIMIT (64u << 20)
#define PERF_MORE_DATA 234

// One query: fills data[0, *size) and sets *size to the bytes returned; 0 on
// success, PERF_MORE_DATA when the buffer is too small, another code otherwise.
typedef int32_t (*PerfReader)(void* context, uint8_t* data, uint32_t* size);

// Queries into *buffer (PERF_BUFFER_INITIAL bytes when empty), zeroed before
// each try, doubling it on PERF_MORE_DATA up to PERF_BUFFER_LIMIT; the buffer
// keeps its size for the next call. Returns the last result and the reported size.
int32_t ReadPerfData(PerfReader read, void* context, std::vector<uint8_t>* buffer, uint32_t* size);

#endif
