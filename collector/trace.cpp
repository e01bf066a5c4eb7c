#include "trace.h"

#include <cctype>
#include <cstdarg>

#include "regparam.h"
#include "state.h"
#include "vortalis/registry_keys.h"

#define DUMP_ROW_BYTES 20u

void ReadDebugLevel() { ReadParameterDword(VORTALIS_VAL_DEBUG_LEVEL, &Debug); }

void OpenTraceFile() {
    if (stream != nullptr) return;  // keep the file that a failed set-up left open
    stream = std::fopen(TRACE_FILE_NAME, "a");
}

void CloseTraceFile() {
    if (stream == nullptr) return;
    std::fclose(stream);
    stream = nullptr;
}

void WriteTraceLine(const char* format, ...) {
    if (Debug == 0 || stream == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
}

void TraceDump(const void* data, uint32_t length, FILE* file) {
    if (file == nullptr) return;
    if (length != 0 && Debug != 0) {
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        std::fprintf(file, "\n");
        for (uint32_t row = 0; row < length; row += DUMP_ROW_BYTES) {
            uint32_t end = length - row < DUMP_ROW_BYTES ? length : row + DUMP_ROW_BYTES;
            for (uint32_t i = row; i < end; ++i) std::fprintf(file, "%2X", static_cast<unsigned>(bytes[i]));
            std::fprintf(file, "  ");
            for (uint32_t i = row; i < end; ++i)
                if (std::isprint(bytes[i])) std::fprintf(file, "%c", bytes[i]);
            std::fprintf(file, "\n");
        }
    }
    std::fflush(file);
}
