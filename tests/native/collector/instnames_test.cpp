// RefreshChlNames against the stand-in: names composed from the status records,
// cut to fit their slots, and kept when a query fails.
#include "chantable.h"
#include "perfobject.h"
#include "qm_collector_fixture.h"

namespace {

using InstanceNameTest = QmCollectorTest;

std::string Slot(int i) { return std::string(ChannelNames[i], sizeof ChannelNames[i]); }
std::string SlotText(int i) { return std::string(ChannelNames[i], strnlen(ChannelNames[i], sizeof ChannelNames[i])); }

// Writes `text` over the record of `channel` from `offset` (a multiple of 4), in
// one update; `text` is filled up to a multiple of 4 with the byte `fill`.
void PutRecordText(const char* qm, const char* channel, uint32_t offset, std::string text, char fill) {
    while (text.size() % 4) text.push_back(fill);
    std::vector<uint32_t> offsets, values;
    for (size_t i = 0; i < text.size(); i += 4) {
        offsets.push_back(offset + uint32_t(i));
        values.push_back(uint32_t(uint8_t(text[i])) | uint32_t(uint8_t(text[i + 1])) << 8 |
                         uint32_t(uint8_t(text[i + 2])) << 16 | uint32_t(uint8_t(text[i + 3])) << 24);
    }
    ASSERT_EQ(kxsimSetFields(qm, channel, offsets.data(), values.data(), unsigned(offsets.size()), -1), 0)
        << kxsimLastError();
}

TEST_F(InstanceNameTest, NamesAreTypeChannelAndConnection) {
    KXSIM_OK(kxsimCreateQm("QM1", 1));
    const struct {
        const char* channel;
        uint32_t type;
        const char* connection;
        const char* name;
    } cases[] = {
        {"ALPHA", 1, "BETA", "SDR:ALPHA:BETA"},   {"C2", 2, "h2(1414)", "SRVR:C2:h2(1414)"},
        {"C3", 3, "", "RCVR:C3:"},                {"C4", 4, "h4", "RQSTR:C4:h4"},
        {"C6", 6, "h6", "CLNT:C6:h6"},            {"C7", 7, "h7", "SRVR:C7:h7"},
        {"C0", 0, "h0", "????:C0:h0"},            {"C5", 5, "h5", "????:C5:h5"},
        {"TWENTY.CHARACTERS.XY", 1, "a b c", "SDR:TWENTY.CHARACTERS.XY:a b c"},
    };
    for (const auto& c : cases) KXSIM_OK(kxsimAddChannel("QM1", c.channel, c.type, c.connection));
    ASSERT_EQ(GetChlHdls(), 0u);
    ASSERT_EQ(nchans, int32_t(sizeof cases / sizeof cases[0]));
    RefreshChlNames();
    for (int i = 0; i < nchans; ++i) EXPECT_EQ(SlotText(i), cases[i].name) << i;
}

TEST_F(InstanceNameTest, ChannelTextEndsAtItsFirstBlank) {
    KXSIM_OK(kxsimCreateQm("QM1", 1));
    for (const char* ch : {"C1", "C2", "C3", "C4"}) KXSIM_OK(kxsimAddChannel("QM1", ch, 1, "BETA"));
    // Rewritten in the records: the channel texts at 1632, in 20 blank-padded bytes.
    PutRecordText("QM1", "C1", KXREC_CHANNEL_NAME, "AB CD", ' ');
    PutRecordText("QM1", "C2", KXREC_CHANNEL_NAME, " ALPHA", ' ');
    PutRecordText("QM1", "C3", KXREC_CHANNEL_NAME, std::string("XY\0Z", 4), ' ');
    PutRecordText("QM1", "C4", KXREC_CONNECTION_NAME, std::string("CONN\0TAIL", 9), '\0');
    ASSERT_EQ(GetChlHdls(), 0u);
    RefreshChlNames();
    EXPECT_EQ(SlotText(0), "SDR:AB:BETA");
    EXPECT_EQ(SlotText(1), "SDR::BETA") << "a text that starts with a blank is empty";
    EXPECT_EQ(SlotText(2), "SDR:XY:BETA") << "a text without a blank ends at its zero byte";
    EXPECT_EQ(SlotText(3), "SDR:C4:CONN");
}

TEST_F(InstanceNameTest, LongNamesAreCutAtSixtyThreeCharacters) {
    KXSIM_OK(kxsimCreateQm("QM1", 1));
    const std::string longConnection(264, 'c');
    KXSIM_OK(kxsimAddChannel("QM1", "LONG", 1, longConnection.c_str()));
    KXSIM_OK(kxsimAddChannel("QM1", "NOEND", 1, "x"));
    KXSIM_OK(kxsimAddChannel("QM1", "NOBLANK", 1, "x"));
    // No terminator after the connection text, right up to the channel text at 1632.
    PutRecordText("QM1", "NOEND", KXREC_CONNECTION_NAME, std::string(KXREC_CHANNEL_NAME - KXREC_CONNECTION_NAME, 'e'),
                  'e');
    // Neither blank nor zero byte from 1632 to the record's own checksum.
    PutRecordText("QM1", "NOBLANK", KXREC_CHANNEL_NAME, std::string(KXSIM_REC_CHECKSUM - KXREC_CHANNEL_NAME, 'b'),
                  'b');
    ASSERT_EQ(GetChlHdls(), 0u);
    ASSERT_EQ(nchans, 3);
    std::memset(ChannelNames, 'Z', sizeof ChannelNames);
    RefreshChlNames();

    EXPECT_EQ(Slot(0), "SDR:LONG:" + std::string(54, 'c') + std::string(1, '\0'));
    EXPECT_EQ(SlotText(1), "SDR:NOEND:" + std::string(53, 'e'));
    EXPECT_EQ(SlotText(2), "SDR:" + std::string(59, 'b'));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ChannelNames[i][63], '\0') << i;
    EXPECT_EQ(Slot(3), std::string(64, 'Z')) << "nothing is written past the slots in use";
}

