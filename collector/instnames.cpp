#include <cstring>

#include "kxapi.h"
#include "perfobject.h"
#include "state.h"

#define NAME_MAX_CHARS (NAME_SLOT_BYTES - 1)

namespace {

uint32_t RecordWord(const unsigned char* record, unsigned offset) {
    const unsigned char* p = record + offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Appends to `slot` (holding *used characters) the bytes of `text` up to its zero
// byte, or its first blank when `stopAtBlank`, reading no more than `available`
// bytes and no more than the slot can take.
void Append(char* slot, unsigned* used, const char* text, unsigned available, bool stopAtBlank) {
    for (unsigned i = 0; i < available && *used < NAME_MAX_CHARS; ++i) {
        char c = text[i];
        if (c == '\0' || (stopAtBlank && c == ' ')) break;
        slot[(*used)++] = c;
    }
}

}  // namespace

const char* ChannelTypeText(uint32_t code) {
    switch (code) {
    case 1: return "SDR";
    case 2: return "SRVR";
    case 3: return "RCVR";
    case 4: return "RQSTR";
    case 6: return "CLNT";
    case 7: return "SRVR";
    default: return "????";
    }
}

void RefreshChlNames() {
    unsigned char record[KX_STATUS_RECORD_BYTES];
    for (int32_t i = 0; i < nchans && i < MAX_CHANNELS; ++i) {
        if (rrxQueryStatusEntry(stats[i], record, Work) != 0) continue;
        const char* type = ChannelTypeText(RecordWord(record, KXREC_CHANNEL_TYPE));
        const char* channel = reinterpret_cast<const char*>(record + KXREC_CHANNEL_NAME);
        const char* connection = reinterpret_cast<const char*>(record + KXREC_CONNECTION_NAME);

        char* slot = ChannelNames[i];
        unsigned used = 0;
        Append(slot, &used, type, unsigned(std::strlen(type)), false);
        Append(slot, &used, ":", 1, false);
        Append(slot, &used, channel, KX_STATUS_RECORD_BYTES - KXREC_CHANNEL_NAME, true);
        Append(slot, &used, ":", 1, false);
        Append(slot, &used, connection, KX_STATUS_RECORD_BYTES - KXREC_CONNECTION_NAME, false);
        slot[used] = '\0';
    }
}
