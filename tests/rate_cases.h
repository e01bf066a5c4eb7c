// Per-second rates worked out by hand in IEEE double precision (the difference
// divided by the elapsed milliseconds, then multiplied by 1000, truncated, low
// 32 bits), shared by the native test and the Windows check, so that both
// builds are held to the same figures. Each case carries three counts, as a
// sample does (bytes sent, bytes received, messages), with different results
// so that they cannot be mixed up.
#ifndef VORTALIS_TESTS_RATE_CASES_H
#define VORTALIS_TESTS_RATE_CASES_H

#include <cstdint>

struct RateCase {
    const char* what;
    uint32_t elapsedMs;
    uint32_t previous[3], current[3];
    uint32_t rates[3];
};

const RateCase kRateCases[] = {
    {"example", 2000, {1000, 1000, 1000}, {3500, 1001, 1000}, {1250, 0, 0}},
    {"truncated", 3, {5, 7, 9}, {6, 9, 12}, {333, 666, 1000}},
    // Division first, in double precision: 163 / 5 x 1000 is 32600 and 323 / 5 x
    // 1000 is 64599; with intermediate results kept in 80 bits they would come
    // out as 32599 and 64600.
    {"double_rounding", 5, {0, 1000, 2000}, {163, 1323, 2326}, {32600, 64599, 65200}},
    {"count_wraps", 1000, {0xFFFFFFFFu, 0xFFFFFFF0u, 10}, {9, 0x10, 9}, {10, 32, 4294967295u}},
    {"largest", 1, {0, 1, 2}, {0xFFFFFFFFu, 0, 1}, {4294966296u, 4294966296u, 4294966296u}},
    {"long_interval", 0xFFFFFFFFu, {0, 0, 0}, {7, 0xFFFFFFFFu, 0}, {0, 1000, 0}},
    {"thirds", 3, {0, 0, 0}, {0xFFFFFFFFu, 1, 2}, {1431655432u, 333, 666}},
};

#endif
