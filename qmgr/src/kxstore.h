// Internal to the stand-in queue manager: what the four libraries and kxsim share.
// State lives in files (qmgr/README.md): the settings file, and under its data
// prefix one status table per queue manager (memory-mapped by every process), the
// faults file and the writers' lock file.
#ifndef KXSTORE_H
#define KXSTORE_H

#include <stdint.h>
#include <string.h>
#ifndef _WIN32
#include <pthread.h>
#endif

#include <string>
#include <vector>

#include "kxapi.h"

namespace kx {

constexpr uint32_t kCapacity = 256;          // entries per status table, removed ones included
constexpr uint32_t kConnectionTag = 0x4B580000u;  // connection handle = tag | queue manager id
constexpr uint32_t kMaxQmId = 255;
constexpr uint32_t kMaxGeneration = 0xFFF;
constexpr uint32_t kUpdatesOffset = 0;       // = KXSIM_REC_UPDATES
constexpr uint32_t kChecksumOffset = 2036;   // = KXSIM_REC_CHECKSUM
constexpr size_t kMaxQmName = KX_QM_NAME_LENGTH;
constexpr size_t kMaxChannelName = KXREC_CHANNEL_NAME_LENGTH;
constexpr size_t kMaxConnectionName = 264;

// ---- settings -----------------------------------------------------------------
// The libraries' read path allocates nothing (the collector's Collect must not):
// fixed buffers here, strings only on the writers' side (kxsim).

constexpr size_t kMaxPath = 260;
constexpr size_t kMaxQms = 64;
constexpr size_t kMaxSettingsBytes = 16384;

struct Qm {
    char name[kMaxQmName + 1];
    uint32_t id;
};

struct Settings {
    char path[kMaxPath];
    char prefix[kMaxPath];
    char defaultQm[kMaxQmName + 1];
    Qm qms[kMaxQms];
    uint32_t count;
    char error[kMaxPath + 128];  // why LoadSettings failed
    const Qm* Find(const char* name, size_t length) const;
    const Qm* Find(const char* name) const { return Find(name, strlen(name)); }
    const Qm* FindId(uint32_t id) const {
        for (uint32_t i = 0; i < count; ++i)
            if (qms[i].id == id) return &qms[i];
        return nullptr;
    }
};

const char* DefaultSettingsPath();
const char* SettingsPath();  // KXQM_INI, or the default
// 0, or KX_RC_NO_SETTINGS with the reason in s.error.
uint32_t LoadSettings(Settings& s);
bool SaveSettings(const Settings& s, std::string* why);
std::string FormatSettings(const Settings& s);

bool ValidName(const char* name, size_t length, size_t maxLength);  // 1..max of A-Z a-z 0-9 . / _ %
inline bool ValidName(const char* name, size_t maxLength) { return ValidName(name, strlen(name), maxLength); }

// ---- faults -------------------------------------------------------------------

enum Op { kDetails, kInitialize, kConnect, kNext, kQuery, kAccess, kRelease, kOpCount };
extern const char* const kOpNames[kOpCount];
int OpByName(const char* name);  // -1 when unknown

struct Faults {
    uint32_t code[kOpCount] = {};
    uint32_t connectReason = 0;
};
void LoadFaults(const char* prefix, Faults& f);  // no file: no fault
bool SaveFaults(const char* prefix, const Faults& f, std::string* why);
uint32_t InjectedFault(const Settings& s, Op op, uint32_t* reason = nullptr);

// ---- files --------------------------------------------------------------------

std::string Join(const std::string& dir, const std::string& name);
std::string ParentDir(const std::string& path);
bool IsDir(const char* path);
bool MakeDirs(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string& data);
// Reads a file of at most cap - 1 bytes into buf, zero-terminated; allocates nothing.
bool ReadSmallFile(const char* path, char* buf, size_t cap, size_t* length);
// Writes a temporary file beside `path` and renames it over `path`.
bool WriteFileAtomic(const std::string& path, const std::string& data, std::string* why);
std::string LastSystemError();
#ifdef _WIN32
uintptr_t CurrentThreadId();  // never 0
#else
inline uintptr_t CurrentThreadId() { return uintptr_t(pthread_self()); }  // never 0
#endif

// ---- status table -------------------------------------------------------------

struct TableHeader {
    char magic[8];  // "KXQMTAB1"
    uint32_t qmId;
    uint32_t capacity;
    uint32_t used;     // entries ever added; written with release order after the entry
    uint32_t stopped;  // 1 while the queue manager is stopped
    uint32_t reserved[10];
};

enum EntryState : uint32_t { kUnused = 0, kLive = 1, kRemoved = 2 };

struct Entry {
    uint32_t seq;       // even: stable; odd: a writer is in the middle of an update
    uint32_t releases;  // rrxReleaseStatusEntry calls on this entry
    uint32_t state;     // from here on, the part that the sequence counter guards
    uint32_t generation;
    unsigned char record[KX_STATUS_RECORD_BYTES];
};

struct Snapshot {
    uint32_t state;
    uint32_t generation;
    unsigned char record[KX_STATUS_RECORD_BYTES];
};

static_assert(sizeof(TableHeader) == 64, "table header layout");
static_assert(sizeof(Entry) == 16 + KX_STATUS_RECORD_BYTES, "entry layout");
static_assert(sizeof(Snapshot) == 8 + KX_STATUS_RECORD_BYTES, "snapshot layout");
constexpr size_t kTableBytes = sizeof(TableHeader) + kCapacity * sizeof(Entry);

std::string TablePath(const char* prefix, uint32_t qmId);
bool CreateTableFile(const char* prefix, uint32_t qmId, std::string* why);

// A file of a fixed size mapped read-write and shared with every process.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() {
        if (base_) Close();
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    // False when the file is missing or not exactly `size` bytes long.
    bool Open(const char* path, size_t size);
    void Close();
    bool IsOpen() const { return base_ != nullptr; }
    unsigned char* base() const { return base_; }

private:
    unsigned char* base_ = nullptr;
    size_t size_ = 0;
#ifdef _WIN32
    void* file_ = nullptr;
    void* mapping_ = nullptr;
#endif
};

