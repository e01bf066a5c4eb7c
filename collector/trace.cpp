#include "trace.h"

#include <cctype>
#include <cstdarg>

#ifdef _WIN32
#include <io.h>
#endif

#include "regparam.h"
#include "state.h"
#include "vortalis/registry_keys.h"
#include "vortalis/winapi.h"

#define DUMP_ROW_BYTES 20u
#define TRACE_BUFFER_BYTES 4096u
#define TRACE_LINE_BYTES 512u

namespace {

// The trace file's buffer. Every process with tracing on appends to the same
// file, so what goes out must be whole lines, and go out in one piece:
// - the buffer goes out only between lines: a trace line or dump row that would
//   not fit in what is left of it sends it out first, so the C library never
//   finds it full in the middle of one (a line end may take two bytes in it, in
//   text mode, so each counts twice);
// - on Windows the C library's append mode moves to the end of the file and then
//   writes, in text mode in several pieces, and another process can come
//   between them; so the buffer goes out under a lock on the file, which every
//   process takes.
char traceBuffer[TRACE_BUFFER_BYTES];
size_t buffered = 0;  // bytes put into the buffer since it last went out

void Flush(FILE* file) {
#ifdef _WIN32
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    OVERLAPPED lockByte = {};  // a byte far past the end: it guards, it holds nothing
    lockByte.Offset = 0xFFFFFFFEu;
    lockByte.OffsetHigh = 0x7FFFFFFFu;
    const bool locked = handle != INVALID_HANDLE_VALUE &&
                        LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockByte) != 0;
    std::fflush(file);
    if (locked) UnlockFileEx(handle, 0, 1, 0, &lockByte);
#else
    std::fflush(file);  // one write to a file opened for appending: it lands whole
#endif
    buffered = 0;
}

// One whole line, or dump row, of `length` bytes.
void WriteWhole(FILE* file, const char* text, size_t length) {
    size_t room = length;
    for (size_t i = 0; i < length; ++i) room += text[i] == '\n';
    if (buffered + room >= sizeof traceBuffer) Flush(file);
    std::fwrite(text, 1, length, file);
    buffered += room;
}

}  // namespace

void ReadDebugLevel() { ReadParameterDword(VORTALIS_VAL_DEBUG_LEVEL, &Debug); }

void OpenTraceFile() {
    if (stream != nullptr) return;  // an open trace file is kept, not opened twice
    stream = std::fopen(TRACE_FILE_NAME, "a");
    if (stream != nullptr) std::setvbuf(stream, traceBuffer, _IOFBF, sizeof traceBuffer);
    buffered = 0;
}

void CloseTraceFile() {
    if (stream == nullptr) return;
    Flush(stream);
    std::fclose(stream);
    stream = nullptr;
    buffered = 0;
}

void WriteTraceLine(const char* format, ...) {
    if (Debug == 0 || stream == nullptr) return;
    char line[TRACE_LINE_BYTES];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length >= 0 && size_t(length) < sizeof line) {
        WriteWhole(stream, line, size_t(length));
        return;
    }
    // Longer than any line of the collector (none comes near): out on its own,
    // as the C library prints it.
    Flush(stream);
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
    Flush(stream);
}

void TraceDump(const void* data, uint32_t length, FILE* file) {
    if (file == nullptr) return;
    if (length != 0 && Debug != 0) {
        static const char kHex[] = "0123456789ABCDEF";
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        WriteWhole(file, "\n", 1);
        // The row advances to its own end, which never passes `length`, so the
        // count cannot wrap whatever the length.
        for (uint32_t row = 0, end; row < length; row = end) {
            end = length - row < DUMP_ROW_BYTES ? length : row + DUMP_ROW_BYTES;
            char text[3 * DUMP_ROW_BYTES + 3];
            size_t used = 0;
            for (uint32_t i = row; i < end; ++i) {  // each byte as "%2X"
                text[used++] = bytes[i] < 0x10 ? ' ' : kHex[bytes[i] >> 4];
                text[used++] = kHex[bytes[i] & 0xF];
            }
            text[used++] = ' ';
            text[used++] = ' ';
            for (uint32_t i = row; i < end; ++i)
                if (std::isprint(bytes[i])) text[used++] = static_cast<char>(bytes[i]);
            text[used++] = '\n';
            WriteWhole(file, text, used);
        }
    }
    Flush(file);
}
