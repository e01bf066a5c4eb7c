// GetTickCount for native tests: the clock stands still until a test moves it.
#include "win32_double.h"

namespace win32double {
namespace {
DWORD ticks = 0;
}  // namespace

void SetTickCount(DWORD t) { ticks = t; }

}  // namespace win32double

extern "C" DWORD GetTickCount(void) { return win32double::ticks; }
