// The channel table: up to 20 channel status handles of the queue manager named
// by QMName, with the work area that every channel-status operation is given.
#ifndef VORTALIS_CHANTABLE_H
#define VORTALIS_CHANTABLE_H

#include <cstdint>

// Sets up Work, starts the queue manager's common services, connects to the
// queue manager and fills stats/nchans from its channel-status table. Returns 0
// when the table holds at least one channel, RRX_NO_MORE_ENTRIES when the queue
// manager has no channel status, else the code of the step that failed.
uint32_t GetChlHdls();

// Overwrites the first zero byte of `text` and every byte after it, up to
// `length` bytes, with blanks. No terminator is written.
void PadKXCHAR(char* text, uint32_t length);

#endif
