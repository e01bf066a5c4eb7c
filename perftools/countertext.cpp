#include "countertext.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

namespace {

struct IniLine {
    int line;
    std::string key;
    std::string value;
};

struct Ini {
    std::map<std::string, std::vector<IniLine>> sections;  // by lower-case section name
};

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string Where(const std::string& file, int line) { return file + ":" + std::to_string(line) + ": "; }

bool ParseIni(const std::string& text, const std::string& file, Ini* ini, std::string* error) {
    std::vector<std::string> lines = Lines(text);
    std::string section;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int n = int(i + 1);
        std::string line = Trim(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) {
                *error = Where(file, n) + "a section header needs the form [name]";
                return false;
            }
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            ini->sections[section];
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || Trim(line.substr(0, eq)).empty()) {
            *error = Where(file, n) + "expected KEY=VALUE, found \"" + line + "\"";
            return false;
        }
        if (section.empty()) {
            *error = Where(file, n) + "KEY=VALUE before the first [section]";
            return false;
        }
        ini->sections[section].push_back(IniLine{n, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
    }
    return true;
}

const IniLine* Find(const Ini& ini, const char* section, const char* key) {
    auto s = ini.sections.find(section);
    if (s == ini.sections.end()) return nullptr;
    for (const IniLine& l : s->second)
        if (Lower(l.key) == key) return &l;
    return nullptr;
}

bool Info(const Ini& ini, const std::string& file, std::string* driver, std::string* symbolFile,
          std::string* error) {
    const IniLine* d = Find(ini, "info", "drivername");
    const IniLine* s = Find(ini, "info", "symbolfile");
    if (d == nullptr || d->value.empty()) {
        *error = file + ": [info] has no drivername";
        return false;
    }
    if (s == nullptr || s->value.empty()) {
        *error = file + ": [info] has no symbolfile";
        return false;
    }
    *driver = d->value;
    *symbolFile = s->value;
    return true;
}

// A number as C writes it in a #define: decimal or 0x-hexadecimal.
bool ParseNumber(const std::string& text, uint32_t* value) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    unsigned long long v = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (*end != '\0' || v > 0xFFFFFFFFull) return false;
    *value = uint32_t(v);
    return true;
}

std::string StripComments(const std::string& line) {
    std::string out = line;
    size_t c = out.find("//");
    if (c != std::string::npos) out.erase(c);
    for (size_t b; (b = out.find("/*")) != std::string::npos;) {
        size_t e = out.find("*/", b + 2);
        out.erase(b, e == std::string::npos ? std::string::npos : e + 2 - b);
    }
    return out;
}

struct Symbol {
    std::string name;
    uint32_t offset;
    int line;
};

// "#define NAME NUMBER" lines; a #define without a value (a guard) and every other
// line are not symbols.
bool ParseSymbols(const std::string& text, const std::string& file, std::vector<Symbol>* symbols,
                  std::string* error) {
    std::vector<std::string> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const int n = int(i + 1);
        std::string line = Trim(StripComments(lines[i]));
        if (line.empty() || line[0] != '#') continue;
        std::string rest = Trim(line.substr(1));
        if (rest.compare(0, 6, "define") != 0 || (rest.size() > 6 && !std::isspace(static_cast<unsigned char>(rest[6]))))
            continue;
        rest = Trim(rest.substr(6));
        size_t sp = 0;
        while (sp < rest.size() && !std::isspace(static_cast<unsigned char>(rest[sp]))) ++sp;
        std::string name = rest.substr(0, sp);
        std::string value = Trim(rest.substr(sp));
        if (value.empty()) continue;
        uint32_t offset;
        if (!ParseNumber(value, &offset)) {
            *error = Where(file, n) + name + " is not defined as a number: \"" + value + "\"";
            return false;
        }
        if (offset % 2 != 0) {
            *error = Where(file, n) + name + " has the odd offset " + value + ": offsets are even";
            return false;
        }
        if (offset > COUNTER_TEXT_MAX_OFFSET) {
            *error = Where(file, n) + name + " has the offset " + value + ", above the limit of " +
                     std::to_string(COUNTER_TEXT_MAX_OFFSET);
            return false;
        }
        for (const Symbol& s : *symbols) {
            if (Upper(s.name) == Upper(name)) {
                *error = Where(file, n) + name + " is defined twice (first on line " + std::to_string(s.line) + ")";
                return false;
            }
            if (s.offset == offset) {
                *error = Where(file, n) + name + " has the offset " + value + " of " + s.name;
                return false;
            }
        }
        symbols->push_back(Symbol{name, offset, n});
    }
    if (symbols->empty()) {
        *error = file + ": no \"#define SYMBOL OFFSET\" line";
        return false;
    }
    return true;
}

