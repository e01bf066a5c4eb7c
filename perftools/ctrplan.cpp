#include "ctrplan.h"

#include <algorithm>

namespace {

const LanguageTexts* TextsFor(const CounterTexts& texts, const std::string& id) {
    for (const LanguageTexts& t : texts.languages)
        if (t.id == id) return &t;
    return nullptr;
}

bool Loaded(const DriverIndexes& d) {
    return d.firstCounter.present && d.lastCounter.present && d.firstHelp.present && d.lastHelp.present;
}

std::string Range(uint32_t first, uint32_t last) { return std::to_string(first) + " to " + std::to_string(last); }

// A driver's range of indexes: first <= last and no wider than a text file can make.
bool SaneRange(const OptionalDword& first, const OptionalDword& last) {
    return first.present && last.present && first.value <= last.value &&
           last.value - first.value <= COUNTER_TEXT_MAX_OFFSET;
}

void WriteTexts(const LanguageTexts& texts, const DriverIndexes& d, LanguageLists* lists) {
    RemoveTexts(&lists->counter, d.firstCounter.value, d.lastCounter.value);
    RemoveTexts(&lists->help, d.firstHelp.value, d.lastHelp.value);
    for (const CounterEntry& e : texts.entries) {
        PutText(&lists->counter, d.firstCounter.value + e.offset, WidenLatin1(e.name));
        PutText(&lists->help, d.firstHelp.value + e.offset, WidenLatin1(e.help));
    }
}

// An index of the driver's range that the texts no longer use.
bool Unused(const LanguageTexts& texts, uint32_t first, uint32_t last, uint32_t index) {
    if (index < first || index > last) return false;
    for (const CounterEntry& e : texts.entries)
        if (first + e.offset == index) return false;
    return true;
}

void DropUnused(const LanguageTexts& texts, uint32_t first, uint32_t last, TextList* list) {
    list->erase(std::remove_if(list->begin(), list->end(),
                               [&](const TextEntry& e) { return Unused(texts, first, last, e.index); }),
                list->end());
}

// Replaces the texts at the driver's indexes; an entry that stays keeps its
// place in the list (PutText rewrites an index in place).
void ReplaceTexts(const LanguageTexts& texts, const DriverIndexes& d, LanguageLists* lists) {
    DropUnused(texts, d.firstCounter.value, d.lastCounter.value, &lists->counter);
    DropUnused(texts, d.firstHelp.value, d.lastHelp.value, &lists->help);
    for (const CounterEntry& e : texts.entries) {
        PutText(&lists->counter, d.firstCounter.value + e.offset, WidenLatin1(e.name));
        PutText(&lists->help, d.firstHelp.value + e.offset, WidenLatin1(e.help));
    }
}

}  // namespace

