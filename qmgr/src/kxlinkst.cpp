// kxlinkst: the channel-status table, read through the status work area's connection.
#define KX_BUILDING_KXLINKST
#include <string.h>

#include "kxstore.h"

#ifdef __GLIBC__
extern char** environ;
#endif

namespace {

// Whether KXQM_INI can have changed since the last look, without a search of the
// environment on every call. glibc changes the environment only by storing into
// the array that `environ` points to (a new entry for a variable that is set
// again, the entries after a removed one moved down, a new one at the end) or by
// pointing `environ` at another array; so while the array and the entry that
// held KXQM_INI (or the end of the array, when it was not set) are as they were,
// so is the settings path. Elsewhere the environment is searched every time.
class SettingsPathWatch {
public:
    // True when the settings path is the one of the last call to Path.
    bool Unchanged() const {
#ifdef __GLIBC__
        char** env = environ;
        return path_ != nullptr && env != nullptr && env == env_ && env[index_] == entry_;
#else
        return false;
#endif
    }

    // The settings path in force; *same when it is the one of the last call.
    const char* Path(bool* same) {
#ifdef __GLIBC__
        *same = Unchanged();
        if (*same) return path_;
        char** env = environ;
        path_ = kx::SettingsPath();
        env_ = env;
        size_t i = 0;
        while (env != nullptr && env[i] != nullptr && strncmp(env[i], "KXQM_INI=", 9) != 0) ++i;
        index_ = i;
        entry_ = env != nullptr ? env[i] : nullptr;
        return path_;
#else
        *same = false;
        return kx::SettingsPath();
#endif
    }

private:
    const char* path_ = nullptr;
#ifdef __GLIBC__
    char** env_ = nullptr;
    size_t index_ = 0;
    const char* entry_ = nullptr;
#endif
};

// What the rrx operations read before their work: the settings, the faults and
// the mapped status tables. They keep them for the next call, as long as the
// settings path is the same and the data prefix's change counter has not moved
// since they were read (every kxsim change of the settings or the faults raises
// it), so that a status query costs no file access. The status tables themselves
// are always read live through their mappings. Without a change counter (a data
// prefix that no writer has touched since it had one) every call reads afresh.
// What is kept belongs to the first thread that calls; other threads read
// afresh, so that no call pays for a lock.
class Readers {
public:
    // True when the calling thread may use the kept settings and faults as they
    // are: it is the owner, and nothing has moved since the last call. This is
    // what nearly every call finds. Only the owner reads further than `owner_`.
    bool Quick() const {
        return __atomic_load_n(&owner_, __ATOMIC_RELAXED) == kx::CurrentThreadId() && fresh_ &&
               watch_.Unchanged() && counter_.Load() == seen_;
    }
    const kx::Settings& KeptSettings() const { return settings_; }
    const kx::Faults& KeptFaults() const { return faults_; }

    // The settings and faults in force, or null when the settings cannot be read:
    // claims what is kept for the first thread that calls, and reads the settings
    // and faults again when the settings path or the change counter has moved.
    // They are the kept ones when *kept comes back true; else they were read into
    // `settings` and `faults`.
    const kx::Settings* Current(kx::Settings& settings, kx::Faults& faults, const kx::Faults** inForce,
                                bool* kept) {
        *kept = false;
        if (!Owned()) return Uncached(settings, faults, inForce);
        bool samePath = false;
        const char* path = watch_.Path(&samePath);
        if (!fresh_ || (!samePath && strcmp(path, settings_.path) != 0) || counter_.Load() != seen_) Reload();
        if (!fresh_) return Uncached(settings, faults, inForce);
        *kept = true;
        *inForce = &faults_;
        return &settings_;
    }

    // The kept table of queue manager `qmId` when it is mapped already, else null.
    // A table is mapped only for a queue manager of the kept settings, and is
    // forgotten with them.
    kx::Table* MappedTable(uint32_t qmId) {
        return qmId <= kx::kMaxQmId && tables_[qmId].IsOpen() ? &tables_[qmId] : nullptr;
    }

