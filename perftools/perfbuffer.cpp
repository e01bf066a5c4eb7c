#include "perfbuffer.h"

#include <algorithm>

int32_t ReadPerfData(PerfReader read, void* context, std::vector<uint8_t>* buffer, uint32_t* size) {
    if (buffer->empty()) buffer->resize(PERF_BUFFER_INITIAL);
    for (;;) {
        std::fill(buffer->begin(), buffer->end(), uint8_t(0));
        *size = uint32_t(buffer->size());
        int32_t rc = read(context, buffer->data(), size);
        if (rc != PERF_MORE_DATA || buffer->size() >= PERF_BUFFER_LIMIT) return rc;
        buffer->resize(std::min<size_t>(buffer->size() * 2, PERF_BUFFER_LIMIT));
    }
}