// A read-write view of one queue manager's status table.
class Table {
public:
    bool Open(const char* prefix, uint32_t qmId);
    void Close() { map_.Close(); }
    bool IsOpen() const { return map_.IsOpen(); }
    TableHeader* header() const { return reinterpret_cast<TableHeader*>(map_.base()); }
    Entry* entry(uint32_t slot) const {
        return reinterpret_cast<Entry*>(map_.base() + sizeof(TableHeader)) + slot;
    }
    // Entries ever added, at most the capacity.
    uint32_t Used() const {
        uint32_t used = __atomic_load_n(&header()->used, __ATOMIC_ACQUIRE);
        return used > kCapacity ? kCapacity : used;
    }
    bool Stopped() const { return __atomic_load_n(&header()->stopped, __ATOMIC_ACQUIRE) != 0; }

private:
    MappedFile map_;
};

// ---- change counter -----------------------------------------------------------
// DATAPREFIX/changes holds a counter that every writer of the settings or the
// faults file raises after the file is in place. A reader that read both files
// under one value of the counter may keep what it read while the counter keeps
// that value (the rrx operations do, kxlinkst.cpp).

struct ChangesHeader {
    char magic[8];  // "KXQMCHG1"
    uint32_t count;
    uint32_t reserved[13];
};
static_assert(sizeof(ChangesHeader) == 64, "changes file layout");

class ChangeCounter {
public:
    bool Open(const char* prefix);  // false when the file is missing or not ours
    void Close() { map_.Close(); }
    bool IsOpen() const { return map_.IsOpen(); }
    uint32_t Load() const {
        return __atomic_load_n(&reinterpret_cast<const ChangesHeader*>(map_.base())->count, __ATOMIC_ACQUIRE);
    }
    void Raise();

private:
    MappedFile map_;
};

