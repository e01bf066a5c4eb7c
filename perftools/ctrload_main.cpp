// ctrload: the counter loader for Wine, where the platform's own writes nothing.
//   ctrload FILE.ini      installs the driver's counter texts and indexes
//   ctrload /u DRIVER     takes them out again
// Exit status 0 on success, 1 when nothing or not everything was done, 2 for a
// wrong command line. Faults go to standard error; a file that cannot be read
// or is malformed changes nothing.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "countertext.h"
#include "ctrplan.h"
#include "perflibkeys.h"
#include "vortalis/registry_keys.h"

namespace {

const char kUsage[] =
    "usage: ctrload FILE.ini     load the counter texts that FILE.ini and its symbol file name\n"
    "       ctrload /u DRIVER    remove the counter texts of DRIVER\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "ctrload: %s\n", message.c_str());
    return 1;
}

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    *text = all.str();
    return !in.bad();
}

// The symbol file lies beside the .ini unless its name is a full path.
std::string SymbolPath(const std::string& ini, const std::string& symbols) {
    const bool full = (!symbols.empty() && (symbols[0] == '\\' || symbols[0] == '/')) ||
                      (symbols.size() > 1 && symbols[1] == ':');
    if (full) return symbols;
    size_t slash = ini.find_last_of("\\/");
    return slash == std::string::npos ? symbols : ini.substr(0, slash + 1) + symbols;
}

std::string Range(uint32_t first, uint32_t last) { return std::to_string(first) + " to " + std::to_string(last); }

struct Store {
    std::string path;
    HKEY key;
};

// The keys a run works on; closed at the end of the run.
struct Keys {
    HKEY driver = nullptr;
    HKEY perflib = nullptr;
    std::vector<Store> stores;  // one per language in state.languages
    ~Keys() {
        if (driver) RegCloseKey(driver);
        if (perflib) RegCloseKey(perflib);
        for (Store& s : stores) RegCloseKey(s.key);
    }
};

bool OpenCommon(const std::string& driver, Keys* keys, PerflibState* state, std::string* error) {
    const std::string driverPath = DriverPerformanceKey(driver);
    LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, driverPath.c_str(), 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE | REGISTRY_VIEW, &keys->driver);
    if (rc == ERROR_FILE_NOT_FOUND) {
        keys->driver = nullptr;
        *error = FullKeyName(driverPath) + " does not exist: register " + driver + " first (keyplant)";
        return false;
    }
    if (rc != ERROR_SUCCESS) {
        keys->driver = nullptr;
        *error = "cannot open " + FullKeyName(driverPath) + ": " + ErrorText(rc);
        return false;
    }
    DriverIndexes& d = state->driver;
    const char* names[] = {VORTALIS_VAL_FIRST_COUNTER, DRIVER_LAST_COUNTER, VORTALIS_VAL_FIRST_HELP, DRIVER_LAST_HELP};
    OptionalDword* values[] = {&d.firstCounter, &d.lastCounter, &d.firstHelp, &d.lastHelp};
    for (int i = 0; i < 4; ++i)
        if ((rc = ReadDwordValue(keys->driver, names[i], values[i])) != ERROR_SUCCESS) {
            *error = "cannot read " + std::string(names[i]) + " in " + FullKeyName(driverPath) + ": " + ErrorText(rc);
            return false;
        }

    rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, PERFLIB_KEY, 0,
                       KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS | REGISTRY_VIEW, &keys->perflib);
    if (rc != ERROR_SUCCESS) {
        keys->perflib = nullptr;
        *error = "cannot open " + FullKeyName(PERFLIB_KEY) + ": " + ErrorText(rc);
        return false;
    }
    if ((rc = ReadDwordValue(keys->perflib, PERFLIB_LAST_COUNTER, &state->lastCounter)) != ERROR_SUCCESS ||
        (rc = ReadDwordValue(keys->perflib, PERFLIB_LAST_HELP, &state->lastHelp)) != ERROR_SUCCESS) {
        *error = "cannot read Last Counter and Last Help in " + FullKeyName(PERFLIB_KEY) + ": " + ErrorText(rc);
        return false;
    }
    return true;
}

