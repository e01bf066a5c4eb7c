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

// ---- event log ---------------------------------------------------------------
// RegisterEventSourceA gives out a fresh handle per registration; ReportEventA and
// DeregisterEventSource accept only handles that are registered and not yet
// deregistered.

struct EventRegistration {
    bool serverGiven = false;  // false: the server name was null (the local machine)
    std::string server;
    std::string source;
    bool granted = false;      // false: refused (RefuseEventSource)
};

struct EventReport {
    std::string source;  // the source its handle was registered under
    WORD type = 0;
    WORD category = 0;
    DWORD id = 0;
    bool userSid = false;     // a user security id was passed
    WORD numStrings = 0;
    bool strings = false;     // a string array was passed
    DWORD dataSize = 0;
    bool rawData = false;     // a data pointer was passed
    std::vector<uint8_t> data;  // the dataSize bytes at the data pointer
};

// Forgets every registration, report and deregistration; registration is granted again.
void ResetEventLog();

// From now on RegisterEventSourceA returns null (refuse) or a handle (grant).
void RefuseEventSource(bool refuse);

// From now on ReportEventA records the report but returns FALSE.
void FailEventReports(bool fail);

const std::vector<EventRegistration>& EventRegistrations();  // granted and refused, in order
const std::vector<EventReport>& EventReports();              // on registered handles, in order
int EventDeregistrations();                                  // successful DeregisterEventSource calls
int OpenEventSources();                                      // registered and not yet deregistered

// One line per event-log call, in order, e.g. "register server=null source=vortalis",
// "report source=vortalis type=4 category=0 id=0x600007D0 strings=0 size=0",
// "deregister source=vortalis"; a call on an unknown handle reads "... handle=invalid".
const std::vector<std::string>& EventLogCalls();

// ---- tick count --------------------------------------------------------------

// GetTickCount returns `ticks` from now on (0 at start).
void SetTickCount(DWORD ticks);

}  // namespace win32double

#endif
