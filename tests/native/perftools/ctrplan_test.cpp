// The counter loader's index assignment, repeat run and removal, worked out on
// the state it read from the registry.
#include <gtest/gtest.h>

#include "ctrplan.h"

namespace {

CounterTexts Texts(uint32_t counters = 15, const char* nameSuffix = "") {
    CounterTexts t;
    t.driver = "VORTALIS";
    LanguageTexts lang;
    lang.id = "009";
    lang.entries.push_back(CounterEntry{0, "OBJ", std::string("Object") + nameSuffix, "Object help"});
    for (uint32_t k = 0; k < counters; ++k)
        lang.entries.push_back(CounterEntry{2 * (k + 1), "C" + std::to_string(k),
                                            "Counter " + std::to_string(k) + nameSuffix, "Help " + std::to_string(k)});
    t.languages.push_back(lang);
    t.highestOffset = 2 * counters;
    return t;
}

PerflibState FreshWine() {  // Perflib without values, an empty list store
    PerflibState s;
    s.languages.push_back(LanguageLists{"009", {}, {}});
    return s;
}

PerflibState WindowsLike() {
    PerflibState s;
    s.lastCounter = OptionalDword{true, 1846};
    s.lastHelp = OptionalDword{true, 1847};
    s.languages.push_back(LanguageLists{"009", {{1, u"1847"}, {2, u"System"}, {1846, u"End"}},
                                        {{3, u"System help"}, {1847, u"End help"}}});
    return s;
}

void ExpectDriver(const PerflibState& s, uint32_t firstCounter, uint32_t firstHelp, uint32_t span) {
    EXPECT_TRUE(s.driver.firstCounter.present && s.driver.lastCounter.present && s.driver.firstHelp.present &&
                s.driver.lastHelp.present);
    EXPECT_EQ(s.driver.firstCounter.value, firstCounter);
    EXPECT_EQ(s.driver.lastCounter.value, firstCounter + span);
    EXPECT_EQ(s.driver.firstHelp.value, firstHelp);
    EXPECT_EQ(s.driver.lastHelp.value, firstHelp + span);
    EXPECT_TRUE(s.lastCounter.present && s.lastHelp.present);
    EXPECT_EQ(s.lastCounter.value, firstCounter + span);
    EXPECT_EQ(s.lastHelp.value, firstHelp + span);
}

TEST(CounterPlan, FirstIndexesFollowLastCounterAndTheLists) {
    const struct {
        const char* what;
        PerflibState state;
        uint32_t firstCounter, firstHelp;
    } cases[] = {
        {"fresh Wine prefix: nothing set, nothing listed", FreshWine(), 2, 3},
        {"Last Counter 1846, Last Help 1847", WindowsLike(), 1848, 1849},
        {"odd Last Counter",
         [] {
             PerflibState s = FreshWine();
             s.lastCounter = OptionalDword{true, 2001};
             s.lastHelp = OptionalDword{true, 2001};
             return s;
         }(),
         2002, 2003},
        {"lists above Last Counter and Last Help",
         [] {
             PerflibState s = WindowsLike();
             s.languages[0].counter.push_back({1900, u"Stray"});
             s.languages[0].help.push_back({1951, u"Stray help"});
             return s;
         }(),
         1902, 1953},
        {"Last Help below Last Counter",
         [] {
             PerflibState s = WindowsLike();
             s.lastHelp = OptionalDword{true, 101};
             return s;
         }(),
         1848, 1849},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PerflibState s = c.state;
        LoadKind kind;
        std::string error;
        ASSERT_TRUE(PlanLoad(Texts(), &s, &kind, &error)) << error;
        EXPECT_EQ(kind, LoadKind::Fresh);
        ExpectDriver(s, c.firstCounter, c.firstHelp, 30);
        const LanguageLists& l = s.languages[0];
        EXPECT_EQ(l.counter.size(), c.state.languages[0].counter.size() + 16);
        EXPECT_EQ(l.help.size(), c.state.languages[0].help.size() + 16);
        ASSERT_NE(TextAt(l.counter, c.firstCounter), nullptr);
        EXPECT_EQ(*TextAt(l.counter, c.firstCounter), u"Object");
        EXPECT_EQ(*TextAt(l.counter, c.firstCounter + 30), u"Counter 14");
        EXPECT_EQ(*TextAt(l.help, c.firstHelp + 2), u"Help 0");
        for (size_t i = 0; i < c.state.languages[0].counter.size(); ++i)
            EXPECT_EQ(l.counter[i].index, c.state.languages[0].counter[i].index) << "what was there stays first";
    }
}

TEST(CounterPlan, ASecondLoadReplacesInPlace) {
    PerflibState s = WindowsLike();
    LoadKind kind;
    std::string error;
    ASSERT_TRUE(PlanLoad(Texts(), &s, &kind, &error)) << error;
    const PerflibState once = s;

    ASSERT_TRUE(PlanLoad(Texts(), &s, &kind, &error)) << error;
    EXPECT_EQ(kind, LoadKind::Replaced);
    ExpectDriver(s, 1848, 1849, 30);
    ASSERT_EQ(s.languages[0].counter.size(), once.languages[0].counter.size());
    for (size_t i = 0; i < s.languages[0].counter.size(); ++i) {
        EXPECT_EQ(s.languages[0].counter[i].index, once.languages[0].counter[i].index);
        EXPECT_EQ(s.languages[0].counter[i].text, once.languages[0].counter[i].text);
    }

    // New wording lands at the same indexes, in the same places.
    ASSERT_TRUE(PlanLoad(Texts(15, " (new)"), &s, &kind, &error)) << error;
    EXPECT_EQ(kind, LoadKind::Replaced);
    EXPECT_EQ(s.languages[0].counter.size(), once.languages[0].counter.size());
    EXPECT_EQ(s.languages[0].counter[3].index, 1848u);
    EXPECT_EQ(s.languages[0].counter[3].text, u"Object (new)");
}

TEST(CounterPlan, ALoadedDriverOfAnotherShapeIsRefused) {
    PerflibState s = WindowsLike();
    LoadKind kind;
    std::string error;
    ASSERT_TRUE(PlanLoad(Texts(), &s, &kind, &error));
    const PerflibState loaded = s;
    EXPECT_FALSE(PlanLoad(Texts(16), &s, &kind, &error));
    EXPECT_EQ(error,
              "VORTALIS is loaded already at counters 1848 to 1878 and help 1849 to 1879, which do not fit the "
              "file's offsets 0 to 32; unload it first (ctrload /u VORTALIS)");
    EXPECT_EQ(s.languages[0].counter.size(), loaded.languages[0].counter.size());
    EXPECT_EQ(s.driver.lastCounter.value, loaded.driver.lastCounter.value);
}

TEST(CounterPlan, IndexesSetByHandAreNotALoad) {
    PerflibState s = WindowsLike();
    s.driver.firstCounter = OptionalDword{true, 230};
    s.driver.firstHelp = OptionalDword{true, 231};
    LoadKind kind;
    std::string error;
    ASSERT_TRUE(PlanLoad(Texts(), &s, &kind, &error)) << error;
    EXPECT_EQ(kind, LoadKind::Fresh);
    ExpectDriver(s, 1848, 1849, 30);
}

TEST(CounterPlan, UnloadPutsBackWhatLoadChanged) {
    for (const PerflibState& start : {FreshWine(), WindowsLike()}) {
        PerflibState s = start;
        s.lastCounter = start.lastCounter.present ? start.lastCounter : OptionalDword{true, 0};
        s.lastHelp = start.lastHelp.present ? start.lastHelp : OptionalDword{true, 1};
        const PerflibState before = s;
        LoadKind kind;
        std::string error;
        ASSERT_TRUE(PlanLoad(Texts(), &s, &kind, &error)) << error;
        const DriverIndexes loaded = s.driver;
        ASSERT_TRUE(PlanUnload(&s, &error)) << error;
        EXPECT_FALSE(s.driver.firstCounter.present || s.driver.lastCounter.present || s.driver.firstHelp.present ||
                     s.driver.lastHelp.present);
        EXPECT_EQ(s.lastCounter.value, before.lastCounter.value);
        EXPECT_EQ(s.lastHelp.value, before.lastHelp.value);
        ASSERT_EQ(s.languages[0].counter.size(), before.languages[0].counter.size());
        ASSERT_EQ(s.languages[0].help.size(), before.languages[0].help.size());
        // Loading again takes the same indexes.
        ASSERT_TRUE(PlanLoad(Texts(), &s, &kind, &error)) << error;
        EXPECT_EQ(s.driver.firstCounter.value, loaded.firstCounter.value);
        EXPECT_EQ(s.driver.firstHelp.value, loaded.firstHelp.value);
    }
}

TEST(CounterPlan, UnloadLeavesLastCounterOfALaterDriver) {
    PerflibState s = WindowsLike();
    LoadKind kind;
    std::string error;
    ASSERT_TRUE(PlanLoad(Texts(), &s, &kind, &error));
    s.lastCounter.value = 1900;  // another driver loaded after it
    s.lastHelp.value = 1901;
    s.languages[0].counter.push_back({1900, u"Later"});
    ASSERT_TRUE(PlanUnload(&s, &error)) << error;
    EXPECT_EQ(s.lastCounter.value, 1900u);
    EXPECT_EQ(s.lastHelp.value, 1901u);
    EXPECT_EQ(s.languages[0].counter.size(), 4u);
    EXPECT_EQ(TextAt(s.languages[0].counter, 1848), nullptr);
}

TEST(CounterPlan, UnloadRefusals) {
    const struct {
        const char* what;
        DriverIndexes driver;
        const char* error;
    } cases[] = {
        {"nothing loaded", DriverIndexes(),
         "no counter texts are loaded (the Performance key has no First Counter, Last Counter, First Help or Last "
         "Help)"},
        {"first above last", DriverIndexes{{true, 50}, {true, 40}, {true, 51}, {true, 61}},
         "First Counter and Last Counter do not make a range of indexes"},
        {"help without its end", DriverIndexes{{true, 50}, {true, 60}, {true, 51}, {false, 0}},
         "First Help and Last Help do not make a range of indexes"},
    };
    for (const auto& c : cases) {
        PerflibState s = WindowsLike();
        s.driver = c.driver;
        std::string error;
        EXPECT_FALSE(PlanUnload(&s, &error)) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
        EXPECT_EQ(s.languages[0].counter.size(), 3u) << c.what;
    }
}

TEST(CounterPlan, LanguagesThatAreNotInstalledAreSkipped) {
    CounterTexts texts = Texts();
    LanguageTexts german = texts.languages[0];
    german.id = "007";
    texts.languages.insert(texts.languages.begin(), german);
    PerflibState s = FreshWine();
    LoadKind kind;
    std::string error;
    ASSERT_TRUE(PlanLoad(texts, &s, &kind, &error)) << error;
    EXPECT_EQ(s.languages.size(), 1u);
    EXPECT_EQ(s.languages[0].counter.size(), 16u);

    PerflibState none;
    none.languages.push_back(LanguageLists{"00C", {}, {}});
    EXPECT_FALSE(PlanLoad(texts, &none, &kind, &error));
    EXPECT_EQ(error, "none of the file's languages (007, 009) is installed");
}

}  // namespace
