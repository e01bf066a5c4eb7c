// What the counter loader changes, worked out on a copy of what it read: the
// performance library's Last Counter and Last Help, each language's Counter and
// Help lists, and the driver's First/Last Counter and First/Last Help. Loading
// takes the next free indexes; loading a driver that is loaded already replaces
// its texts in place; unloading takes its texts out and removes its four values.
#ifndef PERFTOOLS_CTRPLAN_H
#define PERFTOOLS_CTRPLAN_H

#include <cstdint>
#include <string>
#include <vector>

#include "countertext.h"
#include "textlist.h"

struct OptionalDword {
    bool present = false;
    uint32_t value = 0;
};

struct DriverIndexes {  // the four values in the driver's Performance key
    OptionalDword firstCounter, lastCounter, firstHelp, lastHelp;
};

struct LanguageLists {
    std::string id;  // "009"
    TextList counter;
    TextList help;
};

struct PerflibState {
    OptionalDword lastCounter, lastHelp;   // the performance library's own
    std::vector<LanguageLists> languages;  // the installed languages the loader works on
    DriverIndexes driver;
};

enum class LoadKind { Fresh, Replaced };

// Loads `texts` into *state. Counter indexes are even, help indexes odd: the
// first counter index is the next even index above Last Counter and every index
// in the Counter lists (a missing Last Counter counts as 1), the first help index
// the next odd one above Last Help, every index in the Help lists and the first
// counter index. Texts of languages that *state does not hold are skipped; at
// least one must be there. False, with *error and *state unchanged, when the
// driver is loaded with a different number of indexes or nothing fits.
bool PlanLoad(const CounterTexts& texts, PerflibState* state, LoadKind* kind, std::string* error);

// Takes the driver's texts out of every list and clears its four values. Last
// Counter (Last Help) comes down when it was the driver's: to the first index
// less 2, or the highest index still in the lists if that is higher. False, with
// *error and *state unchanged, when the driver has no indexes or they make no range.
bool PlanUnload(PerflibState* state, std::string* error);

#endif
