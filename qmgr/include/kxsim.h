/* Managing the stand-in queue manager: everything qmsim does, callable in-process
 * by tests. The settings file is the one lpiObtainQMDetails reads (KXQM_INI, or
 * the platform's default place); state lives in files under its data prefix, so a
 * change made here is seen at once by every process that uses the libraries.
 * Every function returns 0 on success; otherwise non-zero, with a one-line
 * explanation in kxsimLastError(). Nothing is half-written on a failure. */
#ifndef KXSIM_H
#define KXSIM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Path of the settings file in force (KXQM_INI or the default). */
const char* kxsimSettingsPath(void);

int kxsimInit(void); /* creates the settings file and the data prefix; idempotent */
int kxsimCreateQm(const char* qm, int makeDefault);
/* Names: 1 to 48 (queue manager) or 20 (channel) characters of A-Z a-z 0-9 . / _ %,
 * case-sensitive. A channel's record starts zero with its type code, connection
 * name (at most 264 characters), blank-padded name and flag 'Y'. */
int kxsimAddChannel(const char* qm, const char* channel, uint32_t typeCode, const char* connectionName);
int kxsimSetField(const char* qm, const char* channel, uint32_t offset, uint32_t value);
int kxsimSetFlag(const char* qm, const char* channel, char flag);
/* Old handles then get RRX_HANDLE_CHANGED; the new entry's counts start at 0
 * (type, names and flag stay). */
int kxsimRestart(const char* qm, const char* channel);
int kxsimRemove(const char* qm, const char* channel);
/* While stopped, KXCONN is refused and the rrx operations of connections made
 * before return RRX_QM_STOPPED. */
int kxsimStop(const char* qm);
int kxsimStart(const char* qm);

/* Faults, seen by every process: `operation` is one of "details", "initialize",
 * "connect", "next", "query", "access", "release". From now on that operation
 * returns `code`; for "connect", `code` is the completion code and `reason` the
 * reason code, 1 or 2 (completion 1 still connects, when a connection could be
 * made without the fault). A code of 0 clears the fault. */
int kxsimFail(const char* operation, uint32_t code, uint32_t reason);
int kxsimClearFaults(void);

const char* kxsimLastError(void);

/* Additions beyond qmsim's commands' basics. */

/* Two fields of the stand-in's own in every record, rewritten by every update:
 * at 0 the entry's update count, at 2036 a checksum (FNV-1a over bytes 0 to
 * 2035). A reader that finds kxsimChecksum(record) different from the field at
 * 2036 has a torn record. Neither can be set. */
#define KXSIM_REC_UPDATES 0
#define KXSIM_REC_CHECKSUM 2036
uint32_t kxsimChecksum(const void* record);

/* Sets several 32-bit fields (offsets multiples of 4 from 4 to 2032) and, when
 * `flag` is not -1, the flag byte, in one update that readers see whole. */
int kxsimSetFields(const char* qm, const char* channel, const uint32_t* offsets, const uint32_t* values,
                   unsigned count, int flag);

/* Moves `messages` messages on every channel of `qm` at once (what `traffic`
 * does at each tick): the message count, the bytes sent (SDR, SRVR, unknown
 * types) or received (RCVR, RQSTR), both for CLNT, and the batch and buffer
 * counts grow. Nothing moves while the queue manager is stopped. */
int kxsimMove(const char* qm, uint32_t messages);
/* Moves about `messagesPerSecond` messages a second on every channel for
 * `milliseconds`, in ticks of 1000 / rate milliseconds (1 to 100); from 10000 a
 * second on it updates continuously, as fast as it can. */
int kxsimTraffic(const char* qm, uint32_t milliseconds, uint32_t messagesPerSecond);

/* The channel's current status handle, and how many rrxReleaseStatusEntry calls
 * its entry has had. */
int kxsimHandle(const char* qm, const char* channel, uint32_t* handle);
int kxsimReleaseCount(const char* qm, const char* channel, uint32_t* count);

/* Prints the queue managers (all, or `qm` only) and their channels on standard
 * output, as `qmsim show` does. */
int kxsimShow(const char* qm);

#ifdef __cplusplus
}
#endif

#endif
