// GetPerfQueryType on arbitrary wide text: never more than the text is read, and
// the type is what the three case-sensitive searches, in their order, make it.
#include <cwchar>
#include <string>

#include "fuzz_support.h"
#include "perfquery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<wchar_t> text = fuzz::WideText(data, size);
    const DWORD type = GetPerfQueryType(text.data());
    const std::wstring name(text.data());
    DWORD expected = QUERY_ITEMS;
    if (name.empty() || name.find(L"Global") != std::wstring::npos) expected = QUERY_GLOBAL;
    else if (name.find(L"Foreign") != std::wstring::npos) expected = QUERY_FOREIGN;
    else if (name.find(L"Costly") != std::wstring::npos) expected = QUERY_COSTLY;
    FUZZ_CHECK(type == expected);
    return 0;
}
