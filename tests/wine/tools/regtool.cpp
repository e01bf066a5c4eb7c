// Test helper for the Wine tests: reads and shapes the registry through the real API.
//   regtool dump PATH              each value as NAME|TYPE|HEX BYTES, or "missing"
//   regtool delete PATH            removes the key and everything under it
//   regtool set PATH NAME TYPE HEX writes a value with the given type and bytes
//   regtool volatile PATH          creates the key as a volatile key
// PATH is relative to HKEY_LOCAL_MACHINE.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Dump(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        std::printf("missing\n");
        return 0;
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        BYTE data[4096];
        DWORD nameLen = sizeof name, type = 0, size = sizeof data;
        LONG rc = RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &size);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) {
            std::printf("error %ld\n", static_cast<long>(rc));
            break;
        }
        std::printf("%s|%lu|", name, static_cast<unsigned long>(type));
        for (DWORD b = 0; b < size; ++b) std::printf("%02X", data[b]);
        std::printf("\n");
    }
    RegCloseKey(key);
    return 0;
}

LONG DeleteTree(HKEY parent, const char* path) {
    HKEY key;
    LONG rc = RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    char sub[256];
    DWORD len = sizeof sub;
    while (RegEnumKeyExA(key, 0, sub, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        rc = DeleteTree(key, sub);
        if (rc != ERROR_SUCCESS) break;
        len = sizeof sub;
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? RegDeleteKeyA(parent, path) : rc;
}

int Hex(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "dump") == 0) return Dump(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "delete") == 0) {
        LONG rc = DeleteTree(HKEY_LOCAL_MACHINE, argv[2]);
        if (rc != ERROR_SUCCESS) std::printf("delete failed: %ld\n", static_cast<long>(rc));
        return rc == ERROR_SUCCESS ? 0 : 1;
    }
    if (argc == 6 && std::strcmp(argv[1], "set") == 0) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
            return 1;
        BYTE data[4096];
        DWORD size = static_cast<DWORD>(std::strlen(argv[5]) / 2);
        for (DWORD i = 0; i < size && i < sizeof data; ++i)
            data[i] = static_cast<BYTE>(Hex(argv[5][2 * i]) * 16 + Hex(argv[5][2 * i + 1]));
        LONG rc = RegSetValueExA(key, argv[3], 0, static_cast<DWORD>(std::strtoul(argv[4], nullptr, 0)), data, size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "volatile") == 0) {
        HKEY key;
        LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr);
        if (rc != ERROR_SUCCESS) return 1;
        RegCloseKey(key);
        return 0;
    }
    std::printf("usage: regtool dump|delete|set|volatile PATH ...\n");
    return 2;
}