// Opens a language's lists and reads them into the state. *installed false: the
// language is not installed (or its lists are those of a language opened before).
bool AddLanguage(const std::string& id, bool create, Keys* keys, PerflibState* state, bool* installed,
                 std::string* error) {
    Store store;
    LONG rc = OpenTextStore(id, true, create, &store.key, &store.path);
    *installed = false;
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc != ERROR_SUCCESS) {
        *error = "cannot open " + FullKeyName(store.path) + ": " + ErrorText(rc);
        return false;
    }
    for (const Store& s : keys->stores)
        if (s.path == store.path) {
            RegCloseKey(store.key);
            return true;
        }
    keys->stores.push_back(store);
    LanguageLists lists;
    lists.id = id;
    std::string why;
    if ((rc = ReadTextListValue(store.key, L"Counter", &lists.counter, &why)) != ERROR_SUCCESS ||
        (rc = ReadTextListValue(store.key, L"Help", &lists.help, &why)) != ERROR_SUCCESS) {
        *error = "cannot read the lists in " + FullKeyName(store.path) + ": " + (why.empty() ? ErrorText(rc) : why);
        return false;
    }
    state->languages.push_back(lists);
    *installed = true;
    return true;
}

bool WriteBack(const PerflibState& state, Keys* keys, bool driverValues, std::string* error) {
    LONG rc;
    for (size_t i = 0; i < keys->stores.size(); ++i) {
        const Store& s = keys->stores[i];
        if ((rc = WriteTextListValue(s.key, L"Counter", state.languages[i].counter)) != ERROR_SUCCESS ||
            (rc = WriteTextListValue(s.key, L"Help", state.languages[i].help)) != ERROR_SUCCESS) {
            *error = "cannot write the lists in " + FullKeyName(s.path) + ": " + ErrorText(rc);
            return false;
        }
    }
    if ((state.lastCounter.present &&
         (rc = WriteDwordValue(keys->perflib, PERFLIB_LAST_COUNTER, state.lastCounter.value)) != ERROR_SUCCESS) ||
        (state.lastHelp.present &&
         (rc = WriteDwordValue(keys->perflib, PERFLIB_LAST_HELP, state.lastHelp.value)) != ERROR_SUCCESS)) {
        *error = "cannot write Last Counter and Last Help in " + FullKeyName(PERFLIB_KEY) + ": " + ErrorText(rc);
        return false;
    }
    const DriverIndexes& d = state.driver;
    const char* names[] = {VORTALIS_VAL_FIRST_COUNTER, DRIVER_LAST_COUNTER, VORTALIS_VAL_FIRST_HELP, DRIVER_LAST_HELP};
    const OptionalDword* values[] = {&d.firstCounter, &d.lastCounter, &d.firstHelp, &d.lastHelp};
    for (int i = 0; i < 4; ++i) {
        rc = driverValues ? WriteDwordValue(keys->driver, names[i], values[i]->value)
                          : DeleteValueIfThere(keys->driver, names[i]);
        if (rc != ERROR_SUCCESS) {
            *error = std::string("cannot ") + (driverValues ? "write " : "remove ") + names[i] +
                     " in the driver's Performance key: " + ErrorText(rc);
            return false;
        }
    }
    return true;
}

void PrintLists(const PerflibState& before, const PerflibState& after, const Keys& keys, const char* verb) {
    for (size_t i = 0; i < keys.stores.size(); ++i) {
        const long names = long(after.languages[i].counter.size()) - long(before.languages[i].counter.size());
        const long helps = long(after.languages[i].help.size()) - long(before.languages[i].help.size());
        std::printf("  language %s: %ld names and %ld help texts %s, in %s\n", after.languages[i].id.c_str(),
                    names < 0 ? -names : names, helps < 0 ? -helps : helps, verb, FullKeyName(keys.stores[i].path).c_str());
    }
    if (after.lastCounter.present && after.lastHelp.present)
        std::printf("  %s: Last Counter %lu, Last Help %lu\n", FullKeyName(PERFLIB_KEY).c_str(),
                    static_cast<unsigned long>(after.lastCounter.value),
                    static_cast<unsigned long>(after.lastHelp.value));
}

