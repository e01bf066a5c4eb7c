// Blank-padding of the queue manager name.
#include <gtest/gtest.h>

#include <string>

#include "chantable.h"

namespace {

struct PadCase {
    const char* what;
    std::string text;  // the buffer's bytes before
    uint32_t length;
    std::string expected;  // the buffer's bytes after
};

TEST(PadKXCHAR, BlanksFromTheFirstZeroByteUpToTheLength) {
    const std::string b47(47, 'Q');
    const PadCase cases[] = {
        {"short text", std::string("AB\0xyz#", 7), 5, std::string("AB   z#", 7)},
        {"empty text", std::string("\0abc#", 5), 4, "    #"},
        {"47 characters in 48", b47 + std::string("\0#", 2), 48, b47 + " #"},
        {"a text that fills the length is left alone", "ABCDE#", 5, "ABCDE#"},
        {"length 0 does nothing", std::string("\0ab", 3), 0, std::string("\0ab", 3)},
        {"bytes after a zero byte are blanked too", std::string("A\0B\0C#", 6), 5, "A    #"},
    };
    for (const PadCase& c : cases) {
        std::string buffer = c.text;
        PadKXCHAR(&buffer[0], c.length);
        EXPECT_EQ(buffer, c.expected) << c.what;
    }
}

}  // namespace
