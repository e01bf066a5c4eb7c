/* The queue manager's channel-status interface, as its four libraries export it:
 *   kxqmdir   lpiObtainQMDetails
 *   kxbase    xcsInitialize, xcsIC_SYSTEM_SUBPOOL (16 bytes of data)
 *   kxcore    KXCONN
 *   kxlinkst  rrxGetNextStatusEntry, rrxQueryStatusEntry, rrxAccessStatusEntry,
 *             rrxReleaseStatusEntry
 * Every operation uses the C calling convention and returns a 32-bit status,
 * 0 for success unless noted. */
#ifndef KXAPI_H
#define KXAPI_H

#include <stdint.h>

#ifdef _WIN32
#define KXENTRY __cdecl
#define KX_EXPORT __declspec(dllexport)
#define KX_IMPORT __declspec(dllimport)
#else
#define KXENTRY
#define KX_EXPORT __attribute__((visibility("default")))
#define KX_IMPORT
#endif

/* Each library defines its own KX_BUILDING_<LIB> while it is built. */
#ifdef KX_BUILDING_KXQMDIR
#define KXQMDIR_API KX_EXPORT
#else
#define KXQMDIR_API KX_IMPORT
#endif
#ifdef KX_BUILDING_KXBASE
#define KXBASE_API KX_EXPORT
#else
#define KXBASE_API KX_IMPORT
#endif
#ifdef KX_BUILDING_KXCORE
#define KXCORE_API KX_EXPORT
#else
#define KXCORE_API KX_IMPORT
#endif
#ifdef KX_BUILDING_KXLINKST
#define KXLINKST_API KX_EXPORT
#else
#define KXLINKST_API KX_IMPORT
#endif

/* Sizes the caller provides. */
#define KX_QM_NAME_LENGTH 48        /* blank-padded queue manager name, no terminator */
#define KX_STATUS_RECORD_BYTES 2040 /* channel status record */
#define KX_WORK_AREA_BYTES 1108     /* status work area */
#define KX_NAME_SLOT_BYTES 64       /* "TYPE:CHANNEL:CONNECTION" slot given to rrxAccessStatusEntry */

/* Status codes. */
#define KX_OK 0u
#define RRX_NO_MORE_ENTRIES 0x20809901u /* rrxGetNextStatusEntry: after the last entry */
#define RRX_HANDLE_CHANGED 0x10009515u  /* rrxQueryStatusEntry: the entry was renewed */

/* KXCONN completion codes. */
#define KXCC_OK 0
#define KXCC_WARNING 1
#define KXCC_FAILED 2

/* Codes that this stand-in chooses (qmgr/README.md). Top byte 0x20: failure. */
#define KX_RC_NO_SETTINGS 0x20009601u   /* lpiObtainQMDetails, xcsInitialize: settings file missing or malformed */
#define KX_RC_NO_PREFIX 0x20009602u     /* lpiObtainQMDetails: the data prefix it names is missing */
#define KX_RC_BAD_ARGUMENTS 0x20009603u /* lpiObtainQMDetails, xcsInitialize: not called as the collector calls them */
#define RRX_NOT_CONNECTED 0x20809902u   /* work area without "RWRK" or without a known connection handle at 900 */
#define RRX_NOT_FOUND 0x20809903u       /* handle never given out, of another queue manager, or its channel removed;
                                           rrxAccessStatusEntry: no channel of that name */
#define RRX_QM_STOPPED 0x20809904u      /* the queue manager was stopped after the connection was made */
#define RRX_BUSY 0x20809905u            /* the entry stayed in mid-update for 100 ms (a writer died there) */
#define RRX_NO_TABLE 0x20809906u        /* settings or status table unreadable */
#define RRX_BAD_ARGUMENTS 0x20809907u   /* a null cursor, handle place, record or name slot */

/* KXCONN reason codes with completion code 2. */
#define KXRC_NO_INSTALLATION 3003 /* settings or status table unreadable, or a null argument */
#define KXRC_UNKNOWN_QM 3001 /* no queue manager of that name (or no default one) */
#define KXRC_QM_STOPPED 3002 /* the queue manager is stopped */

/* Channel status record: offsets of the fields callers read. 32-bit fields are
 * little-endian unsigned; texts are 8-bit. */
#define KXREC_CHANNEL_TYPE 28      /* 1 SDR, 2 SRVR, 3 RCVR, 4 RQSTR, 6 CLNT, 7 SRVR */
#define KXREC_COUNT_308 308        /* a further count */
#define KXREC_CONNECTION_NAME 1028 /* zero-terminated */
#define KXREC_CHANNEL_NAME 1632    /* blank-padded, 20 characters */
#define KXREC_CHANNEL_NAME_LENGTH 20
#define KXREC_FLAG 1924            /* 'Y' when the fields at 1940 and 1944 are valid */
#define KXREC_COUNT_1928 1928
#define KXREC_COUNT_1940 1940
#define KXREC_COUNT_1944 1944
#define KXREC_MESSAGES 1964
#define KXREC_BYTES_SENT 1968
#define KXREC_BYTES_RECEIVED 1972
#define KXREC_COUNT_1976 1976
#define KXREC_COUNT_1984 1984
#define KXREC_COUNT_1988 1988
#define KXREC_COUNT_1992 1992
#define KXREC_COUNT_1996 1996

/* Installation details that lpiObtainQMDetails fills; callers zero it first and
 * only pass it on. Texts are zero-terminated; xcsInitialize checks `version`. */
#define KX_QM_DETAILS_VERSION 1u
typedef struct KxQmDetails {
    uint32_t version; /* KX_QM_DETAILS_VERSION once filled */
    char settingsPath[260];
    char dataPrefix[260];
    char defaultQm[KX_QM_NAME_LENGTH + 1];
    char reserved[167];
} KxQmDetails;

#ifdef __cplusplus
extern "C" {
#endif

KXQMDIR_API uint32_t KXENTRY lpiObtainQMDetails(uint32_t reserved1, uint32_t reserved2, uint32_t reserved3,
                                                KxQmDetails* details);

KXBASE_API uint32_t KXENTRY xcsInitialize(uint32_t nameLength, uint32_t options, const char* subsystem,
                                          KxQmDetails* details, uint32_t reserved);
extern KXBASE_API const unsigned char xcsIC_SYSTEM_SUBPOOL[16];

/* Connects to the queue manager named by the 48 blank-padded characters of `qmName`
 * (all blanks: the default). Stores the connection handle in *connection and the
 * outcome in *completionCode and *reason; returns *reason. */
KXCORE_API uint32_t KXENTRY KXCONN(const char* qmName, int32_t* connection, int32_t* completionCode,
                                   int32_t* reason);

/* Walks the status table: *cursor 0 starts at the first entry; on 0 *cursor holds
 * that entry's status handle (never 0) and `record` its status. */
KXLINKST_API uint32_t KXENTRY rrxGetNextStatusEntry(uint32_t* cursor, void* record, void* work);
KXLINKST_API uint32_t KXENTRY rrxQueryStatusEntry(uint32_t handle, void* record, void* work);
/* `nameSlot` is the caller's 64-byte "TYPE:CHANNEL:CONNECTION" text; the text
 * between the first two colons names the channel. On failure *handle is left
 * as it was. */
KXLINKST_API uint32_t KXENTRY rrxAccessStatusEntry(const char* nameSlot, uint32_t* handle, void* work);
KXLINKST_API uint32_t KXENTRY rrxReleaseStatusEntry(uint32_t handle, void* work);

#ifdef __cplusplus
}
#endif

#endif
