// The counter text files that a counter loader takes: an .ini with [info]
// (drivername, symbolfile), [languages] and [text] (SYMBOL_LANG_NAME and
// SYMBOL_LANG_HELP), and the symbol file whose "#define SYMBOL OFFSET" lines give
// each text its offset from the first counter and first help index.
#ifndef PERFTOOLS_COUNTERTEXT_H
#define PERFTOOLS_COUNTERTEXT_H

#include <cstdint>
#include <string>
#include <vector>

struct CounterEntry {
    uint32_t offset;
    std::string symbol;
    std::string name;
    std::string help;
};

struct LanguageTexts {
    std::string id;                     // "009"
    std::vector<CounterEntry> entries;  // one per symbol, by offset
};

struct CounterTexts {
    std::string driver;
    std::vector<LanguageTexts> languages;
    uint32_t highestOffset = 0;
};

#define COUNTER_TEXT_MAX_OFFSET 10000u  // a driver's texts span at most this many indexes

// The [info] values of the .ini that name the driver and its symbol file.
// False, with *error ("FILE:LINE: ..."), for an .ini that lacks them or does not
// read as an .ini.
bool ReadCounterIniInfo(const std::string& iniText, const std::string& iniName, std::string* driver,
                        std::string* symbolFile, std::string* error);

// Reads both files into *texts. Every symbol needs an even offset of its own
// and, for every language, a name and a help text; every text needs a symbol and
// a listed language. False, with *error, at the first fault.
bool ReadCounterTexts(const std::string& iniText, const std::string& iniName, const std::string& symbolText,
                      const std::string& symbolName, CounterTexts* texts, std::string* error);

#endif
