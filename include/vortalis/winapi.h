// The one door to the Win32 API for the deliverables. On Windows it is the
// platform's own headers; on Linux it is our declarations of the subset that
// the code uses, implemented by the test double.
#ifndef VORTALIS_WINAPI_H
#define VORTALIS_WINAPI_H

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include "win32_subset.h"
#endif

#endif