bool PlanLoad(const CounterTexts& texts, PerflibState* state, LoadKind* kind, std::string* error) {
    bool anyLanguage = false;
    for (const LanguageLists& l : state->languages) anyLanguage = anyLanguage || TextsFor(texts, l.id) != nullptr;
    if (!anyLanguage) {
        std::string ids;
        for (const LanguageTexts& t : texts.languages) ids += (ids.empty() ? "" : ", ") + t.id;
        *error = "none of the file's languages (" + ids + ") is installed";
        return false;
    }

    PerflibState next = *state;
    DriverIndexes& d = next.driver;
    if (Loaded(state->driver)) {
        const DriverIndexes& now = state->driver;
        if (!SaneRange(now.firstCounter, now.lastCounter) || !SaneRange(now.firstHelp, now.lastHelp) ||
            now.lastCounter.value - now.firstCounter.value != texts.highestOffset ||
            now.lastHelp.value - now.firstHelp.value != texts.highestOffset) {
            *error = texts.driver + " is loaded already at counters " +
                     Range(now.firstCounter.value, now.lastCounter.value) + " and help " +
                     Range(now.firstHelp.value, now.lastHelp.value) + ", which do not fit the file's offsets 0 to " +
                     std::to_string(texts.highestOffset) + "; unload it first (ctrload /u " + texts.driver + ")";
            return false;
        }
        for (LanguageLists& l : next.languages)
            if (const LanguageTexts* t = TextsFor(texts, l.id)) ReplaceTexts(*t, d, &l);
        // The library's last indexes never stay below the driver's own.
        if (!next.lastCounter.present || next.lastCounter.value < d.lastCounter.value) next.lastCounter = d.lastCounter;
        if (!next.lastHelp.present || next.lastHelp.value < d.lastHelp.value) next.lastHelp = d.lastHelp;
        *kind = LoadKind::Replaced;
        *state = next;
        return true;
    }

    uint64_t counterBase = state->lastCounter.present ? state->lastCounter.value : 1;
    uint64_t helpBase = state->lastHelp.present ? state->lastHelp.value : 1;
    for (const LanguageLists& l : state->languages) {
        counterBase = std::max<uint64_t>(counterBase, HighestIndex(l.counter));
        helpBase = std::max<uint64_t>(helpBase, HighestIndex(l.help));
    }
    const uint64_t firstCounter = counterBase % 2 == 0 ? counterBase + 2 : counterBase + 1;
    helpBase = std::max(helpBase, firstCounter);
    const uint64_t firstHelp = helpBase % 2 == 1 ? helpBase + 2 : helpBase + 1;
    if (firstCounter + texts.highestOffset > 0xFFFFFFFFull || firstHelp + texts.highestOffset > 0xFFFFFFFFull) {
        *error = "no free indexes are left above Last Counter " + std::to_string(counterBase) + " and Last Help " +
                 std::to_string(helpBase);
        return false;
    }
    d.firstCounter = OptionalDword{true, uint32_t(firstCounter)};
    d.lastCounter = OptionalDword{true, uint32_t(firstCounter + texts.highestOffset)};
    d.firstHelp = OptionalDword{true, uint32_t(firstHelp)};
    d.lastHelp = OptionalDword{true, uint32_t(firstHelp + texts.highestOffset)};
    for (LanguageLists& l : next.languages)
        if (const LanguageTexts* t = TextsFor(texts, l.id)) WriteTexts(*t, d, &l);
    next.lastCounter = d.lastCounter;
    next.lastHelp = d.lastHelp;
    *kind = LoadKind::Fresh;
    *state = next;
    return true;
}

bool PlanUnload(PerflibState* state, std::string* error) {
    const DriverIndexes& d = state->driver;
    if (!d.firstCounter.present && !d.lastCounter.present && !d.firstHelp.present && !d.lastHelp.present) {
        *error = "no counter texts are loaded (the Performance key has no First Counter, Last Counter, First Help "
                 "or Last Help)";
        return false;
    }
    const bool counters = SaneRange(d.firstCounter, d.lastCounter);
    const bool help = SaneRange(d.firstHelp, d.lastHelp);
    if ((d.firstCounter.present || d.lastCounter.present) && !counters) {
        *error = "First Counter and Last Counter do not make a range of indexes";
        return false;
    }
    if ((d.firstHelp.present || d.lastHelp.present) && !help) {
        *error = "First Help and Last Help do not make a range of indexes";
        return false;
    }

    PerflibState next = *state;
    uint32_t highestCounter = 0, highestHelp = 0;
    for (LanguageLists& l : next.languages) {
        if (counters) RemoveTexts(&l.counter, d.firstCounter.value, d.lastCounter.value);
        if (help) RemoveTexts(&l.help, d.firstHelp.value, d.lastHelp.value);
        highestCounter = std::max(highestCounter, HighestIndex(l.counter));
        highestHelp = std::max(highestHelp, HighestIndex(l.help));
    }
    if (counters && next.lastCounter.present && next.lastCounter.value == d.lastCounter.value)
        next.lastCounter.value = std::max(d.firstCounter.value < 2 ? 0 : d.firstCounter.value - 2, highestCounter);
    if (help && next.lastHelp.present && next.lastHelp.value == d.lastHelp.value)
        next.lastHelp.value = std::max(d.firstHelp.value < 2 ? 1 : d.firstHelp.value - 2, highestHelp);
    next.driver = DriverIndexes();
    *state = next;
    return true;
}
