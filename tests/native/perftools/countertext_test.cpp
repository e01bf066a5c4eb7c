// The counter text files: ours as shipped, and what a malformed pair gets.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "countertext.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

TEST(CounterText, TheCollectorsFilesGiveEachCounterItsOffset) {
    const std::string dir = VORTALIS_SOURCE_DIR "/collector/";
    const std::string ini = Slurp(dir + "vortalis_ctr.ini"), h = Slurp(dir + "vortalis_ctr.h");
    ASSERT_FALSE(ini.empty());
    ASSERT_FALSE(h.empty());
    std::string driver, symbolFile, error;
    ASSERT_TRUE(ReadCounterIniInfo(ini, "vortalis_ctr.ini", &driver, &symbolFile, &error)) << error;
    EXPECT_EQ(driver, "VORTALIS");
    EXPECT_EQ(symbolFile, "vortalis_ctr.h");

    CounterTexts texts;
    ASSERT_TRUE(ReadCounterTexts(ini, "vortalis_ctr.ini", h, "vortalis_ctr.h", &texts, &error)) << error;
    EXPECT_EQ(texts.highestOffset, 30u);
    ASSERT_EQ(texts.languages.size(), 1u);
    EXPECT_EQ(texts.languages[0].id, "009");
    const std::vector<CounterEntry>& e = texts.languages[0].entries;
    ASSERT_EQ(e.size(), 16u);
    for (uint32_t k = 0; k < 16; ++k) EXPECT_EQ(e[k].offset, 2 * k);
    EXPECT_EQ(e[0].name, "Queue Manager Channels");
    EXPECT_EQ(e[1].name, "Messages");
    EXPECT_EQ(e[2].name, "Bytes Sent");
    EXPECT_EQ(e[3].name, "Bytes Received");
    // Counters 3 to 11 are the status record's fields at these offsets.
    const char* fields[] = {"1976", "1984", "1988", "1992", "1996", "1928", "308", "1940", "1944"};
    for (int k = 3; k <= 11; ++k) {
        EXPECT_EQ(e[k + 1].name, std::string("Status count at ") + fields[k - 3]);
        EXPECT_NE(e[k + 1].help.find(std::string("offset ") + fields[k - 3]), std::string::npos) << e[k + 1].help;
    }
    for (int k : {10, 11}) EXPECT_NE(e[k + 1].help.find("Only channels"), std::string::npos) << e[k + 1].help;
    EXPECT_EQ(e[13].name, "Bytes Sent/sec");
    EXPECT_EQ(e[14].name, "Bytes Received/sec");
    EXPECT_EQ(e[15].name, "Messages/sec");
    for (int k : {12, 13, 14}) EXPECT_NE(e[k + 1].help.find("per second"), std::string::npos) << e[k + 1].help;
    for (const CounterEntry& c : e) EXPECT_LT(c.name.size(), 64u) << c.name;
}

const char kIni[] =
    "; a comment\r\n"
    "[info]\r\n"
    "drivername=DRV\r\n"
    "symbolfile=drv.h\r\n"
    "[languages]\r\n"
    "009=English\r\n"
    "[text]\r\n"
    "OBJ_009_NAME=The object\r\n"
    "OBJ_009_HELP=What it is\r\n"
    "CTR_009_NAME=A counter\r\n"
    "ctr_009_help=What it counts\r\n";
const char kSymbols[] =
    "#ifndef DRV_H\n#define DRV_H\n"
    "#define OBJ 0 // the object\n"
    "#  define CTR 0x2 /* the counter */\n"
    "#endif\n";

TEST(CounterText, ReadsCaseAndLineEndsAsTheyCome) {
    CounterTexts texts;
    std::string error;
    ASSERT_TRUE(ReadCounterTexts(kIni, "drv.ini", kSymbols, "drv.h", &texts, &error)) << error;
    EXPECT_EQ(texts.driver, "DRV");
    ASSERT_EQ(texts.languages[0].entries.size(), 2u);
    EXPECT_EQ(texts.languages[0].entries[1].offset, 2u);
    EXPECT_EQ(texts.languages[0].entries[1].help, "What it counts");
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(CounterText, MalformedFilesSayWhatAndWhere) {
    const struct {
        std::string ini;
        std::string symbols;
        const char* error;
    } cases[] = {
        {Replace(kIni, "drivername=DRV\r\n", ""), kSymbols, "drv.ini: [info] has no drivername"},
        {Replace(kIni, "symbolfile=drv.h\r\n", ""), kSymbols, "drv.ini: [info] has no symbolfile"},
        {Replace(kIni, "[info]", "[info"), kSymbols, "drv.ini:2: a section header needs the form [name]"},
        {Replace(kIni, "009=English", "English"), kSymbols, "drv.ini:6: expected KEY=VALUE, found \"English\""},
        {Replace(kIni, "; a comment", "x=1"), kSymbols, "drv.ini:1: KEY=VALUE before the first [section]"},
        {Replace(kIni, "009=English\r\n", ""), kSymbols, "drv.ini: [languages] lists no language"},
        {Replace(kIni, "009=English", "9=English"), kSymbols,
         "drv.ini:6: \"9\" is not a language id of three hex digits (009)"},
        {Replace(kIni, "CTR_009_NAME", "CTR_007_NAME"), kSymbols,
         "drv.ini:10: CTR_007_NAME: language 007 is not in [languages]"},
        {Replace(kIni, "CTR_009_NAME", "CNT_009_NAME"), kSymbols,
         "drv.ini:10: CNT_009_NAME: CNT is not defined in drv.h"},
        {Replace(kIni, "CTR_009_NAME", "CTR_009_TITLE"), kSymbols,
         "drv.ini:10: \"CTR_009_TITLE\" is not SYMBOL_LANGUAGE_NAME or SYMBOL_LANGUAGE_HELP"},
        {Replace(kIni, "ctr_009_help", "CTR_009_NAME"), kSymbols,
         "drv.ini:11: CTR_009_NAME is given twice (first on line 10)"},
        {Replace(kIni, "ctr_009_help=What it counts\r\n", ""), kSymbols, "drv.ini: [text] has no CTR_009_HELP"},
        {Replace(kIni, "=The object", "="), kSymbols, "drv.ini:8: OBJ_009_NAME is empty"},
        {kIni, Replace(kSymbols, "0x2", "3"), "drv.h:4: CTR has the odd offset 3: offsets are even"},
        {kIni, Replace(kSymbols, "0x2", "0"), "drv.h:4: CTR has the offset 0 of OBJ"},
        {kIni, Replace(kSymbols, "0x2", "TWO"), "drv.h:4: CTR is not defined as a number: \"TWO\""},
        {kIni, Replace(kSymbols, "0x2", "20000"), "drv.h:4: CTR has the offset 20000, above the limit of 10000"},
        {kIni, Replace(kSymbols, "CTR 0x2", "OBJ 2"), "drv.h:4: OBJ is defined twice (first on line 3)"},
        {kIni, "// nothing\n", "drv.h: no \"#define SYMBOL OFFSET\" line"},
    };
    for (const auto& c : cases) {
        CounterTexts texts;
        std::string error;
        EXPECT_FALSE(ReadCounterTexts(c.ini, "drv.ini", c.symbols, "drv.h", &texts, &error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
