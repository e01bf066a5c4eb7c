// Helpers shared by the native tests.
#ifndef VORTALIS_TEST_SUPPORT_H
#define VORTALIS_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "win32_double.h"

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// Runs `fn` with standard output captured and returns what it printed, line by line.
template <typename Fn>
std::vector<std::string> CaptureLines(Fn fn, int* status) {
    testing::internal::CaptureStdout();
    *status = fn();
    return SplitLines(testing::internal::GetCapturedStdout());
}

inline std::vector<uint8_t> Bytes(const std::string& s, bool withZero = true) {
    std::vector<uint8_t> b(s.begin(), s.end());
    if (withZero) b.push_back(0);
    return b;
}

inline std::vector<uint8_t> DwordBytes(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

#endif
