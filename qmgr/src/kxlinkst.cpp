// kxlinkst: the channel-status table, read through the status work area's connection.
#define KX_BUILDING_KXLINKST
#include <string.h>

#include "kxstore.h"

namespace {

// What every operation starts with: the settings, an injected fault, and the
// status table of the queue manager that the work area is connected to.
struct Call {
    kx::Settings settings;
    kx::Table table;
    uint32_t qmId = 0;

    uint32_t Begin(kx::Op op, const void* work) {
        if (kx::LoadSettings(settings)) return RRX_NO_TABLE;
        if (uint32_t fault = kx::InjectedFault(settings, op)) return fault;
        const unsigned char* w = static_cast<const unsigned char*>(work);
        if (!w || memcmp(w, "RWRK", 4) != 0) return RRX_NOT_CONNECTED;
        uint32_t connection = kx::Get32(w, 900);
        qmId = connection & 0xFFFF;
        if ((connection & 0xFFFF0000u) != kx::kConnectionTag || !settings.FindId(qmId)) return RRX_NOT_CONNECTED;
        if (!table.Open(settings.prefix, qmId)) return RRX_NO_TABLE;
        if (table.Stopped()) return RRX_QM_STOPPED;
        return KX_OK;
    }

    // The slot of a handle of this queue manager that was given out, or an error.
    uint32_t Slot(uint32_t handle, uint32_t* slot, uint32_t* generation) {
        uint32_t id;
        kx::SplitHandle(handle, &id, slot, generation);
        if (id != qmId || *slot >= table.Used() || *generation == 0) return RRX_NOT_FOUND;
        return KX_OK;
    }
};

}  // namespace

extern "C" {

KXLINKST_API uint32_t KXENTRY rrxGetNextStatusEntry(uint32_t* cursor, void* record, void* work) {
    Call c;
    if (uint32_t rc = c.Begin(kx::kNext, work)) return rc;
    if (!cursor || !record) return RRX_BAD_ARGUMENTS;
    uint32_t slot = 0, generation;
    if (*cursor != 0) {
        if (uint32_t rc = c.Slot(*cursor, &slot, &generation)) return rc;
        ++slot;
    }
    for (uint32_t used = c.table.Used(); slot < used; ++slot) {
        kx::Snapshot snap;
        if (!kx::ReadEntry(c.table.entry(slot), &snap)) return RRX_BUSY;
        if (snap.state != kx::kLive) continue;
        memcpy(record, snap.record, KX_STATUS_RECORD_BYTES);
        *cursor = kx::MakeHandle(c.qmId, slot, snap.generation);
        return KX_OK;
    }
    return RRX_NO_MORE_ENTRIES;
}

KXLINKST_API uint32_t KXENTRY rrxQueryStatusEntry(uint32_t handle, void* record, void* work) {
    Call c;
    if (uint32_t rc = c.Begin(kx::kQuery, work)) return rc;
    if (!record) return RRX_BAD_ARGUMENTS;
    uint32_t slot, generation;
    if (uint32_t rc = c.Slot(handle, &slot, &generation)) return rc;
    kx::Snapshot snap;
    if (!kx::ReadEntry(c.table.entry(slot), &snap)) return RRX_BUSY;
    if (snap.state != kx::kLive) return RRX_NOT_FOUND;
    if (snap.generation != generation) return RRX_HANDLE_CHANGED;
    memcpy(record, snap.record, KX_STATUS_RECORD_BYTES);
    return KX_OK;
}

KXLINKST_API uint32_t KXENTRY rrxAccessStatusEntry(const char* nameSlot, uint32_t* handle, void* work) {
    Call c;
    if (uint32_t rc = c.Begin(kx::kAccess, work)) return rc;
    if (!nameSlot || !handle) return RRX_BAD_ARGUMENTS;
    size_t length = strnlen(nameSlot, KX_NAME_SLOT_BYTES);
    const char* first = static_cast<const char*>(memchr(nameSlot, ':', length));
    const char* second =
        first ? static_cast<const char*>(memchr(first + 1, ':', size_t(nameSlot + length - first - 1))) : nullptr;
    if (!second) return RRX_NOT_FOUND;
    for (uint32_t slot = 0, used = c.table.Used(); slot < used; ++slot) {
        kx::Snapshot snap;
        if (!kx::ReadEntry(c.table.entry(slot), &snap)) return RRX_BUSY;
        if (snap.state == kx::kLive && kx::HasChannelName(snap.record, first + 1, size_t(second - first - 1))) {
            *handle = kx::MakeHandle(c.qmId, slot, snap.generation);
            return KX_OK;
        }
    }
    return RRX_NOT_FOUND;
}

KXLINKST_API uint32_t KXENTRY rrxReleaseStatusEntry(uint32_t handle, void* work) {
    Call c;
    if (uint32_t rc = c.Begin(kx::kRelease, work)) return rc;
    uint32_t slot, generation;
    if (uint32_t rc = c.Slot(handle, &slot, &generation)) return rc;
    __atomic_add_fetch(&c.table.entry(slot)->releases, 1, __ATOMIC_RELAXED);
    return KX_OK;
}
}
