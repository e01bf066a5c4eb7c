// kxprobe: a Windows program that calls the four stand-in DLLs as the collector
// does (Parts 1.2, 1.3) and prints what they return, for qmgr_wine.sh.
//   kxprobe walk QM           details, initialize, connect, every entry, the end code
//   kxprobe query QM HANDLE   one status query
//   kxprobe access QM SLOT    rrxAccessStatusEntry with SLOT as the 64-byte name slot
//   kxprobe watch QM MS       queries every channel for MS milliseconds; counts torn reads
// QM "-" is the default queue manager. Codes print as 0x%08X.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kxapi.h"
#include "kxsim.h"  // KXSIM_REC_CHECKSUM; the checksum is worked out here

static unsigned char work[KX_WORK_AREA_BYTES];
static unsigned char record[KX_STATUS_RECORD_BYTES];

static void Put(int offset, uint32_t v) { memcpy(work + offset, &v, 4); }
static uint32_t Field(uint32_t offset) {
    uint32_t v;
    memcpy(&v, record + offset, 4);
    return v;
}
static bool Whole() {
    uint32_t h = 2166136261u;
    for (int i = 0; i < KXSIM_REC_CHECKSUM; ++i) h = (h ^ record[i]) * 16777619u;
    return h == Field(KXSIM_REC_CHECKSUM);
}
static void Name(char* out) {  // the blank-padded channel name up to its first blank
    int n = 0;
    while (n < KXREC_CHANNEL_NAME_LENGTH && record[KXREC_CHANNEL_NAME + n] != ' ') ++n;
    memcpy(out, record + KXREC_CHANNEL_NAME, n);
    out[n] = 0;
}

// The collector's set-up of the work area and the connection; false when it failed.
static bool Connect(const char* qm, bool print) {
    memset(work, 0, sizeof work);
    memcpy(work, "RWRK", 4);
    Put(900, 0xFFFFFFFFu);
    memcpy(work + 904, xcsIC_SYSTEM_SUBPOOL, 16);
    memset(work + 920, ' ', 48);
    Put(996, 1);
    for (int i = 0; i < 4; ++i) Put(1000 + 4 * i, 0xFFFFFFFFu);
    Put(1020, 0xFFFFFFFFu);
    Put(1024, 1);
    Put(1028, 0xFFFFFFFFu);
    Put(1032, 0xFFFFFFFFu);
    KxQmDetails details;
    memset(&details, 0, sizeof details);
    uint32_t rc = lpiObtainQMDetails(0, 0, 0, &details);
    if (print) printf("details 0x%08X default '%s'\n", rc, details.defaultQm);
    if (rc) return false;
    rc = xcsInitialize(48, 16647, "@SYSTEM", &details, 0);
    if (print) printf("initialize 0x%08X\n", rc);
    if ((rc >> 24) == 0x20 || (rc >> 24) == 0x40) return false;
    char name[KX_QM_NAME_LENGTH];
    memset(name, ' ', sizeof name);
    if (strcmp(qm, "-") != 0) memcpy(name, qm, strlen(qm) < sizeof name ? strlen(qm) : sizeof name);
    int32_t cc = -1, reason = -1;
    rc = KXCONN(name, reinterpret_cast<int32_t*>(work + 900), &cc, &reason);
    if (print) printf("connect %d 0x%08X\n", cc, rc);
    if (cc == KXCC_FAILED) return false;
    memcpy(work + 920, name, sizeof name);
    return true;
}

static int Walk() {
    printf("subpool %.16s\n", reinterpret_cast<const char*>(work + 904));
    uint32_t cursor = 0, rc;
    while ((rc = rrxGetNextStatusEntry(&cursor, record, work)) == 0) {
        char name[32];
        Name(name);
        printf("entry 0x%08X type %u %s '%s' flag %c messages %u whole %d\n", cursor, Field(KXREC_CHANNEL_TYPE), name,
               reinterpret_cast<const char*>(record + KXREC_CONNECTION_NAME), record[KXREC_FLAG],
               Field(KXREC_MESSAGES), Whole());
    }
    printf("end 0x%08X\n", rc);
    return 0;
}

static int Watch(DWORD ms) {
    uint32_t handles[64], previous[64] = {}, n = 0, cursor = 0;
    while (n < 64 && rrxGetNextStatusEntry(&cursor, record, work) == 0) handles[n++] = cursor;
    unsigned reads = 0, torn = 0, backwards = 0, changes = 0, failures = 0;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        for (uint32_t i = 0; i < n; ++i) {
            if (rrxQueryStatusEntry(handles[i], record, work) != 0) {
                ++failures;
                continue;
            }
            ++reads;
            torn += !Whole();
            uint32_t m = Field(KXREC_MESSAGES);
            backwards += m < previous[i];
            changes += m != previous[i];
            previous[i] = m;
        }
    }
    printf("channels %u reads %u torn %u backwards %u changes %u failures %u\n", n, reads, torn, backwards, changes,
           failures);
    return 0;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: kxprobe walk|query|access|watch QM [ARG]\n");
        return 2;
    }
    const char* cmd = argv[1];
    bool walk = strcmp(cmd, "walk") == 0;
    if (!Connect(argv[2], walk)) return walk ? 0 : 1;
    if (walk) return Walk();
    if (argc != 4) return 2;
    if (strcmp(cmd, "query") == 0) {
        uint32_t rc = rrxQueryStatusEntry(uint32_t(strtoul(argv[3], nullptr, 0)), record, work);
        char name[32] = "";
        if (rc == 0) Name(name);
        printf("query 0x%08X %s\n", rc, name);
        return 0;
    }
    if (strcmp(cmd, "access") == 0) {
        char slot[KX_NAME_SLOT_BYTES];
        memset(slot, 'z', sizeof slot);
        strncpy(slot, argv[3], sizeof slot - 1);
        uint32_t handle = 0;
        uint32_t rc = rrxAccessStatusEntry(slot, &handle, work);
        printf("access 0x%08X handle 0x%08X\n", rc, handle);
        return 0;
    }
    if (strcmp(cmd, "watch") == 0) return Watch(DWORD(strtoul(argv[3], nullptr, 0)));
    return 2;
}
