// In-memory registry behind RegOpenKeyExA and friends, for native tests.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "win32_double.h"

struct HKEY__ {
    std::string path;  // lower-case, relative to HKEY_LOCAL_MACHINE
    REGSAM access;
    bool open;
};

namespace win32double {
namespace {

struct Key {
    std::string spelling;                     // as first created
    std::vector<std::string> order;           // value names (lower-case) in order first written
    std::map<std::string, std::string> names;  // lower-case -> spelling
    std::map<std::string, RegValue> values;   // lower-case -> value
};

struct Fault {
    RegOp op;
    std::string path;
    std::string value;  // empty: any
    bool anyValue;
    LONG code;
};

std::map<std::string, Key> keys;
std::vector<std::string> keyOrder;
std::vector<Fault> faults;
std::map<std::string, DWORD> dispositions;
std::vector<std::unique_ptr<HKEY__>> handles;
std::vector<std::string> calls;

std::string Lower(const std::string& s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::string Join(const std::string& base, const char* sub) {
    std::string s = sub ? sub : "";
    while (!s.empty() && s.front() == '\\') s.erase(s.begin());
    while (!s.empty() && s.back() == '\\') s.pop_back();
    if (base.empty()) return s;
    if (s.empty()) return base;
    return base + "\\" + s;
}

// Resolves a handle to its path; false when the handle is not usable.
bool Resolve(HKEY key, std::string* path) {
    if (key == HKEY_LOCAL_MACHINE) {
        path->clear();
        return true;
    }
    for (auto& h : handles)
        if (h.get() == key && h->open) {
            *path = h->path;
            return true;
        }
    return false;
}

bool FindFault(RegOp op, const std::string& lowerPath, const char* value, LONG* code) {
    for (const Fault& f : faults) {
        if (f.op != op || f.path != lowerPath) continue;
        if (!f.anyValue && (value == nullptr || f.value != Lower(value))) continue;
        *code = f.code;
        return true;
    }
    return false;
}

Key* Make(const std::string& spelling) {
    std::string low = Lower(spelling);
    auto it = keys.find(low);
    if (it != keys.end()) return &it->second;
    // Parents first, as the real registry creates every missing component.
    size_t cut = spelling.rfind('\\');
    if (cut != std::string::npos) Make(spelling.substr(0, cut));
    Key& k = keys[low];
    k.spelling = spelling;
    keyOrder.push_back(spelling);
    return &k;
}

HKEY NewHandle(const std::string& lowerPath, REGSAM access) {
    handles.push_back(std::unique_ptr<HKEY__>(new HKEY__{lowerPath, access, true}));
    return handles.back().get();
}

void Store(Key* k, const char* name, DWORD type, const void* data, size_t size) {
    std::string n = name ? name : "";
    std::string low = Lower(n);
    if (k->values.find(low) == k->values.end()) {
        k->order.push_back(low);
        k->names[low] = n;
    }
    RegValue& v = k->values[low];
    v.type = type;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    v.data.assign(p, p + size);
}

std::string Hex(DWORD v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

std::string Shown(const std::string& lowerPath) {
    auto it = keys.find(lowerPath);
    return "HKLM\\" + (it != keys.end() ? it->second.spelling : lowerPath);
}

}  // namespace

void ResetRegistry() {
    keys.clear();
    keyOrder.clear();
    faults.clear();
    dispositions.clear();
    handles.clear();
    calls.clear();
}

void FailRegistry(RegOp op, const char* path, const char* value, LONG code) {
    faults.push_back(Fault{op, Lower(path), value ? Lower(value) : "", value == nullptr, code});
}

void ForceDisposition(const char* path, DWORD disposition) { dispositions[Lower(path)] = disposition; }

void PutValue(const char* path, const char* name, DWORD type, const void* data, size_t size) {
    Store(Make(path), name, type, data, size);
}

void PutDword(const char* path, const char* name, DWORD value) {
    uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    PutValue(path, name, REG_DWORD, b, 4);
}

void PutString(const char* path, const char* name, const char* text) {
    PutValue(path, name, REG_SZ, text, std::strlen(text) + 1);
}

void PutKey(const char* path) { Make(path); }

bool KeyExists(const char* path) { return keys.count(Lower(path)) != 0; }

bool GetValue(const char* path, const char* name, RegValue* out) {
    auto k = keys.find(Lower(path));
    if (k == keys.end()) return false;
    auto v = k->second.values.find(Lower(name));
    if (v == k->second.values.end()) return false;
    *out = v->second;
    return true;
}

std::vector<std::string> ValueNames(const char* path) {
    std::vector<std::string> r;
    auto k = keys.find(Lower(path));
    if (k == keys.end()) return r;
    for (const std::string& low : k->second.order) r.push_back(k->second.names[low]);
    return r;
}

std::vector<std::string> KeyNames() { return keyOrder; }

int OpenKeyCount() {
    return static_cast<int>(std::count_if(handles.begin(), handles.end(),
                                          [](const std::unique_ptr<HKEY__>& h) { return h->open; }));
}

const std::vector<std::string>& RegistryCalls() { return calls; }

}  // namespace win32double

using namespace win32double;

extern "C" LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    std::string base;
    if (!Resolve(key, &base)) return ERROR_INVALID_HANDLE;
    std::string path = Lower(Join(base, subKey));
    calls.push_back("open " + Shown(path) + " options=" + std::to_string(options) +
                    " access=" + Hex(access));
    LONG code;
    if (FindFault(RegOp::Open, path, nullptr, &code)) return code;
    if (keys.find(path) == keys.end()) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(path, access);
    return ERROR_SUCCESS;
}

extern "C" LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR keyClass, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                LPDWORD disposition) {
    std::string base;
    if (!Resolve(key, &base)) return ERROR_INVALID_HANDLE;
    std::string spelling = Join(base.empty() ? "" : keys[base].spelling, subKey);
    std::string path = Lower(spelling);
    calls.push_back(std::string("create ") + (key == HKEY_LOCAL_MACHINE ? "HKLM\\" : "?\\") + spelling +
                    " options=" + std::to_string(options) + " access=" + Hex(access) +
                    (keyClass ? " class" : "") + (security ? " security" : ""));
    LONG code;
    if (FindFault(RegOp::Create, path, nullptr, &code)) return code;
    bool existed = keys.find(path) != keys.end();
    Make(spelling);
    *result = NewHandle(path, access);
    if (disposition) {
        auto forced = dispositions.find(path);
        *disposition = forced != dispositions.end() ? forced->second
                       : existed                    ? REG_OPENED_EXISTING_KEY
                                                    : REG_CREATED_NEW_KEY;
    }
    return ERROR_SUCCESS;
}

