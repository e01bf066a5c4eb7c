// The Counter and Help lists: REG_MULTI_SZ of index and text, in UTF-16LE.
#include <gtest/gtest.h>

#include "textlist.h"

namespace {

std::vector<uint8_t> Wide(const std::u16string& units) {
    std::vector<uint8_t> b;
    for (char16_t c : units) {
        b.push_back(uint8_t(c));
        b.push_back(uint8_t(c >> 8));
    }
    return b;
}

TEST(TextList, ReadsAndWritesTheRegistryForm) {
    const std::u16string wire(u"1\0" u"1847\0" u"1846\0" u"End Marker\0" u"\0", 24);
    TextList list;
    std::string error;
    std::vector<uint8_t> bytes = Wide(wire);
    ASSERT_TRUE(ParseTextList(bytes.data(), bytes.size(), &list, &error)) << error;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].index, 1u);
    EXPECT_EQ(Utf8(list[0].text), "1847");
    EXPECT_EQ(list[1].index, 1846u);
    EXPECT_EQ(Utf8(list[1].text), "End Marker");
    EXPECT_EQ(TextListBytes(list), bytes);
    EXPECT_EQ(HighestIndex(list), 1846u);
}

TEST(TextList, EmptyForms) {
    for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>{0, 0},
                                              std::vector<uint8_t>{0, 0, 0, 0}}) {
        TextList list{{5, u"x"}};
        std::string error;
        EXPECT_TRUE(ParseTextList(bytes.data(), bytes.size(), &list, &error));
        EXPECT_TRUE(list.empty());
    }
    EXPECT_EQ(TextListBytes({}), (std::vector<uint8_t>{0, 0}));
    EXPECT_EQ(HighestIndex({}), 0u);
}

TEST(TextList, ToleratesAMissingEnd) {
    std::vector<uint8_t> bytes = Wide(std::u16string(u"2\0Two", 5));  // neither zero of the end
    TextList list;
    std::string error;
    ASSERT_TRUE(ParseTextList(bytes.data(), bytes.size(), &list, &error)) << error;
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(Utf8(list[0].text), "Two");
}

TEST(TextList, RefusesWhatIsNotPairsOfIndexAndText) {
    const struct {
        std::u16string wire;
        const char* error;
    } cases[] = {
        {std::u16string(u"2\0Two\0" u"4\0\0", 9), "entry 2 has an index and no text"},
        {std::u16string(u"two\0Two\0\0", 9), "entry 1 does not start with a decimal index: \"two\""},
        {std::u16string(u"2\0Two\0" u"-4\0Four\0\0", 15), "entry 2 does not start with a decimal index: \"-4\""},
        {std::u16string(u"4294967296\0Big\0\0", 16), "entry 1 does not start with a decimal index: \"4294967296\""},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = Wide(c.wire);
        TextList list;
        std::string error;
        EXPECT_FALSE(ParseTextList(bytes.data(), bytes.size(), &list, &error)) << c.error;
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(list.empty());
    }
}

TEST(TextList, PutReplacesInPlaceOrAppends) {
    TextList list{{2, u"a"}, {4, u"b"}, {6, u"c"}};
    PutText(&list, 4, u"B");
    PutText(&list, 3, u"new");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[1].index, 4u);
    EXPECT_EQ(list[1].text, u"B");
    EXPECT_EQ(list[3].index, 3u);
    EXPECT_EQ(TextAt(list, 3) ? *TextAt(list, 3) : u"", u"new");
    EXPECT_EQ(TextAt(list, 5), nullptr);
}

TEST(TextList, RemovesARange) {
    TextList list{{2, u"a"}, {4, u"b"}, {6, u"c"}, {8, u"d"}};
    EXPECT_EQ(RemoveTexts(&list, 4, 6), 2u);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].index, 2u);
    EXPECT_EQ(list[1].index, 8u);
    EXPECT_EQ(RemoveTexts(&list, 9, 100), 0u);
}

TEST(TextList, Conversions) {
    EXPECT_EQ(WidenLatin1("A\xE9"), u"A\u00E9");
    EXPECT_EQ(Utf8(u"A\u00E9\u20AC"), "A\xC3\xA9\xE2\x82\xAC");
}

}  // namespace
