// The per-second rates as the Windows build of the collector works them out,
// against the figures of the shared table: prints one "ok - " line per case, or
// a "FAIL: " line for each rate that differs. Exit status 0 when none differs.
#include <cstdio>

#include "rate.h"
#include "rate_cases.h"

int main() {
    int failed = 0;
    for (const RateCase& c : kRateCases) {
        uint32_t rates[3];
        PerSecondRates(c.current, c.previous, c.elapsedMs, rates);
        bool same = true;
        for (int k = 0; k < 3; ++k) {
            if (rates[k] == c.rates[k]) continue;
            std::printf("FAIL: %s, count %d: %lu, expected %lu\n", c.what, k, static_cast<unsigned long>(rates[k]),
                        static_cast<unsigned long>(c.rates[k]));
            same = false;
        }
        if (same) std::printf("ok - rates %s\n", c.what);
        else ++failed;
    }
    return failed == 0 ? 0 : 1;
}
