// Control and inspection side of the native Win32 test double. The deliverables
// never include this; tests use it to set up the world and look at what the
// code under test did to it.
#ifndef VORTALIS_WIN32_DOUBLE_H
#define VORTALIS_WIN32_DOUBLE_H

#include <cstdint>
#include <string>
#include <vector>

#include "win32_subset.h"

namespace win32double {

// ---- registry ----------------------------------------------------------------
// Key paths are relative to HKEY_LOCAL_MACHINE and compared without regard to case.

enum class RegOp { Create, Set, Open, Query, Close };

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

// Empties the registry, forgets faults and forced dispositions, and drops every handle.
void ResetRegistry();

// From now on `op` on the key `path` fails with `code`. For Set and Query,
// `value` names the value (nullptr: any value of that key); for Create and Open
// the fault applies to the key named by the full path after the call.
void FailRegistry(RegOp op, const char* path, const char* value, LONG code);

// RegCreateKeyExA reports `disposition` for `path` instead of the true one.
void ForceDisposition(const char* path, DWORD disposition);

// Set-up and inspection that bypass faults and handles.
void PutValue(const char* path, const char* name, DWORD type, const void* data, size_t size);
void PutDword(const char* path, const char* name, DWORD value);
void PutString(const char* path, const char* name, const char* text);  // REG_SZ with its zero byte
void PutKey(const char* path);
bool KeyExists(const char* path);
bool GetValue(const char* path, const char* name, RegValue* out);
std::vector<std::string> ValueNames(const char* path);  // in the order first written
std::vector<std::string> KeyNames();                     // every key, in creation order

// Handles given out by open and create and not yet closed.
int OpenKeyCount();

// One line per registry call made through the API, e.g.
// "create HKLM\System\...\VORTALIS options=0 access=0xF003F".
const std::vector<std::string>& RegistryCalls();

}  // namespace win32double

#endif
