// Queue-manager name tool: stores the name of the queue manager whose channels
// the collector reports on; an empty name means the default queue manager.
#include "hubnamer.h"

#include <cstdio>
#include <cstring>

#include "vortalis/registry_keys.h"
#include "vortalis/winapi.h"

#define PARAMETERS_FULL_NAME VORTALIS_FULL_NAME(VORTALIS_PARAMETERS_KEY)
#define QM_NAME_FULL_NAME PARAMETERS_FULL_NAME "\\" VORTALIS_VAL_QM_NAME

int HubnamerRun(int argc, char** argv) {
    const char* given = (argc > 1 && argv[1] != nullptr) ? argv[1] : "";
    const size_t length = std::strlen(given);
    if (length >= VORTALIS_QM_NAME_BYTES) {
        std::printf("Queue manager name not set: it is %u characters long, the limit is %d characters\n",
                    static_cast<unsigned>(length), VORTALIS_QM_NAME_BYTES - 1);
        std::fflush(stdout);
        return HUBNAMER_REFUSED;
    }
    char name[VORTALIS_QM_NAME_BYTES];
    std::memcpy(name, given, length + 1);

    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VORTALIS_PARAMETERS_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        std::printf("Failed to open %s\n", PARAMETERS_FULL_NAME);
        std::fflush(stdout);
        return HUBNAMER_FAILED;
    }
    int status = HUBNAMER_OK;
    if (RegSetValueExA(key, VORTALIS_VAL_QM_NAME, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       static_cast<DWORD>(length + 1)) != ERROR_SUCCESS) {
        std::printf("Failed to set %s\n", QM_NAME_FULL_NAME);
        status = HUBNAMER_FAILED;
    } else if (length != 0) {
        std::printf("Set %s to %s\n", QM_NAME_FULL_NAME, name);
    } else {
        std::printf("Set %s to default\n", QM_NAME_FULL_NAME);
    }
    RegCloseKey(key);
    std::fflush(stdout);
    return status;
}