TEST_F(InstanceNameTest, FailingQueryKeepsTheOldName) {
    KXSIM_OK(kxsimCreateQm("QM1", 1));
    for (int i = 1; i <= 3; ++i) KXSIM_OK(kxsimAddChannel("QM1", ChannelName(i).c_str(), 1, HostName(i).c_str()));
    ASSERT_EQ(GetChlHdls(), 0u);
    const std::string old = std::string("SDR:OLD:name\0", 13) + std::string(20, 'Z');
    for (int i = 0; i < 3; ++i) std::memcpy(ChannelNames[i], old.data(), old.size());

    // The second channel's handle has changed: its slot stays, the others refresh.
    const uint32_t before = stats[1];
    KXSIM_OK(kxsimRestart("QM1", "CH02"));
    RefreshChlNames();
    EXPECT_EQ(SlotText(0), "SDR:CH01:host01");
    EXPECT_EQ(Slot(1).substr(0, old.size()), old);
    EXPECT_EQ(SlotText(2), "SDR:CH03:host03");
    EXPECT_EQ(Slot(0).substr(15, 18), std::string(1, '\0') + std::string(17, 'Z')) << "bytes after the new name stay";
    EXPECT_EQ(stats[1], before) << "the handle is not renewed here";
    EXPECT_NE(HandleOf("QM1", "CH02"), before);

    // Any other failing query: every slot stays.
    std::memcpy(ChannelNames[0], old.data(), old.size());
    KXSIM_OK(kxsimFail("query", RRX_BUSY, 0));
    RefreshChlNames();
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Slot(i).substr(0, old.size()), old) << i;
    EXPECT_EQ(SlotText(2), "SDR:CH03:host03");
    EXPECT_TRUE(win32double::EventReports().empty()) << "nothing is reported";
}

}  // namespace