// Raises the counter of `prefix`, creating the file when it is missing. Writers
// call it under the writers' lock, after the change is in place.
bool RaiseChangeCounter(const char* prefix, std::string* why);

// Readers: false when the entry stayed in the middle of an update for the whole
// retry budget (a writer that died there, or a writer stalled that long).
bool ReadEntry(const Entry* e, Snapshot* out);
// The same for the state and generation alone.
bool ReadState(const Entry* e, uint32_t* state, uint32_t* generation);
// The same for a status query: the state and generation, and the record copied
// straight into `record` when the entry is live with generation `generation`.
// An attempt that meets a writer may have copied part of a record already, so
// after a false return (or a state or generation other than asked for) the
// bytes in `record` mean nothing.
// A status query is the rrx operation called most often, so its first attempt
// is made in line; only an entry met in the middle of an update goes on to the
// retries.
inline bool TryReadLiveRecord(const Entry* e, uint32_t generation, uint32_t* state, uint32_t* foundGeneration,
                              unsigned char* record) {
    uint32_t before = __atomic_load_n(&e->seq, __ATOMIC_ACQUIRE);
    if (before & 1) return false;
    uint32_t st = __atomic_load_n(&e->state, __ATOMIC_RELAXED);
    uint32_t gen = __atomic_load_n(&e->generation, __ATOMIC_RELAXED);
    if (st == kLive && gen == generation) {
        // The C library's copy: for a block of this size it is faster than what
        // the compiler puts in its place when it knows the size (a string move).
        size_t n = KX_STATUS_RECORD_BYTES;
        __asm__("" : "+r"(n));  // the size, out of the compiler's sight
        memcpy(record, e->record, n);
    }
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    if (__atomic_load_n(&e->seq, __ATOMIC_RELAXED) != before) return false;
    *state = st;
    *foundGeneration = gen;
    return true;
}
bool RetryReadLiveRecord(const Entry* e, uint32_t generation, uint32_t* state, uint32_t* foundGeneration,
                         unsigned char* record);
inline bool ReadLiveRecord(const Entry* e, uint32_t generation, uint32_t* state, uint32_t* foundGeneration,
                           unsigned char* record) {
    return TryReadLiveRecord(e, generation, state, foundGeneration, record) ||
           RetryReadLiveRecord(e, generation, state, foundGeneration, record);
}
// Writers, under WriterLock: the entry as it is, and the entry published whole
// (its checksum recomputed).
void RawRead(const Entry* e, Snapshot* out);
void WriteEntry(Entry* e, Snapshot& s);

uint32_t Checksum(const unsigned char* record);
inline uint32_t Get32(const unsigned char* record, uint32_t offset) {
    uint32_t v;
    memcpy(&v, record + offset, 4);
    return v;
}
inline void Put32(unsigned char* record, uint32_t offset, uint32_t value) { memcpy(record + offset, &value, 4); }
std::string ChannelNameOf(const unsigned char* record);  // up to the first blank
std::string ConnectionNameOf(const unsigned char* record);
// Whether the record's channel name is the `length` characters at `name`.
bool HasChannelName(const unsigned char* record, const char* name, size_t length);

// Status handles: queue manager id (8 bits), slot + 1 (12 bits), generation (12 bits).
inline uint32_t MakeHandle(uint32_t qmId, uint32_t slot, uint32_t generation) {
    return (qmId << 24) | ((slot + 1) << 12) | (generation & kMaxGeneration);
}
inline void SplitHandle(uint32_t handle, uint32_t* qmId, uint32_t* slot, uint32_t* generation) {
    *qmId = handle >> 24;
    *slot = ((handle >> 12) & 0xFFF) - 1;  // 0xFFFFFFFF for a slot field of 0
    *generation = handle & kMaxGeneration;
}

// Serialises every writer of the data prefix (an OS file lock: it goes with a
// process that dies).
class WriterLock {
public:
    WriterLock() = default;
    ~WriterLock();
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    bool Acquire(const char* prefix);

private:
#ifdef _WIN32
    void* file_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace kx

#endif
