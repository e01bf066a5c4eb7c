// The trace file: a plain-text record written only while Debug is non-zero, and
// only while the file is open.
#ifndef VORTALIS_TRACE_H
#define VORTALIS_TRACE_H

#include <cstdint>
#include <cstdio>

#define TRACE_FILE_NAME "c:\\vortalis.trc"

extern uint32_t Debug;  // the trace switch (state.h)

// Reads DebugLevel into Debug; when it cannot be read, Debug keeps its value.
void ReadDebugLevel();

// Opens the trace file for appending into `stream`, unless one is open already.
// A file that does not open leaves `stream` null; nothing is reported.
void OpenTraceFile();

// Closes the trace file if it is open and sets `stream` to null. Debug stays.
void CloseTraceFile();

// One trace line: a formatted print of `format` to `stream`, only while Debug is
// non-zero and the file is open. Lines are buffered; the buffer goes out only
// between lines (before a line that would not fit in it), so that the lines of
// processes appending at the same time never cut into each other. With tracing
// off a line costs the one test of Debug made at the call site.
void WriteTraceLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
#define TraceLine(...)                               \
    do {                                             \
        if (Debug != 0) WriteTraceLine(__VA_ARGS__); \
    } while (0)
// The same where the caller has read the switch once for many lines, into a
// local `tracing` (Debug does not change while an entry point runs).
#define TraceLineIf(tracing, ...)                    \
    do {                                             \
        if (tracing) WriteTraceLine(__VA_ARGS__);    \
    } while (0)

// Shows `length` bytes from `data` on `file`: "\n", then rows of 20 bytes, each
// byte as "%2X", two blanks, the row's printable bytes, "\n"; each row is written
// whole, as a trace line is. Writes only while Debug is non-zero; flushes `file`
// in any case (when it is open).
void TraceDump(const void* data, uint32_t length, FILE* file);

// A 32-bit value for a "%ld" trace argument, as Windows' 32-bit long shows it.
inline long TraceLong(uint32_t value) { return static_cast<long>(static_cast<int32_t>(value)); }

#endif
