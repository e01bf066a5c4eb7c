#include "perfquery.h"

#include <gtest/gtest.h>

namespace {

struct TypeCase {
    const wchar_t* name;
    DWORD type;
};

TEST(GetPerfQueryType, ClassifiesValueNames) {
    const TypeCase cases[] = {
        {nullptr, QUERY_GLOBAL},          {L"", QUERY_GLOBAL},
        {L"Global", QUERY_GLOBAL},        {L"Costly", QUERY_COSTLY},
        {L"Foreign", QUERY_FOREIGN},      {L"Foreign Global", QUERY_GLOBAL},
        {L"Costly Global", QUERY_GLOBAL}, {L"Foreign Costly", QUERY_FOREIGN},
        {L"xxCostlyxx", QUERY_COSTLY},    {L"global", QUERY_ITEMS},
        {L"230 232", QUERY_ITEMS},        {L" ", QUERY_ITEMS},
    };
    for (const TypeCase& c : cases)
        EXPECT_EQ(GetPerfQueryType(c.name), c.type) << (c.name ? "name" : "null");
}

struct ListCase {
    DWORD number;
    const wchar_t* list;
    DWORD found;
};

TEST(IsNumberInList, ReadsLikeScanfAndStopsAtTheFirstNonNumber) {
    const ListCase cases[] = {
        {232, L"230 232", 1},
        {232, L"232", 1},
        {232, L"230", 0},
        {232, L"x 232", 0},            // a letter first ends the search
        {232, L"230 x 232", 0},
        {232, L"230     ", 0},          // trailing blanks only
        {232, L"\t230\n232\r\n", 1},    // any white space separates
        {232, L"+232", 1},
        {232, L"232abc", 1},            // the number is read before the text stops it
        {232, L"2 3 2", 0},
        {232, L"", 0},
        {232, nullptr, 0},
        {0xFFFFFFFF, L"-1", 1},         // an int compared with the unsigned index
        {232, L"-", 0},
        {232, L"99999999999999999999 232", 1},  // too large for 32 bits: skipped, no overflow
        {1410065640, L"10000000232", 0},        // would wrap to this in 32 bits
        {232, L"4294967528", 0},
        {0x80000000, L"-2147483648", 1},
        {0xFFFFFFFF, L"4294967295", 1},          // wraps to -1 as "%d" gives it
        {232, L"-4294967064", 0},
    };
    for (const ListCase& c : cases)
        EXPECT_EQ(IsNumberInList(c.number, c.list), c.found) << c.number;
}

}  // namespace
