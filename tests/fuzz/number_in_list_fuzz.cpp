// IsNumberInList on arbitrary wide text and an arbitrary number: never more than
// the text is read, the answer is 0 or 1, and on lists of plain decimal numbers
// it agrees with reading them one by one as "%d%n" does.
#include <cwchar>
#include <cwctype>

#include "fuzz_support.h"
#include "perfquery.h"

namespace {

// The list is blanks, signs and digits only, and no entry has more than nine
// digits: "%d" reads every entry of it without overflow.
bool PlainList(const wchar_t* list) {
    int digits = 0;
    for (const wchar_t* p = list; *p != 0; ++p) {
        if (*p >= L'0' && *p <= L'9') {
            if (++digits > 9) return false;
        } else if (*p == L' ' || *p == L'\t' || *p == L'\n' || *p == L'+' || *p == L'-') {
            digits = 0;
        } else {
            return false;
        }
    }
    return true;
}

DWORD ScanList(DWORD number, const wchar_t* list) {
    while (*list != 0) {
        int value = 0, used = 0;
        if (std::swscanf(list, L"%d%n", &value, &used) != 1) return 0;
        if (static_cast<DWORD>(value) == number) return 1;
        list += used;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const DWORD number = fuzz::Word(data, 0);
    std::vector<wchar_t> list = fuzz::WideText(data + 4, size - 4);
    const DWORD found = IsNumberInList(number, list.data());
    FUZZ_CHECK(found == 0 || found == 1);
    if (PlainList(list.data())) FUZZ_CHECK(found == ScanList(number, list.data()));
    // A list that starts with the number itself always has it.
    std::wstring own = std::to_wstring(static_cast<int32_t>(number)) + L" " + list.data();
    FUZZ_CHECK(IsNumberInList(number, own.c_str()) == 1);
    FUZZ_CHECK(IsNumberInList(number, nullptr) == 0);
    return 0;
}
