// The performance library's text lists: a language's Counter and Help values,
// REG_MULTI_SZ in UTF-16LE, alternating an index in decimal and its text.
#ifndef PERFTOOLS_TEXTLIST_H
#define PERFTOOLS_TEXTLIST_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TextEntry {
    uint32_t index;
    std::u16string text;
};
typedef std::vector<TextEntry> TextList;

// Reads `bytes` bytes of a list. False, with *error set, for a list that is not
// pairs of a decimal index and a text; an empty value is an empty list.
bool ParseTextList(const uint8_t* data, size_t bytes, TextList* list, std::string* error);

// The REG_MULTI_SZ bytes of `list`, ended by the empty string.
std::vector<uint8_t> TextListBytes(const TextList& list);

// The text at `index`, or nullptr.
const std::u16string* TextAt(const TextList& list, uint32_t index);

// The largest index in the list, 0 for an empty list.
uint32_t HighestIndex(const TextList& list);

// Sets the text at `index`: in place when the index is there, else appended.
void PutText(TextList* list, uint32_t index, const std::u16string& text);

// Removes every entry whose index lies in [first, last]; returns how many.
size_t RemoveTexts(TextList* list, uint32_t first, uint32_t last);

// 8-bit text to UTF-16, each byte its own code point; and UTF-16 to UTF-8.
std::u16string WidenLatin1(const std::string& text);
std::string Utf8(const std::u16string& text);

#endif