extern "C" LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                                 LPDWORD dataSize) {
    std::string path;
    if (!Resolve(key, &path) || key == HKEY_LOCAL_MACHINE) return ERROR_INVALID_HANDLE;
    calls.push_back("query " + Shown(path) + " " + (valueName ? valueName : ""));
    LONG code;
    if (FindFault(RegOp::Query, path, valueName ? valueName : "", &code)) return code;
    auto k = keys.find(path);
    if (k == keys.end()) return ERROR_FILE_NOT_FOUND;
    auto v = k->second.values.find(Lower(valueName ? valueName : ""));
    if (v == k->second.values.end()) return ERROR_FILE_NOT_FOUND;
    const RegValue& val = v->second;
    if (type) *type = val.type;
    DWORD size = static_cast<DWORD>(val.data.size());
    if (data == nullptr) {
        if (dataSize) *dataSize = size;
        return ERROR_SUCCESS;
    }
    if (dataSize == nullptr) return ERROR_INVALID_PARAMETER;
    if (*dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(data, val.data.data(), size);
    *dataSize = size;
    return ERROR_SUCCESS;
}

extern "C" LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data,
                               DWORD dataSize) {
    std::string path;
    if (!Resolve(key, &path) || key == HKEY_LOCAL_MACHINE) return ERROR_INVALID_HANDLE;
    calls.push_back("set " + Shown(path) + " " + (valueName ? valueName : "") + " type=" +
                    std::to_string(type) + " size=" + std::to_string(dataSize));
    for (auto& h : handles)
        if (h.get() == key && (h->access & 0x2u) == 0) return ERROR_ACCESS_DENIED;  // KEY_SET_VALUE
    LONG code;
    if (FindFault(RegOp::Set, path, valueName ? valueName : "", &code)) return code;
    auto k = keys.find(path);
    if (k == keys.end()) return ERROR_INVALID_HANDLE;
    Store(&k->second, valueName, type, data, dataSize);
    return ERROR_SUCCESS;
}

extern "C" LONG RegCloseKey(HKEY key) {
    for (auto& h : handles)
        if (h.get() == key && h->open) {
            calls.push_back("close " + Shown(h->path));
            h->open = false;  // a failing close still gives the handle back
            LONG code;
            if (FindFault(RegOp::Close, h->path, nullptr, &code)) return code;
            return ERROR_SUCCESS;
        }
    return ERROR_INVALID_HANDLE;
}
