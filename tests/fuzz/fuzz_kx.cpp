// A fuzz-fed stand-in for kxqmdir, kxbase, kxcore and kxlinkst (fuzz_kx.h). The
// set-up calls succeed as the collector makes them.
#include "fuzz_kx.h"

#include <cstring>

#include "kxapi.h"

namespace {

int g_channels = 0;
const unsigned char* g_records[fuzzkx::kMaxHandles + 1] = {};
uint32_t g_failures[fuzzkx::kMaxHandles + 1] = {};
int g_queries = 0;
const unsigned char kZeroRecord[KX_STATUS_RECORD_BYTES] = {};

bool Valid(uint32_t handle) { return handle >= 1 && handle <= uint32_t(g_channels); }

void CopyRecord(uint32_t handle, void* record) {
    std::memcpy(record, g_records[handle] != nullptr ? g_records[handle] : kZeroRecord, KX_STATUS_RECORD_BYTES);
}

}  // namespace

namespace fuzzkx {

void Reset(int channels) {
    g_channels = channels < 0 ? 0 : channels > kMaxHandles ? kMaxHandles : channels;
    std::memset(g_records, 0, sizeof g_records);
    std::memset(g_failures, 0, sizeof g_failures);
    g_queries = 0;
}

void SetRecord(uint32_t handle, const unsigned char* record) {
    if (handle <= uint32_t(kMaxHandles)) g_records[handle] = record;
}

void FailQuery(uint32_t handle, uint32_t code) {
    if (handle <= uint32_t(kMaxHandles)) g_failures[handle] = code;
}

int Queries() { return g_queries; }

}  // namespace fuzzkx

extern "C" {

const unsigned char xcsIC_SYSTEM_SUBPOOL[16] = {'K', 'X', 'S', 'U', 'B', 'P', 'O', 'O',
                                                'L', '@', 'S', 'Y', 'S', 'T', 'E', 'M'};

uint32_t lpiObtainQMDetails(uint32_t, uint32_t, uint32_t, KxQmDetails* details) {
    if (details == nullptr) return KX_RC_BAD_ARGUMENTS;
    details->version = KX_QM_DETAILS_VERSION;
    return KX_OK;
}

uint32_t xcsInitialize(uint32_t, uint32_t, const char*, KxQmDetails*, uint32_t) { return KX_OK; }

uint32_t KXCONN(const char*, int32_t* connection, int32_t* completionCode, int32_t* reason) {
    *connection = int32_t(0x4B580001);
    *completionCode = KXCC_OK;
    *reason = 0;
    return 0;
}

uint32_t rrxGetNextStatusEntry(uint32_t* cursor, void* record, void*) {
    uint32_t next = *cursor + 1;
    if (!Valid(next)) return RRX_NO_MORE_ENTRIES;
    CopyRecord(next, record);
    *cursor = next;
    return KX_OK;
}

uint32_t rrxQueryStatusEntry(uint32_t handle, void* record, void*) {
    ++g_queries;
    if (!Valid(handle)) return RRX_NOT_FOUND;
    if (g_failures[handle] != 0) return g_failures[handle];
    CopyRecord(handle, record);
    return KX_OK;
}

// The channel keeps its handle: the failure that made the collector ask is over.
uint32_t rrxAccessStatusEntry(const char*, uint32_t* handle, void*) {
    if (!Valid(*handle)) return RRX_NOT_FOUND;
    g_failures[*handle] = 0;
    return KX_OK;
}

uint32_t rrxReleaseStatusEntry(uint32_t handle, void*) { return Valid(handle) ? KX_OK : RRX_NOT_FOUND; }
}
