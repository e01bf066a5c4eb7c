// Registration tool: writes the registry entries through which the performance
// library and the event log find VORTALIS.DLL, and the collector's starting settings.
#include "keyplant.h"

#include <cstdio>

#include "vortalis/registry_keys.h"
#include "vortalis/winapi.h"

namespace {

struct KeyDef {
    const char* path;
    const char* fullName;
    const char* closeFailure;
};

#define KEY_ROW(path, closeMsg) {path, VORTALIS_FULL_NAME(path), closeMsg}

enum { SERVICE, PARAMETERS, PERFORMANCE, EVENT_SOURCE, KEY_COUNT };

const KeyDef keyTable[KEY_COUNT] = {
    KEY_ROW(VORTALIS_SERVICE_KEY, "Unable to close Vortalis key\n"),
    KEY_ROW(VORTALIS_PARAMETERS_KEY, "Unable to close Parameters subkey\n"),
    KEY_ROW(VORTALIS_PERFORMANCE_KEY, "Unable to close Performance subkey\n"),
    KEY_ROW(VORTALIS_EVENT_SOURCE_KEY, "Unable to close Event subkey\n"),
};

struct ValueDef {
    int key;
    const char* name;
    DWORD type;
    const void* data;
    DWORD bytes;
};

const DWORD one = 1;
const DWORD three = 3;
const DWORD seven = 7;

#define SZ_ROW(key, name, text) {key, name, REG_SZ, text, sizeof(text)}

const ValueDef valueTable[] = {
    {SERVICE, VORTALIS_VAL_ERROR_CONTROL, REG_DWORD, &one, 4},
    {SERVICE, VORTALIS_VAL_START, REG_DWORD, &three, 4},
    {SERVICE, VORTALIS_VAL_TYPE, REG_DWORD, &one, 4},
    {PARAMETERS, VORTALIS_VAL_EVENT_LOG_LEVEL, REG_DWORD, &three, 4},
    SZ_ROW(PARAMETERS, VORTALIS_VAL_QM_NAME, ""),
    SZ_ROW(PERFORMANCE, VORTALIS_VAL_LIBRARY, "VORTALIS.DLL"),
    SZ_ROW(PERFORMANCE, VORTALIS_VAL_OPEN, "VortalisOpen"),
    SZ_ROW(PERFORMANCE, VORTALIS_VAL_COLLECT, "VortalisCollect"),
    SZ_ROW(PERFORMANCE, VORTALIS_VAL_CLOSE, "VortalisClose"),
    {EVENT_SOURCE, VORTALIS_VAL_EVENT_MESSAGE_FILE, REG_EXPAND_SZ,
     "%SystemRoot%\\System32\\VORTALIS.DLL", sizeof("%SystemRoot%\\System32\\VORTALIS.DLL")},
    {EVENT_SOURCE, VORTALIS_VAL_TYPES_SUPPORTED, REG_DWORD, &seven, 4},
};

// The Parameters key as the DebugLevel read names it (key names are not
// case-sensitive, so it is the key of VORTALIS_PARAMETERS_KEY).
const char kDebugLevelKey[] = "SYSTEM\\CurrentControlSet\\Services\\VORTALIS\\Parameters";

// DebugLevel decides how much the run prints; any data of at most 4 bytes counts.
DWORD ReadDebugLevel() {
    DWORD level = 0;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDebugLevelKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type;
    DWORD size = sizeof level;
    if (RegQueryValueExA(key, VORTALIS_VAL_DEBUG_LEVEL, nullptr, &type,
                         reinterpret_cast<LPBYTE>(&level), &size) != ERROR_SUCCESS)
        level = 0;
    RegCloseKey(key);
    return level;
}

}  // namespace

int KeyplantRun(void) {
    const DWORD debugLevel = ReadDebugLevel();
    HKEY keys[KEY_COUNT];
    bool allWritten = true;

    for (int k = 0; k < KEY_COUNT; ++k) {
        const KeyDef& def = keyTable[k];
        DWORD disposition = 0;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, def.path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &keys[k], &disposition) != ERROR_SUCCESS) {
            std::printf("Unable to create %s\n", def.fullName);
            std::fflush(stdout);
            // Nothing is undone: the keys before stay as written. Their handles are
            // given back without a word, as the end of the process would.
            for (int before = 0; before < k; ++before) RegCloseKey(keys[before]);
            return KEYPLANT_STOPPED;
        }
        if (disposition == REG_CREATED_NEW_KEY)
            std::printf("New key %s added to registry\n", def.fullName);
        else if (disposition == REG_OPENED_EXISTING_KEY)
            std::printf("Existing key %s opened\n", def.fullName);
        else
            std::printf("Key %s disposition unknown\n", def.fullName);

        for (const ValueDef& v : valueTable) {
            if (v.key != k) continue;
            bool written = RegSetValueExA(keys[k], v.name, 0, v.type,
                                          static_cast<const BYTE*>(v.data), v.bytes) == ERROR_SUCCESS;
            allWritten = allWritten && written;
            if (debugLevel != 0)
                std::printf("%s value %s in %s\n", v.name, written ? "set" : "could not be set",
                            def.fullName);
        }
    }

    for (int k = 0; k < KEY_COUNT; ++k) {
        if (RegCloseKey(keys[k]) != ERROR_SUCCESS) {
            allWritten = false;
            if (debugLevel != 0) std::fputs(keyTable[k].closeFailure, stdout);
        }
    }
    std::fflush(stdout);
    return allWritten ? KEYPLANT_OK : KEYPLANT_INCOMPLETE;
}
