// Value-name helpers: what a collect request asks for.
#ifndef VORTALIS_PERFQUERY_H
#define VORTALIS_PERFQUERY_H

#include "vortalis/winapi.h"

// Query types of a value name.
#define QUERY_COSTLY 1
#define QUERY_FOREIGN 2
#define QUERY_GLOBAL 3
#define QUERY_ITEMS 4

// Classifies a value name (null or empty: global).
DWORD GetPerfQueryType(LPCWSTR valueName);

// 1 when the white-space separated list of decimal numbers holds `number`
// before its first entry that is not a number, else 0.
DWORD IsNumberInList(DWORD number, LPCWSTR list);

#endif
