// The per-second rates on their own, against the table the Windows check uses
// too; collect_test.cpp covers when Collect writes them.
#include <gtest/gtest.h>

#include "rate.h"
#include "rate_cases.h"

TEST(PerSecondRates, AsInDoublePrecision) {
    for (const RateCase& c : kRateCases) {
        uint32_t rates[3] = {};
        PerSecondRates(c.current, c.previous, c.elapsedMs, rates);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(rates[k], c.rates[k]) << c.what << ", count " << k;
    }
}

// Each rate is the one separate computation of its own count gives.
TEST(PerSecondRates, EachCountOnItsOwn) {
    const uint32_t elapsed[] = {1, 3, 7, 999, 1000, 1001, 65536, 0xFFFFFFFFu};
    const uint32_t differences[] = {0, 1, 2, 163, 323, 1000, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
    for (uint32_t e : elapsed) {
        for (uint32_t d : differences) {
            const uint32_t previous[3] = {5, 0, 0xFFFFFFFFu};
            const uint32_t current[3] = {5 + d, 0, 0xFFFFFFFFu + d};
            uint32_t rates[3] = {};
            PerSecondRates(current, previous, e, rates);
            volatile double divided = static_cast<double>(d) / static_cast<double>(e);
            volatile double perSecond = divided * 1000.0;
            const uint32_t expected = static_cast<uint32_t>(static_cast<uint64_t>(perSecond));
            EXPECT_EQ(rates[0], expected) << d << " over " << e;
            EXPECT_EQ(rates[1], 0u) << "no difference, over " << e;
            EXPECT_EQ(rates[2], expected) << d << " over " << e << ", wrapped";
        }
    }
}
