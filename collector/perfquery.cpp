// Value-name helpers. The searches are case-sensitive, anywhere in the text.
#include "perfquery.h"

#include <cwctype>

namespace {

// Whether `word` (plain letters) occurs anywhere in `text`. Value names are
// short, so a direct search is quicker than the C library's general one.
bool Contains(LPCWSTR text, const char* word) {
    for (; *text != 0; ++text) {
        size_t i = 0;
        while (word[i] != 0 && text[i] == static_cast<unsigned char>(word[i])) ++i;
        if (word[i] == 0) return true;
    }
    return false;
}

// Reads one decimal integer the way "%d%n" does: white space skipped, an
// optional sign, then digits. Returns the characters consumed (0: no integer).
// An entry beyond 32 bits (below -2^31 or above 2^32 - 1) is read whole but
// flagged, so that it matches nothing; within them it wraps to 32 bits as
// "%d" does.
size_t ReadEntry(LPCWSTR text, long long* value, bool* fits) {
    size_t i = 0;
    while (text[i] != 0 && std::iswspace(static_cast<wint_t>(text[i]))) ++i;
    bool negative = false;
    if (text[i] == L'+' || text[i] == L'-') negative = text[i++] == L'-';
    size_t digits = i;
    long long magnitude = 0;
    *fits = true;
    while (text[i] >= L'0' && text[i] <= L'9') {
        if (magnitude <= 0xFFFFFFFFLL) magnitude = magnitude * 10 + (text[i] - L'0');
        ++i;
    }
    if (i == digits) return 0;
    *value = negative ? -magnitude : magnitude;
    *fits = *value >= -2147483648LL && *value <= 4294967295LL;
    return i;
}

}  // namespace

DWORD GetPerfQueryType(LPCWSTR valueName) {
    if (valueName == nullptr || valueName[0] == 0) return QUERY_GLOBAL;
    if (Contains(valueName, "Global")) return QUERY_GLOBAL;
    if (Contains(valueName, "Foreign")) return QUERY_FOREIGN;
    if (Contains(valueName, "Costly")) return QUERY_COSTLY;
    return QUERY_ITEMS;
}

DWORD IsNumberInList(DWORD number, LPCWSTR list) {
    if (list == nullptr) return 0;
    while (*list != 0) {
        long long value = 0;
        bool fits = false;
        size_t used = ReadEntry(list, &value, &fits);
        if (used == 0) return 0;
        if (fits && static_cast<DWORD>(value) == number) return 1;
        list += used;
    }
    return 0;
}
