#include "perflibkeys.h"

#include <vector>

std::string FullKeyName(const std::string& path) { return "HKEY_LOCAL_MACHINE\\" + path; }

std::string DriverPerformanceKey(const std::string& driver) {
    return "System\\CurrentControlSet\\Services\\" + driver + "\\Performance";
}

LONG OpenTextStore(const std::string& language, bool write, bool create, HKEY* key, std::string* path) {
    const REGSAM access = KEY_QUERY_VALUE | (write ? KEY_SET_VALUE : 0) | REGISTRY_VIEW;
    *path = std::string(PERFLIB_KEY) + "\\" + language;
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path->c_str(), 0, access, key);
    if (rc != ERROR_SUCCESS) return rc;
    if (*key != HKEY_PERFORMANCE_TEXT && *key != HKEY_PERFORMANCE_NLSTEXT) return ERROR_SUCCESS;
    // Wine answers this key with its performance-text handle, whose lists are
    // its own and which refuses values.
    RegCloseKey(*key);
    *path = std::string(PERFLIB_KEY) + "\\" PERFLIB_CURRENT_LANGUAGE;
    if (!create) return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path->c_str(), 0, access, key);
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                           key, nullptr);
}

LONG ReadDwordValue(HKEY key, const char* name, OptionalDword* value) {
    DWORD data = 0, size = sizeof data, type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    *value = OptionalDword();
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_DWORD || size != sizeof data) return ERROR_INVALID_DATA;
    *value = OptionalDword{true, data};
    return ERROR_SUCCESS;
}

LONG WriteDwordValue(HKEY key, const char* name, uint32_t value) {
    DWORD data = value;
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

LONG DeleteValueIfThere(HKEY key, const char* name) {
    LONG rc = RegDeleteValueA(key, name);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

LONG ReadTextListValue(HKEY key, const wchar_t* name, TextList* list, std::string* error) {
    list->clear();
    DWORD size = 0, type = 0;
    LONG rc = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<uint8_t> data(size + 4);
    size = DWORD(data.size());
    rc = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_MULTI_SZ) {
        *error = "it is not REG_MULTI_SZ";
        return ERROR_INVALID_DATA;
    }
    return ParseTextList(data.data(), size, list, error) ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

LONG WriteTextListValue(HKEY key, const wchar_t* name, const TextList& list) {
    std::vector<uint8_t> data = TextListBytes(list);
    return RegSetValueExW(key, name, 0, REG_MULTI_SZ, data.data(), DWORD(data.size()));
}

TextList HostCounterNames(const std::string& language) {
    std::wstring name = L"Counter ";
    for (char c : language) name += wchar_t(c);
    std::vector<uint8_t> data(65536);
    for (;;) {
        DWORD size = DWORD(data.size()), type = 0;
        LONG rc = RegQueryValueExW(HKEY_PERFORMANCE_DATA, name.c_str(), nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA && data.size() < (16u << 20)) {
            data.resize(data.size() * 2);
            continue;
        }
        TextList list;
        std::string error;
        if (rc != ERROR_SUCCESS || type != REG_MULTI_SZ || !ParseTextList(data.data(), size, &list, &error))
            list.clear();
        return list;
    }
}

std::string ErrorText(LONG code) {
    char text[256] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(code), 0,
                             text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ' || text[n - 1] == '.')) text[--n] = 0;
    return "error " + std::to_string(code) + (n > 0 ? std::string(" (") + text + ")" : std::string());
}
