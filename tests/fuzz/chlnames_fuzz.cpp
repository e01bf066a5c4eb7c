// RefreshChlNames on arbitrary status records: any type code, texts without
// terminators or blanks. Each slot whose query succeeds holds
// TYPE:CHANNEL:CONNECTION, cut to 63 characters and ended by a zero byte inside
// its 64 bytes, with the bytes after that zero as they were; a slot whose query
// fails is left alone; nothing outside the record is read.
//
// Input: byte 0 picks the number of channels (1 to 20); bytes 1 to 3 are a mask
// of the slots whose query fails; the rest are the records, 2040 bytes each,
// slot i taking record i.
#include <string>

#include "fuzz_support.h"
#include "perfobject.h"

namespace {

constexpr unsigned char kBefore = 0xEE;  // what every slot holds before the refresh

// The text at `offset` up to its zero byte, or its first blank when `toBlank`,
// or the end of the record.
std::string Text(const fuzz::Record& r, size_t offset, bool toBlank) {
    std::string t;
    for (size_t i = offset; i < r.size() && r[i] != 0 && !(toBlank && r[i] == ' '); ++i) t += char(r[i]);
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::WorkInScratchFolder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const int channels = 1 + data[0] % MAX_CHANNELS;
    const uint32_t failing = uint32_t(data[1]) | uint32_t(data[2]) << 8 | uint32_t(data[3]) << 16;
    fuzz::FreshCollector(false);
    fuzzkx::Reset(channels);
    std::vector<fuzz::Record> records;
    for (int i = 0; i < channels; ++i) records.push_back(fuzz::RecordAt(data, size, 4, size_t(i)));
    for (int i = 0; i < channels; ++i) {
        stats[i] = uint32_t(i + 1);
        fuzzkx::SetRecord(stats[i], records[size_t(i)].data());
        if (failing & (1u << i)) fuzzkx::FailQuery(stats[i], RRX_HANDLE_CHANGED);
    }
    nchans = channels;
    std::memset(ChannelNames, kBefore, sizeof ChannelNames);

    RefreshChlNames();

    FUZZ_CHECK(fuzzkx::Queries() == channels);
    for (int i = 0; i < MAX_CHANNELS; ++i) {
        const unsigned char* slot = reinterpret_cast<const unsigned char*>(ChannelNames[i]);
        size_t end = 0;
        if (i >= channels || (failing & (1u << i))) {
            for (size_t b = 0; b < NAME_SLOT_BYTES; ++b) FUZZ_CHECK(slot[b] == kBefore);
            continue;
        }
        const fuzz::Record& r = records[size_t(i)];
        std::string expected = std::string(ChannelTypeText(fuzz::Word(r.data(), KXREC_CHANNEL_TYPE))) + ":" +
                               Text(r, KXREC_CHANNEL_NAME, true) + ":" + Text(r, KXREC_CONNECTION_NAME, false);
        expected.resize(expected.size() < NAME_SLOT_BYTES - 1 ? expected.size() : NAME_SLOT_BYTES - 1);
        while (end < NAME_SLOT_BYTES && slot[end] != 0) ++end;
        FUZZ_CHECK(end < NAME_SLOT_BYTES);
        FUZZ_CHECK(std::string(reinterpret_cast<const char*>(slot), end) == expected);
        for (size_t b = end + 1; b < NAME_SLOT_BYTES; ++b) FUZZ_CHECK(slot[b] == kBefore);
    }
    return 0;
}