bool IsLanguageId(const std::string& id) {
    if (id.size() != 3) return false;
    for (char c : id)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

bool ReadCounterIniInfo(const std::string& iniText, const std::string& iniName, std::string* driver,
                        std::string* symbolFile, std::string* error) {
    Ini ini;
    return ParseIni(iniText, iniName, &ini, error) && Info(ini, iniName, driver, symbolFile, error);
}

bool ReadCounterTexts(const std::string& iniText, const std::string& iniName, const std::string& symbolText,
                      const std::string& symbolName, CounterTexts* texts, std::string* error) {
    Ini ini;
    std::string symbolFile;
    if (!ParseIni(iniText, iniName, &ini, error) || !Info(ini, iniName, &texts->driver, &symbolFile, error))
        return false;
    std::vector<Symbol> symbols;
    if (!ParseSymbols(symbolText, symbolName, &symbols, error)) return false;
    std::sort(symbols.begin(), symbols.end(), [](const Symbol& a, const Symbol& b) { return a.offset < b.offset; });
    texts->highestOffset = symbols.back().offset;

    texts->languages.clear();
    for (const IniLine& l : ini.sections["languages"]) {
        std::string id = Upper(l.key);
        if (!IsLanguageId(id)) {
            *error = Where(iniName, l.line) + "\"" + l.key + "\" is not a language id of three hex digits (009)";
            return false;
        }
        for (const LanguageTexts& known : texts->languages)
            if (known.id == id) {
                *error = Where(iniName, l.line) + "language " + id + " is listed twice";
                return false;
            }
        LanguageTexts lang;
        lang.id = id;
        for (const Symbol& s : symbols) lang.entries.push_back(CounterEntry{s.offset, s.name, "", ""});
        texts->languages.push_back(lang);
    }
    if (texts->languages.empty()) {
        *error = iniName + ": [languages] lists no language";
        return false;
    }

    std::map<std::string, int> seen;  // upper-case text key -> line
    for (const IniLine& l : ini.sections["text"]) {
        std::string key = Upper(l.key);
        size_t kind = key.rfind('_');
        size_t lang = kind == std::string::npos || kind == 0 ? std::string::npos : key.rfind('_', kind - 1);
        if (lang == std::string::npos || lang == 0 ||
            (key.compare(kind + 1, std::string::npos, "NAME") != 0 && key.compare(kind + 1, std::string::npos, "HELP") != 0)) {
            *error = Where(iniName, l.line) + "\"" + l.key + "\" is not SYMBOL_LANGUAGE_NAME or SYMBOL_LANGUAGE_HELP";
            return false;
        }
        if (seen.count(key)) {
            *error = Where(iniName, l.line) + l.key + " is given twice (first on line " + std::to_string(seen[key]) + ")";
            return false;
        }
        seen[key] = l.line;
        std::string symbol = key.substr(0, lang);
        std::string id = key.substr(lang + 1, kind - lang - 1);
        bool isName = key.compare(kind + 1, std::string::npos, "NAME") == 0;
        LanguageTexts* language = nullptr;
        for (LanguageTexts& t : texts->languages)
            if (t.id == id) language = &t;
        if (language == nullptr) {
            *error = Where(iniName, l.line) + l.key + ": language " + id + " is not in [languages]";
            return false;
        }
        CounterEntry* entry = nullptr;
        for (CounterEntry& e : language->entries)
            if (Upper(e.symbol) == symbol) entry = &e;
        if (entry == nullptr) {
            *error = Where(iniName, l.line) + l.key + ": " + symbol + " is not defined in " + symbolName;
            return false;
        }
        if (l.value.empty()) {
            *error = Where(iniName, l.line) + l.key + " is empty";
            return false;
        }
        (isName ? entry->name : entry->help) = l.value;
    }
    for (const LanguageTexts& t : texts->languages)
        for (const CounterEntry& e : t.entries)
            if (e.name.empty() || e.help.empty()) {
                *error = iniName + ": [text] has no " + e.symbol + "_" + t.id + (e.name.empty() ? "_NAME" : "_HELP");
                return false;
            }
    return true;
}
