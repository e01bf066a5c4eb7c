// The queue manager's four libraries as the fuzz targets need them: the status
// records that the channel-status calls return are whatever the fuzzer made.
// The walk gives handles 1 to `channels` in order; a query of handle h copies
// the record set for h (all 2040 bytes, as the real library does), or returns
// the failure set for h.
#ifndef VORTALIS_FUZZ_KX_H
#define VORTALIS_FUZZ_KX_H

#include <cstdint>

namespace fuzzkx {

constexpr int kMaxHandles = 20;

// Forgets every record and failure; the walk then gives `channels` handles.
void Reset(int channels);
// `record` (2040 bytes, kept by pointer) is what handle h's queries return.
void SetRecord(uint32_t handle, const unsigned char* record);
// From now on queries of handle h return `code` (0: success again).
void FailQuery(uint32_t handle, uint32_t code);
// Status queries made since the last Reset.
int Queries();

}  // namespace fuzzkx

#endif
