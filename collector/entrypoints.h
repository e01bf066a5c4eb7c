// The three entry points that the Windows performance library calls, exported
// by their plain names (vortalis.def).
#ifndef VORTALIS_ENTRYPOINTS_H
#define VORTALIS_ENTRYPOINTS_H

#include "vortalis/winapi.h"

extern "C" {
DWORD WINAPI VortalisOpen(LPWSTR deviceNames);
DWORD WINAPI VortalisCollect(LPWSTR valueName, LPVOID* data, LPDWORD totalBytes, LPDWORD numObjectTypes);
DWORD WINAPI VortalisClose(void);
}

// Set once a first-time set-up has read both title indexes; Collect serves
// nothing before.
extern DWORD bInitialized;

#endif
