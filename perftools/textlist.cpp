#include "textlist.h"

#include <algorithm>

namespace {

bool ParseIndex(const std::u16string& text, uint32_t* index) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return false;
        value = value * 10 + uint64_t(c - u'0');
    }
    if (value > 0xFFFFFFFFull) return false;
    *index = uint32_t(value);
    return true;
}

void Append(std::vector<uint8_t>* out, const std::u16string& text) {
    for (char16_t c : text) {
        out->push_back(uint8_t(c & 0xFF));
        out->push_back(uint8_t(c >> 8));
    }
    out->push_back(0);
    out->push_back(0);
}

}  // namespace

bool ParseTextList(const uint8_t* data, size_t bytes, TextList* list, std::string* error) {
    list->clear();
    std::vector<std::u16string> strings;
    std::u16string current;
    bool ended = false;  // the empty string that ends the list was seen
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        char16_t c = char16_t(data[i] | data[i + 1] << 8);
        if (c != 0) {
            current.push_back(c);
            continue;
        }
        if (current.empty()) {
            ended = true;
            break;
        }
        strings.push_back(current);
        current.clear();
    }
    if (!ended && !current.empty()) strings.push_back(current);  // a last string without its zero
    if (strings.size() % 2 != 0) {
        *error = "entry " + std::to_string(strings.size() / 2 + 1) + " has an index and no text";
        return false;
    }
    for (size_t i = 0; i < strings.size(); i += 2) {
        TextEntry entry;
        if (!ParseIndex(strings[i], &entry.index)) {
            *error = "entry " + std::to_string(i / 2 + 1) + " does not start with a decimal index: \"" +
                     Utf8(strings[i]) + "\"";
            list->clear();
            return false;
        }
        entry.text = strings[i + 1];
        list->push_back(entry);
    }
    return true;
}

std::vector<uint8_t> TextListBytes(const TextList& list) {
    std::vector<uint8_t> out;
    for (const TextEntry& e : list) {
        std::string index = std::to_string(e.index);
        Append(&out, std::u16string(index.begin(), index.end()));
        Append(&out, e.text);
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

const std::u16string* TextAt(const TextList& list, uint32_t index) {
    for (const TextEntry& e : list)
        if (e.index == index) return &e.text;
    return nullptr;
}

uint32_t HighestIndex(const TextList& list) {
    uint32_t highest = 0;
    for (const TextEntry& e : list) highest = std::max(highest, e.index);
    return highest;
}

void PutText(TextList* list, uint32_t index, const std::u16string& text) {
    for (TextEntry& e : *list)
        if (e.index == index) {
            e.text = text;
            return;
        }
    list->push_back(TextEntry{index, text});
}

size_t RemoveTexts(TextList* list, uint32_t first, uint32_t last) {
    size_t before = list->size();
    list->erase(std::remove_if(list->begin(), list->end(),
                               [&](const TextEntry& e) { return e.index >= first && e.index <= last; }),
                list->end());
    return before - list->size();
}

std::u16string WidenLatin1(const std::string& text) {
    std::u16string out;
    for (char c : text) out.push_back(char16_t(static_cast<unsigned char>(c)));
    return out;
}

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | c >> 6));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back('?');  // half of a pair: not worth joining for names and texts
        } else {
            out.push_back(char(0xE0 | c >> 12));
            out.push_back(char(0x80 | (c >> 6 & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}
