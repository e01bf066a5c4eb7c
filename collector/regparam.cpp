#include "regparam.h"

#include "vortalis/registry_keys.h"
#include "vortalis/winapi.h"

bool ReadParameterDword(const char* value, uint32_t* out) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VORTALIS_PARAMETERS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    BYTE data[4] = {0, 0, 0, 0};
    DWORD size = sizeof data;
    LONG rc = RegQueryValueExA(key, value, nullptr, nullptr, data, &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    *out = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    return true;
}
