// The performance object's layout, read back by byte offset from the start of
// the object, and the trace of its build.
#include "collector_fixture.h"
#include "perfobject.h"

namespace {

using PerfObjectTest = CollectorTest;

uint16_t Unit(size_t offset) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&PerfObject) + offset;
    return uint16_t(p[0] | p[1] << 8);
}

void SetSlot(int i, const std::string& text) {
    ASSERT_LT(text.size(), sizeof ChannelNames[i]);
    std::memcpy(ChannelNames[i], text.c_str(), text.size() + 1);
}

// The UTF-16 units of the name area of instance `i`.
std::u16string NameArea(int i) {
    std::u16string units;
    for (size_t k = 0; k < 32; ++k) units.push_back(char16_t(Unit(664 + 152 * i + 24 + 2 * k)));
    return units;
}

std::u16string Padded(const std::u16string& text) { return text + std::u16string(32 - text.size(), u'\0'); }

TEST_F(PerfObjectTest, LayoutForNoneOneAndTwentyInstances) {
    for (int n : {0, 1, 20}) {
        SCOPED_TRACE("instances: " + std::to_string(n));
        ResetCollectorState();
        nchans = n;
        BuildPerfObject(700, 701);
        ASSERT_EQ(pPerfObj, pPerfObject);
        EXPECT_EQ(static_cast<const void*>(pPerfObj), static_cast<const void*>(&PerfObject));

        const uint32_t total = 664 + 152 * uint32_t(n);
        const uint32_t header[] = {total, 664, 64, 700, 0, 701, 0, 100, 15, 0, uint32_t(n), 0, 0, 0, 0, 0};
        for (size_t f = 0; f < 16; ++f) EXPECT_EQ(ObjectWord(4 * f), header[f]) << "header offset " << 4 * f;

        for (uint32_t k = 0; k < 15; ++k) {
            const size_t at = 64 + 40 * k;
            const uint32_t type = k < 12 ? 0x00010000u : 0x10410400u;
            const uint32_t def[] = {40, 700 + 2 * (k + 1), 0, 701 + 2 * (k + 1), 0, 0, 100, type, 4, 4 + 4 * k};
            for (size_t f = 0; f < 10; ++f)
                EXPECT_EQ(ObjectWord(at + 4 * f), def[f]) << "counter " << k << " offset " << 4 * f;
        }
        for (int i = 0; i < n; ++i) {
            const size_t at = 664 + 152 * size_t(i);
            const uint32_t def[] = {88, 0, 0, 0xFFFFFFFFu, 24, 64};
            for (size_t f = 0; f < 6; ++f)
                EXPECT_EQ(ObjectWord(at + 4 * f), def[f]) << "instance " << i << " offset " << 4 * f;
            EXPECT_EQ(ObjectWord(at + 88), 64u) << "counter block of instance " << i;
        }
    }
    // The named edge cases: the counter indexes, and where the last instance lies.
    EXPECT_EQ(ObjectWord(64 + 4), 702u);
    EXPECT_EQ(ObjectWord(64 + 12), 703u);
    EXPECT_EQ(ObjectWord(624 + 4), 730u);
    EXPECT_EQ(ObjectWord(624 + 12), 731u);
    EXPECT_EQ(ObjectWord(3552), 88u);
    EXPECT_EQ(ObjectWord(3552 + 88), 64u);
    EXPECT_EQ(ObjectWord(0), 3704u);
}

TEST_F(PerfObjectTest, BuildLeavesCounterValuesAndWhatLiesBeyondTheObject) {
    std::memset(&PerfObject, 0xAB, sizeof PerfObject);
    nchans = 1;
    BuildPerfObject(700, 701);
    // The header is set afresh: what lay there before is gone.
    const uint32_t header[] = {816, 664, 64, 700, 0, 701, 0, 100, 15, 0, 1, 0, 0, 0, 0, 0};
    for (size_t f = 0; f < 16; ++f) EXPECT_EQ(ObjectWord(4 * f), header[f]) << "header offset " << 4 * f;
    EXPECT_EQ(ObjectWord(752), 64u) << "counter block of the one instance";
    for (size_t at = 756; at < 816; ++at) EXPECT_EQ(ObjectBytes()[at], 0xAB) << "counter value byte " << at;
    for (size_t at = 816; at < sizeof PerfObject; ++at) ASSERT_EQ(ObjectBytes()[at], 0xAB) << "byte " << at;

    // Values that a collect wrote survive a rebuild with the same indexes.
    PerfObject.Instances[0].Counters[0] = 11;
    PerfObject.Instances[0].Counters[14] = 1414;
    BuildPerfObject(700, 701);
    EXPECT_EQ(ObjectWord(756), 11u);
    EXPECT_EQ(ObjectWord(812), 1414u);
    EXPECT_EQ(ObjectWord(12), 700u);
    EXPECT_EQ(ObjectWord(20), 701u);

    // A rebuild with no instance: the object ends after the definitions.
    nchans = 0;
    BuildPerfObject(700, 701);
    EXPECT_EQ(ObjectWord(0), 664u);
    EXPECT_EQ(ObjectWord(4), 664u);
    EXPECT_EQ(ObjectWord(40), 0u);
}