    // The kept table of queue manager `qmId` (mapped on first use), or null. Only
    // for a caller that got the kept settings.
    kx::Table* Table(uint32_t qmId) {
        if (qmId > kx::kMaxQmId) return nullptr;
        kx::Table& t = tables_[qmId];
        if (!t.IsOpen() && !t.Open(settings_.prefix, qmId)) return nullptr;
        return &t;
    }

private:
    bool Owned() {
        const uintptr_t self = kx::CurrentThreadId();
        uintptr_t owner = __atomic_load_n(&owner_, __ATOMIC_ACQUIRE);
        // The first call claims it; a thread that loses that race finds the winner in `owner`.
        if (owner == 0 &&
            __atomic_compare_exchange_n(&owner_, &owner, self, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
            return true;
        return owner == self;
    }

    static const kx::Settings* Uncached(kx::Settings& settings, kx::Faults& faults, const kx::Faults** inForce) {
        if (kx::LoadSettings(settings)) return nullptr;
        kx::LoadFaults(settings.prefix, faults);
        *inForce = &faults;
        return &settings;
    }

    // Forgets everything, then reads the settings and the faults under one value
    // of the change counter: the counter first, the files after it.
    void Reload() {
        fresh_ = false;
        counter_.Close();
        for (kx::Table& t : tables_) t.Close();
        if (kx::LoadSettings(settings_) || !counter_.Open(settings_.prefix)) return;
        seen_ = counter_.Load();
        if (kx::LoadSettings(settings_)) return;
        kx::LoadFaults(settings_.prefix, faults_);
        fresh_ = true;
    }

    uintptr_t owner_ = 0;  // the thread that uses what is kept
    bool fresh_ = false;
    uint32_t seen_ = 0;
    SettingsPathWatch watch_;
    kx::ChangeCounter counter_;
    kx::Settings settings_ = {};
    kx::Faults faults_;
    kx::Table tables_[kx::kMaxQmId + 1];
};

Readers g_readers;

// What an operation works with: the settings and faults in force, and the status
// table of the queue manager that the work area is connected to.
struct Call {
    const kx::Settings* settings = nullptr;
    const kx::Faults* faults = nullptr;
    kx::Table* table = nullptr;
    uint32_t qmId = 0;

    // What every operation starts with: an injected fault, the connection of the
    // work area, and the table, the kept one or, when `own` is not null, one
    // mapped into it for this call.
    uint32_t Connect(kx::Op op, const void* work, kx::Table* own) {
        if (uint32_t fault = faults->code[op]) return fault;
        const unsigned char* w = static_cast<const unsigned char*>(work);
        if (!w || memcmp(w, "RWRK", 4) != 0) return RRX_NOT_CONNECTED;
        uint32_t connection = kx::Get32(w, 900);
        qmId = connection & 0xFFFF;
        if ((connection & 0xFFFF0000u) != kx::kConnectionTag) return RRX_NOT_CONNECTED;
        table = own ? nullptr : g_readers.MappedTable(qmId);
        if (!table) {
            if (!settings->FindId(qmId)) return RRX_NOT_CONNECTED;
            table = own ? nullptr : g_readers.Table(qmId);
            if (!table) {
                if (!own || !own->Open(settings->prefix, qmId)) return RRX_NO_TABLE;
                table = own;
            }
        }
        if (table->Stopped()) return RRX_QM_STOPPED;
        return KX_OK;
    }

    // The slot of a handle of this queue manager that was given out, or an error.
    uint32_t Slot(uint32_t handle, uint32_t* slot, uint32_t* generation) {
        uint32_t id;
        kx::SplitHandle(handle, &id, slot, generation);
        if (id != qmId || *slot >= table->Used() || *generation == 0) return RRX_NOT_FOUND;
        return KX_OK;
    }
};

// Settings, faults and a table read for one call, when the kept ones cannot be
// used.
struct Afresh {
    kx::Settings settings;
    kx::Faults faults;
    kx::Table table;
};

// Runs `operation` on the call of `op` with `work`, unless the call's start
// fails. The kept settings serve when they can, without a frame for what would
// be read afresh; the rest goes through CallAfresh.
template <typename Operation>
__attribute__((noinline)) uint32_t CallAfresh(kx::Op op, const void* work, Operation operation) {
    Afresh afresh;
    Call c;
    bool kept = false;
    c.settings = g_readers.Current(afresh.settings, afresh.faults, &c.faults, &kept);
    if (!c.settings) return RRX_NO_TABLE;
    if (uint32_t rc = c.Connect(op, work, kept ? nullptr : &afresh.table)) return rc;
    return operation(c);
}

template <typename Operation>
uint32_t Run(kx::Op op, const void* work, Operation operation) {
    if (!g_readers.Quick()) return CallAfresh(op, work, operation);
    Call c;
    c.settings = &g_readers.KeptSettings();
    c.faults = &g_readers.KeptFaults();
    if (uint32_t rc = c.Connect(op, work, nullptr)) return rc;
    return operation(c);
}

// What a handle of `generation` stands for, on an entry found in `state` with
// generation `current`: the channel itself, a channel restarted since, or none.
uint32_t HandleResult(uint32_t state, uint32_t current, uint32_t generation) {
    if (state != kx::kLive) return RRX_NOT_FOUND;
    if (current != generation) return RRX_HANDLE_CHANGED;
    return KX_OK;
}

}  // namespace

extern "C" {

KXLINKST_API uint32_t KXENTRY rrxGetNextStatusEntry(uint32_t* cursor, void* record, void* work) {
    return Run(kx::kNext, work, [&](Call& c) -> uint32_t {
        if (!cursor || !record) return RRX_BAD_ARGUMENTS;
        uint32_t slot = 0, generation;
        if (*cursor != 0) {
            if (uint32_t rc = c.Slot(*cursor, &slot, &generation)) return rc;
            ++slot;
        }
        for (uint32_t used = c.table->Used(); slot < used; ++slot) {
            kx::Snapshot snap;
            if (!kx::ReadEntry(c.table->entry(slot), &snap)) return RRX_BUSY;
            if (snap.state != kx::kLive) continue;
            memcpy(record, snap.record, KX_STATUS_RECORD_BYTES);
            *cursor = kx::MakeHandle(c.qmId, slot, snap.generation);
            return KX_OK;
        }
        return RRX_NO_MORE_ENTRIES;
    });
}

KXLINKST_API uint32_t KXENTRY rrxQueryStatusEntry(uint32_t handle, void* record, void* work) {
    return Run(kx::kQuery, work, [&](Call& c) -> uint32_t {
        if (!record) return RRX_BAD_ARGUMENTS;
        uint32_t slot, generation;
        if (uint32_t rc = c.Slot(handle, &slot, &generation)) return rc;
        uint32_t state, current;
        if (!kx::ReadLiveRecord(c.table->entry(slot), generation, &state, &current,
                                static_cast<unsigned char*>(record)))
            return RRX_BUSY;
        return HandleResult(state, current, generation);
    });
}

KXLINKST_API uint32_t KXENTRY rrxAccessStatusEntry(const char* nameSlot, uint32_t* handle, void* work) {
    return Run(kx::kAccess, work, [&](Call& c) -> uint32_t {
        if (!nameSlot || !handle) return RRX_BAD_ARGUMENTS;
        size_t length = strnlen(nameSlot, KX_NAME_SLOT_BYTES);
        const char* first = static_cast<const char*>(memchr(nameSlot, ':', length));
        const char* second =
            first ? static_cast<const char*>(memchr(first + 1, ':', size_t(nameSlot + length - first - 1))) : nullptr;
        if (!second) return RRX_NOT_FOUND;
        for (uint32_t slot = 0, used = c.table->Used(); slot < used; ++slot) {
            kx::Snapshot snap;
            if (!kx::ReadEntry(c.table->entry(slot), &snap)) return RRX_BUSY;
            if (snap.state == kx::kLive && kx::HasChannelName(snap.record, first + 1, size_t(second - first - 1))) {
                *handle = kx::MakeHandle(c.qmId, slot, snap.generation);
                return KX_OK;
            }
        }
        return RRX_NOT_FOUND;
    });
}

KXLINKST_API uint32_t KXENTRY rrxReleaseStatusEntry(uint32_t handle, void* work) {
    return Run(kx::kRelease, work, [&](Call& c) -> uint32_t {
        uint32_t slot, generation;
        if (uint32_t rc = c.Slot(handle, &slot, &generation)) return rc;
        // Only the channel's current handle is released (and counted).
        kx::Entry* e = c.table->entry(slot);
        uint32_t state, current;
        if (!kx::ReadState(e, &state, &current)) return RRX_BUSY;
        if (uint32_t rc = HandleResult(state, current, generation)) return rc;
        __atomic_add_fetch(&e->releases, 1, __ATOMIC_RELAXED);
        return KX_OK;
    });
}
}
