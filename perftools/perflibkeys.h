// Windows only: the performance library's keys as the counter loader and the
// monitor reach them. Every key is opened in the 64-bit view, so a 32-bit
// program reads and writes where 64-bit programs and the host do.
#ifndef PERFTOOLS_PERFLIBKEYS_H
#define PERFTOOLS_PERFLIBKEYS_H

#include <windows.h>

#include <string>

#include "ctrplan.h"
#include "textlist.h"

#define PERFLIB_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib"
#define PERFLIB_CURRENT_LANGUAGE "CurrentLanguage"
#define PERFLIB_LAST_COUNTER "Last Counter"
#define PERFLIB_LAST_HELP "Last Help"
#define DRIVER_LAST_COUNTER "Last Counter"
#define DRIVER_LAST_HELP "Last Help"

#define REGISTRY_VIEW KEY_WOW64_64KEY

std::string FullKeyName(const std::string& path);  // HKEY_LOCAL_MACHINE\path
std::string DriverPerformanceKey(const std::string& driver);  // System\...\Services\DRIVER\Performance

// Opens the key that holds a language's Counter and Help lists: Perflib\LANG.
// Where the platform hands out its performance-text handle for that key instead
// of the key itself (Wine does, and that handle takes no values), the lists live
// in Perflib\CurrentLanguage, which `create` makes when it is missing.
// ERROR_FILE_NOT_FOUND: the language is not installed. *path names the key.
LONG OpenTextStore(const std::string& language, bool write, bool create, HKEY* key, std::string* path);

LONG ReadDwordValue(HKEY key, const char* name, OptionalDword* value);
LONG WriteDwordValue(HKEY key, const char* name, uint32_t value);
LONG DeleteValueIfThere(HKEY key, const char* name);

// A missing list is an empty one; a list that does not read gives
// ERROR_INVALID_DATA with *error saying why.
LONG ReadTextListValue(HKEY key, const wchar_t* name, TextList* list, std::string* error);
LONG WriteTextListValue(HKEY key, const wchar_t* name, const TextList& list);

// The performance data host's own view of a language's counter names
// ("Counter 009"); empty where it has none.
TextList HostCounterNames(const std::string& language);

std::string ErrorText(LONG code);  // "error N" and the system's words for it

#endif