TEST_F(PerfObjectTest, NameAreasHoldTheSlotsAsUtf16) {
    SetSlot(0, "SDR:ALPHA:BETA");
    // The placeholder written over the start of a slot that held a longer name.
    SetSlot(1, "RCVR:A.VERY.LONG.CHANNEL.NAME:host");
    std::memcpy(ChannelNames[1], "...no Channel Status", 21);
    SetSlot(2, std::string(63, 'N'));
    SetSlot(3, "SDR:CAF\xC9:X");
    // Slot 4 stays all zero: an empty name.
    nchans = 5;
    BuildPerfObject(700, 701);

    EXPECT_EQ(NameArea(0), Padded(u"SDR:ALPHA:BETA"));
    EXPECT_EQ(NameArea(1), Padded(u"...no Channel Status")) << "nothing after the terminator";
    EXPECT_EQ(NameArea(2), Padded(std::u16string(31, u'N'))) << "31 characters and the terminator";
    EXPECT_EQ(NameArea(3), Padded(u"SDR:CAF\u00C9:X"));
    EXPECT_EQ(NameArea(4), Padded(u""));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ObjectWord(664 + 152 * i + 20), 64u) << "NameLength " << i;
    EXPECT_EQ(std::string(ChannelNames[1], 21), std::string("...no Channel Status\0", 21));
    EXPECT_EQ(ChannelNames[1][21], 'N') << "the 8-bit slot keeps its old bytes";
}

// Trace lines with their addresses, and the number of dump rows between them.
TEST_F(PerfObjectTest, BuildTracesEveryStep) {
    StartTracing();
    nchans = 1;
    BuildPerfObject(700, 701);
    const std::vector<std::string> lines = SplitLines(TraceText());

    const unsigned char* base = ObjectBytes();
    std::vector<std::string> expected;
    auto dump = [&](int rows) {
        expected.push_back("");
        for (int r = 0; r < rows; ++r) expected.push_back("<row>");
    };
    expected.push_back("pPerfObj is " + Pointer(base));
    dump(4);
    expected.push_back("pPerfCounter start at " + Pointer(base + 64));
    for (int k = 0; k < 15; ++k) {
        expected.push_back("pPerfCounter is " + Pointer(base + 64 + 40 * k));
        dump(2);
    }
    expected.push_back("pPerfInstance start at " + Pointer(base + 664));
    expected.push_back("pPerfInstance is " + Pointer(base + 664));
    dump(6);
    expected.push_back("pCharPtr at end of object at " + Pointer(base + 816));
    expected.push_back("Total object size is 816");
    expected.push_back("Total def size is 664");
    dump(41);

    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        if (expected[i] == "<row>")
            EXPECT_NE(lines[i].find("  "), std::string::npos) << "line " << i << ": " << lines[i];
        else
            EXPECT_EQ(lines[i], expected[i]) << "line " << i;
    }
    // The header is dumped before its lengths are set.
    EXPECT_EQ(lines[2], " 0 0 0 0 0 0 0 040 0 0 0BC 2 0 0 0 0 0 0  @");
    EXPECT_EQ(lines[3], "BD 2 0 0 0 0 0 064 0 0 0 F 0 0 0 0 0 0 0  d");
    // The instance dump: its definition, name area and the first 16 bytes of the block.
    EXPECT_EQ(lines[2 + 4 + 1 + 15 * 4 + 2 + 1], "58 0 0 0 0 0 0 0 0 0 0 0FFFFFFFF18 0 0 0  X");
    EXPECT_EQ(pCharPtr, base + 816);
    EXPECT_EQ(static_cast<const void*>(pPerfCtrBlk), base + 752);
}

TEST_F(PerfObjectTest, TypeTexts) {
    const struct {
        uint32_t code;
        const char* text;
    } cases[] = {{0, "????"}, {1, "SDR"}, {2, "SRVR"}, {3, "RCVR"}, {4, "RQSTR"},
                 {5, "????"}, {6, "CLNT"}, {7, "SRVR"}, {8, "????"}, {0xFFFFFFFFu, "????"}};
    for (const auto& c : cases) EXPECT_STREQ(ChannelTypeText(c.code), c.text) << c.code;
}

}  // namespace
