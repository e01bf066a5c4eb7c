#include "chantable.h"

#include <cstring>

#include "eventlog.h"
#include "kxapi.h"
#include "messages.h"
#include "state.h"
#include "trace.h"
#include "vortalis/registry_keys.h"
#include "vortalis/winapi.h"

// Offsets in the status work area.
#define WORK_EYECATCHER 0
#define WORK_CONNECTION 900
#define WORK_SUBPOOL 904
#define WORK_QM_NAME 920

// Options of the common-services start-up.
#define XCS_NAME_LENGTH 48u
#define XCS_OPTIONS 16647u
#define XCS_SUBSYSTEM "@SYSTEM"

namespace {

unsigned char* WorkBytes() { return reinterpret_cast<unsigned char*>(Work); }

void PutWordAt(unsigned offset, uint32_t value) { Work[offset / 4] = value; }

void SetUpWork() {
    std::memset(Work, 0, sizeof Work);
    std::memcpy(WorkBytes() + WORK_EYECATCHER, "RWRK", 4);
    PutWordAt(WORK_CONNECTION, 0xFFFFFFFFu);
    std::memcpy(WorkBytes() + WORK_SUBPOOL, xcsIC_SYSTEM_SUBPOOL, sizeof xcsIC_SYSTEM_SUBPOOL);
    std::memset(WorkBytes() + WORK_QM_NAME, ' ', KX_QM_NAME_LENGTH);
    PutWordAt(992, 0);
    PutWordAt(996, 1);
    for (unsigned offset = 1000; offset < 1016; offset += 4) PutWordAt(offset, 0xFFFFFFFFu);
    PutWordAt(1016, 0);
    PutWordAt(1020, 0xFFFFFFFFu);
    PutWordAt(1024, 1);
    PutWordAt(1028, 0xFFFFFFFFu);
    PutWordAt(1032, 0xFFFFFFFFu);
}

// The QMName value, zero-terminated, in `name`; empty when it cannot be read or
// does not end within the 48 bytes.
void ReadQmName(char (&name)[VORTALIS_QM_NAME_BYTES]) {
    std::memset(name, 0, sizeof name);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VORTALIS_PARAMETERS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD size = sizeof name;
    if (RegQueryValueExA(key, VORTALIS_VAL_QM_NAME, nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size) !=
            ERROR_SUCCESS ||
        std::memchr(name, '\0', sizeof name) == nullptr)
        std::memset(name, 0, sizeof name);
    RegCloseKey(key);
}

}  // namespace

uint32_t GetChlHdls() {
    SetUpWork();

    KxQmDetails details;
    std::memset(&details, 0, sizeof details);
    uint32_t rc = lpiObtainQMDetails(0, 0, 0, &details);
    if (rc != 0) {
        TraceLine("Couldn't obtain QM details from ini file.\nDefault prefix missing.\n");
        return rc;
    }

    rc = xcsInitialize(XCS_NAME_LENGTH, XCS_OPTIONS, XCS_SUBSYSTEM, &details, 0);
    if ((rc >> 24) == 0x20 || (rc >> 24) == 0x40) {
        TraceLine("Couldn't issue xcsInitialize\n");
        return rc;
    }

    char name[VORTALIS_QM_NAME_BYTES];
    ReadQmName(name);
    TraceLine(">>>>> QMgr Name is '%s'<<<<<\n", name);
    PadKXCHAR(name, KX_QM_NAME_LENGTH);

    int32_t completion = 0;
    int32_t reason = 0;
    KXCONN(name, reinterpret_cast<int32_t*>(&Work[WORK_CONNECTION / 4]), &completion, &reason);
    if (completion == KXCC_FAILED) {
        LogErrorWithData(1, MSG_QM_CONNECT_FAILED, &reason, sizeof reason);
        CloseEvntLog();
        return static_cast<uint32_t>(reason);
    }
    std::memcpy(WorkBytes() + WORK_QM_NAME, name, KX_QM_NAME_LENGTH);

    unsigned char record[KX_STATUS_RECORD_BYTES];
    uint32_t cursor = 0;
    nchans = 0;
    do {
        rc = rrxGetNextStatusEntry(&cursor, record, Work);
        if (rc != 0) break;
        stats[nchans++] = cursor;
    } while (nchans < MAX_CHANNELS);

    if (rc == RRX_NO_MORE_ENTRIES && nchans != 0) return 0;
    return rc;
}
