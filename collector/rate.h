// Per-second rates of the three counts that have one (bytes sent, bytes
// received, messages) between two samples of a channel.
#ifndef VORTALIS_RATE_H
#define VORTALIS_RATE_H

#include <cstdint>

// The three divisions share their divisor and are independent, so they are made
// side by side in vector registers. IEEE division and multiplication round each
// lane exactly as the same operation on one double would, so the results are
// those of three separate computations.
typedef double RateDoubles __attribute__((vector_size(4 * sizeof(double))));

// rates[k] = the count per second of current[k] against previous[k] over
// `elapsedMs` milliseconds (not 0): the difference modulo 2^32, divided by the
// elapsed time and then multiplied by 1000 in double precision (IEEE binary64,
// each step rounded to it), truncated toward zero, its low 32 bits. A rate is at
// most 4294967295 / 1 x 1000, far below 2^63, so the conversion to a signed
// 64-bit integer truncates it exactly without a test of its range.
inline void PerSecondRates(const uint32_t current[3], const uint32_t previous[3], uint32_t elapsedMs,
                           uint32_t rates[3]) {
    const RateDoubles differences = {static_cast<double>(current[0] - previous[0]),
                                     static_cast<double>(current[1] - previous[1]),
                                     static_cast<double>(current[2] - previous[2]), 0.0};
    const RateDoubles perSecond = differences / static_cast<double>(elapsedMs) * 1000.0;
    for (int k = 0; k < 3; ++k) rates[k] = static_cast<uint32_t>(static_cast<int64_t>(perSecond[k]));
}

#endif