int Load(const std::string& iniPath) {
    std::string ini, symbols, driver, symbolFile, error;
    if (!ReadFile(iniPath, &ini)) return Fail("cannot read " + iniPath + "; nothing changed");
    if (!ReadCounterIniInfo(ini, iniPath, &driver, &symbolFile, &error)) return Fail(error + "; nothing changed");
    const std::string symbolPath = SymbolPath(iniPath, symbolFile);
    if (!ReadFile(symbolPath, &symbols)) return Fail("cannot read the symbol file " + symbolPath + "; nothing changed");
    CounterTexts texts;
    if (!ReadCounterTexts(ini, iniPath, symbols, symbolPath, &texts, &error)) return Fail(error + "; nothing changed");

    Keys keys;
    PerflibState state;
    if (!OpenCommon(texts.driver, &keys, &state, &error)) return Fail(error + "; nothing changed");
    for (const LanguageTexts& t : texts.languages) {
        bool installed;
        if (!AddLanguage(t.id, true, &keys, &state, &installed, &error)) return Fail(error + "; nothing changed");
        if (!installed) std::printf("  language %s: not installed, skipped\n", t.id.c_str());
    }
    const PerflibState before = state;
    LoadKind kind;
    if (!PlanLoad(texts, &state, &kind, &error)) return Fail(error + "; nothing changed");
    if (!WriteBack(state, &keys, true, &error)) return Fail(error);

    const DriverIndexes& d = state.driver;
    const std::string ranges = "counters " + Range(d.firstCounter.value, d.lastCounter.value) + ", help " +
                               Range(d.firstHelp.value, d.lastHelp.value);
    if (kind == LoadKind::Replaced) {
        std::printf("%s is loaded already (%s): its texts were replaced in place\n", texts.driver.c_str(),
                    ranges.c_str());
        std::printf("  %s: First Counter, Last Counter, First Help, Last Help unchanged\n",
                    FullKeyName(DriverPerformanceKey(texts.driver)).c_str());
        std::printf("  %s: Last Counter %lu, Last Help %lu\n", FullKeyName(PERFLIB_KEY).c_str(),
                    static_cast<unsigned long>(state.lastCounter.value),
                    static_cast<unsigned long>(state.lastHelp.value));
        return 0;
    }
    std::printf("Loaded the counter texts of %s: %s\n", texts.driver.c_str(), ranges.c_str());
    std::printf("  %s: First Counter %lu, Last Counter %lu, First Help %lu, Last Help %lu\n",
                FullKeyName(DriverPerformanceKey(texts.driver)).c_str(), static_cast<unsigned long>(d.firstCounter.value),
                static_cast<unsigned long>(d.lastCounter.value), static_cast<unsigned long>(d.firstHelp.value),
                static_cast<unsigned long>(d.lastHelp.value));
    PrintLists(before, state, keys, "added");
    return 0;
}

bool IsLanguageKey(const char* name) {
    if (std::strlen(name) != 3) return false;
    for (int i = 0; i < 3; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

int Unload(const std::string& driver) {
    Keys keys;
    PerflibState state;
    std::string error;
    if (!OpenCommon(driver, &keys, &state, &error)) return Fail(error + "; nothing changed");
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        LONG rc = RegEnumKeyExA(keys.perflib, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) return Fail("cannot list the languages under " + FullKeyName(PERFLIB_KEY) + ": " +
                                             ErrorText(rc) + "; nothing changed");
        bool installed;
        if (IsLanguageKey(name) && !AddLanguage(name, false, &keys, &state, &installed, &error))
            return Fail(error + "; nothing changed");
    }
    const PerflibState before = state;
    if (!PlanUnload(&state, &error)) return Fail(driver + ": " + error + "; nothing changed");
    if (!WriteBack(state, &keys, false, &error)) return Fail(error);

    const DriverIndexes& d = before.driver;
    std::printf("Removed the counter texts of %s: counters %s, help %s\n", driver.c_str(),
                Range(d.firstCounter.value, d.lastCounter.value).c_str(),
                Range(d.firstHelp.value, d.lastHelp.value).c_str());
    std::printf("  %s: First Counter, Last Counter, First Help, Last Help removed\n",
                FullKeyName(DriverPerformanceKey(driver)).c_str());
    PrintLists(before, state, keys, "removed");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && argv[1][0] != '/' && argv[1][0] != '-') return Load(argv[1]);
    if (argc == 3 && (std::strcmp(argv[1], "/u") == 0 || std::strcmp(argv[1], "-u") == 0 ||
                      std::strcmp(argv[1], "/U") == 0))
        return Unload(argv[2]);
    std::fputs(kUsage, stderr);
    return 2;
}
