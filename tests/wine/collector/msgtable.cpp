// Reads the message table of a built VORTALIS.dll back through the real API:
// FormatMessageA for each of the seven ids, and the raw RT_MESSAGETABLE resource
// (name 1, language 1033) for the set of ids and their 8-bit entries.
// usage: msgtable VORTALIS.DLL
// Prints one line per check; exit status 0 when every check holds.
// FormatMessageA alone cannot show the line ends: Wine turns a bare "\n" of the
// stored text into "\r\n". The raw entries show what the DLL carries.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Message {
    DWORD id;
    const char* text;
};

const Message kMessages[] = {
    {0x600007D0, "VORTALIS.DLL has opened the Event Log\r\n"},
    {0x600007D1, "VORTALIS.DLL has closed the Event Log\r\n"},
    {0xE00007D2, "Unable to connect to queue manager.\r\nStatus code returned in data.\r\n"},
    {0xE00007D3, "Unable to access Channel statistics.\r\n"},
    {0xE00007D4, "Unable to open \"Vortalis\\Performance\" key in Registy.\r\nStatus code is returned in data.\r\n"},
    {0xE00007D5, "Unable to read the \"First Counter\" value\r\nunder the Vortalis\\Performance key.\r\n"
                 "Status code returned in data.\r\n"},
    {0xE00007D6, "Unable to read the \"First Help\" value\r\nunder the Vortalis\\Performance key.\r\n"
                 "Status code returned in data.\r\n"},
};
const int kCount = sizeof kMessages / sizeof kMessages[0];
const WORD kLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033

int failures = 0;

std::string Shown(const char* data, size_t length) {
    std::string s;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        char buf[8];
        if (c == '\r') s += "\\r";
        else if (c == '\n') s += "\\n";
        else if (c >= 0x20 && c < 0x7F) s += static_cast<char>(c);
        else {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            s += buf;
        }
    }
    return s;
}

void Check(bool ok, const std::string& what, const std::string& detail = "") {
    if (ok) {
        std::printf("ok - %s\n", what.c_str());
    } else {
        std::printf("FAIL - %s%s%s\n", what.c_str(), detail.empty() ? "" : ": ", detail.c_str());
        ++failures;
    }
}

std::string Hex(DWORD id) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(id));
    return buf;
}

DWORD Word32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | DWORD(p[3]) << 24; }
WORD Word16(const unsigned char* p) { return WORD(p[0] | p[1] << 8); }

void CheckFormatMessage(HMODULE module) {
    for (const Message& m : kMessages) {
        char buf[1024];
        std::memset(buf, 0x55, sizeof buf);
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, module, m.id,
                                 kLanguage, buf, sizeof buf, nullptr);
        size_t want = std::strlen(m.text);
        bool ok = n == want && std::memcmp(buf, m.text, want) == 0 && buf[n] == '\0';
        Check(ok, "FormatMessageA " + Hex(m.id),
              n == 0 ? "error " + std::to_string(GetLastError()) : "got \"" + Shown(buf, n) + "\"");
    }
}

// The resource: a count of blocks, each (low id, high id, offset of its entries);
// each entry (length, flags, text), flags 0 for 8-bit text.
void CheckResource(HMODULE module) {
    HRSRC info = FindResourceExA(module, MAKEINTRESOURCEA(11), MAKEINTRESOURCEA(1), kLanguage);
    Check(info != nullptr, "RT_MESSAGETABLE 1, language 1033, present");
    if (info == nullptr) return;
    DWORD size = SizeofResource(module, info);
    const unsigned char* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, info)));
    if (data == nullptr || size < 4) {
        Check(false, "message table readable");
        return;
    }
    bool seen[kCount] = {};
    int entries = 0;
    bool wellFormed = true;
    DWORD blocks = Word32(data);
    for (DWORD b = 0; b < blocks && wellFormed; ++b) {
        if (4 + 12 * (b + 1) > size) { wellFormed = false; break; }
        const unsigned char* block = data + 4 + 12 * b;
        DWORD low = Word32(block), high = Word32(block + 4), offset = Word32(block + 8);
        for (DWORD id = low; id >= low && id <= high && wellFormed; ++id) {
            if (offset + 4 > size) { wellFormed = false; break; }
            WORD length = Word16(data + offset), flags = Word16(data + offset + 2);
            if (length < 4 || offset + length > size) { wellFormed = false; break; }
            const char* text = reinterpret_cast<const char*>(data + offset + 4);
            size_t textLength = strnlen(text, length - 4);
            ++entries;
            int which = -1;
            for (int i = 0; i < kCount; ++i)
                if (kMessages[i].id == id) which = i;
            if (which < 0) {
                Check(false, "entry " + Hex(id) + " expected", "not one of the seven");
            } else {
                seen[which] = true;
                bool ok = flags == 0 && textLength == std::strlen(kMessages[which].text) &&
                          std::memcmp(text, kMessages[which].text, textLength) == 0;
                Check(ok, "entry " + Hex(id) + " is 8-bit text, byte for byte",
                      "flags " + std::to_string(flags) + " text \"" + Shown(text, textLength) + "\"");
            }
            offset += length;
            if (id == 0xFFFFFFFF) break;
        }
    }
    Check(wellFormed, "message table well formed");
    bool all = entries == kCount;
    for (bool s : seen) all = all && s;
    Check(all, "exactly the seven ids", std::to_string(entries) + " entries");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: msgtable VORTALIS.DLL\n");
        return 2;
    }
    HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    Check(module != nullptr, "load " + std::string(argv[1]) + " as data file",
          "error " + std::to_string(GetLastError()));
    if (module == nullptr) return 1;
    CheckFormatMessage(module);
    CheckResource(module);
    FreeLibrary(module);
    return failures == 0 ? 0 : 1;
}
