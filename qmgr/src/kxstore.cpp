#include "kxstore.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kx {

// ---- files --------------------------------------------------------------------

#ifdef _WIN32
static const char kSep = '\\';
static bool IsSep(char c) { return c == '\\' || c == '/'; }
#else
static const char kSep = '/';
static bool IsSep(char c) { return c == '/'; }
#endif

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty() || IsSep(dir.back())) return dir + name;
    return dir + kSep + name;
}

std::string ParentDir(const std::string& path) {
    size_t i = path.size();
    while (i > 0 && !IsSep(path[i - 1])) --i;
    if (i == 0) return ".";
    if (i == 1 || (i == 3 && path[1] == ':')) return path.substr(0, i);  // "/" or "C:\"
    return path.substr(0, i - 1);
}

std::string LastSystemError() {
#ifdef _WIN32
    return "system error " + std::to_string(GetLastError());
#else
    return strerror(errno);
#endif
}

#ifdef _WIN32

bool IsDir(const char* path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

static bool MakeDir(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

static HANDLE OpenShared(const std::string& path, DWORD access, DWORD disposition) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool ReadSmallFile(const char* path, char* buf, size_t cap, size_t* length) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    size_t n = 0;
    DWORD got = 0;
    bool ok = true;
    while (n < cap && (ok = ReadFile(h, buf + n, DWORD(cap - n), &got, nullptr)) && got > 0) n += got;
    CloseHandle(h);
    if (!ok || n >= cap) return false;
    buf[n] = 0;
    *length = n;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& data) {
    HANDLE h = OpenShared(path, GENERIC_READ, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) return false;
    data.clear();
    char buf[4096];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr)) && got > 0) data.append(buf, got);
    CloseHandle(h);
    return ok;
}

static bool WriteNewFile(const std::string& path, const std::string& data) {
    HANDLE h = OpenShared(path, GENERIC_WRITE, CREATE_ALWAYS);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool ok = WriteFile(h, data.data(), DWORD(data.size()), &put, nullptr) && put == data.size();
    ok = FlushFileBuffers(h) && ok;
    CloseHandle(h);
    return ok;
}

static bool ReplaceFile(const std::string& from, const std::string& to) {
    // A reader that has the file open without FILE_SHARE_DELETE makes this fail
    // for a moment; try a few times.
    for (int i = 0; i < 50; ++i) {
        if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
        Sleep(10);
    }
    return false;
}

static void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }
uintptr_t CurrentThreadId() { return uintptr_t(GetCurrentThreadId()); }
static unsigned long ProcessId() { return GetCurrentProcessId(); }

#else

bool IsDir(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadSmallFile(const char* path, char* buf, size_t cap, size_t* length) {
    int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    size_t n = 0;
    ssize_t got = 0;
    while (n < cap && ((got = read(fd, buf + n, cap - n)) > 0 || (got < 0 && errno == EINTR)))
        if (got > 0) n += size_t(got);
    close(fd);
    if (got < 0 || n >= cap) return false;
    buf[n] = 0;
    *length = n;
    return true;
}

static bool MakeDir(const std::string& path) { return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST; }

bool ReadWholeFile(const std::string& path, std::string& data) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    data.clear();
    char buf[4096];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, got);
    bool ok = !ferror(f);
    fclose(f);
    return ok;
}

static bool WriteNewFile(const std::string& path, const std::string& data) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = fflush(f) == 0 && ok;
    ok = fclose(f) == 0 && ok;
    return ok;
}

static bool ReplaceFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

static void RemoveFile(const std::string& path) { unlink(path.c_str()); }
static unsigned long ProcessId() { return (unsigned long)getpid(); }

#endif

bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    for (size_t i = 1; i < path.size(); ++i) {
        if (IsSep(path[i]) && !(i == 2 && path[1] == ':')) {
            std::string part = path.substr(0, i);
            if (!IsDir(part.c_str()) && !MakeDir(part)) return false;
        }
    }
    return IsDir(path.c_str()) || MakeDir(path);
}

bool WriteFileAtomic(const std::string& path, const std::string& data, std::string* why) {
    std::string tmp = path + ".tmp" + std::to_string(ProcessId());
    if (!WriteNewFile(tmp, data) || !ReplaceFile(tmp, path)) {
        if (why) *why = "cannot write " + path + ": " + LastSystemError();
        RemoveFile(tmp);
        return false;
    }
    return true;
}

// ---- settings -----------------------------------------------------------------

const Qm* Settings::Find(const char* name, size_t length) const {
    for (uint32_t i = 0; i < count; ++i)
        if (strlen(qms[i].name) == length && memcmp(qms[i].name, name, length) == 0) return &qms[i];
    return nullptr;
}

const char* DefaultSettingsPath() {
#ifdef _WIN32
    return "C:\\ProgramData\\kxqm\\kxqm.ini";
#else
    return "/var/tmp/kxqm/kxqm.ini";
#endif
}

const char* SettingsPath() {
    const char* env = getenv("KXQM_INI");
    return env && *env ? env : DefaultSettingsPath();
}

bool ValidName(const char* name, size_t length, size_t maxLength) {
    if (length == 0 || length > maxLength) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[i];
        bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                  c == '/' || c == '_' || c == '%';
        if (!ok) return false;
    }
    return true;
}

static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// [b, e) without the blanks around it.
static void Trim(const char*& b, const char*& e) {
    while (b < e && IsSpace(*b)) ++b;
    while (e > b && IsSpace(e[-1])) --e;
}

static bool Is(const char* b, const char* e, const char* word) {
    size_t n = strlen(word);
    return size_t(e - b) == n && memcmp(b, word, n) == 0;
}

static bool CopyText(char* to, size_t cap, const char* b, const char* e) {
    if (size_t(e - b) >= cap) return false;
    memcpy(to, b, size_t(e - b));
    to[e - b] = 0;
    return true;
}

uint32_t LoadSettings(Settings& s) {
    memset(&s, 0, sizeof s);
    const char* path = SettingsPath();
    auto bad = [&](const char* what, int line) {
        if (line) snprintf(s.error, sizeof s.error, "%s line %d: %s", s.path, line, what);
        else snprintf(s.error, sizeof s.error, "%s: %s", s.path, what);
        return KX_RC_NO_SETTINGS;
    };
    if (!CopyText(s.path, sizeof s.path, path, path + strlen(path))) return bad("path too long", 0);
    static_assert(kMaxSettingsBytes < 65536, "settings buffer on the stack");
    char text[kMaxSettingsBytes];
    size_t length = 0;
    if (!ReadSmallFile(s.path, text, sizeof text, &length)) {
        snprintf(s.error, sizeof s.error, "cannot read settings file %s", s.path);
        return KX_RC_NO_SETTINGS;
    }
    enum { kOther, kSettings, kQms } section = kOther;
    int lineNo = 0;
    for (const char* pos = text; pos < text + length;) {
        const char* eol = static_cast<const char*>(memchr(pos, '\n', size_t(text + length - pos)));
        if (!eol) eol = text + length;
        const char *b = pos, *e = eol;
        pos = eol + 1;
        ++lineNo;
        Trim(b, e);
        if (b == e || *b == ';' || *b == '#') continue;
        if (*b == '[') {
            if (e[-1] != ']') return bad("bad section header", lineNo);
            const char *nb = b + 1, *ne = e - 1;
            Trim(nb, ne);
            section = Is(nb, ne, "Settings") ? kSettings : Is(nb, ne, "QueueManagers") ? kQms : kOther;
            continue;
        }
        const char* eq = static_cast<const char*>(memchr(b, '=', size_t(e - b)));
        if (!eq) return bad("expected NAME=VALUE", lineNo);
        const char *kb = b, *ke = eq, *vb = eq + 1, *ve = e;
        Trim(kb, ke);
        Trim(vb, ve);
        if (section == kSettings) {
            if (Is(kb, ke, "DataPrefix") && !CopyText(s.prefix, sizeof s.prefix, vb, ve))
                return bad("DataPrefix too long", lineNo);
            if (Is(kb, ke, "DefaultQueueManager") && !CopyText(s.defaultQm, sizeof s.defaultQm, vb, ve))
                return bad("DefaultQueueManager too long", lineNo);
        } else if (section == kQms) {
            uint32_t id = 0;
            const char* d = vb;
            for (; d < ve && *d >= '0' && *d <= '9' && id <= kMaxQmId; ++d) id = id * 10 + uint32_t(*d - '0');
            if (!ValidName(kb, size_t(ke - kb), kMaxQmName) || d == vb || d != ve || id == 0 || id > kMaxQmId)
                return bad("expected QMNAME=ID with an id from 1 to 255", lineNo);
            if (s.Find(kb, size_t(ke - kb)) || s.FindId(id)) return bad("queue manager listed twice", lineNo);
            if (s.count == kMaxQms) return bad("more than 64 queue managers", lineNo);
            CopyText(s.qms[s.count].name, sizeof s.qms[s.count].name, kb, ke);
            s.qms[s.count++].id = id;
        }
    }
    if (!s.prefix[0]) return bad("no DataPrefix in [Settings]", 0);
    return 0;
}

std::string FormatSettings(const Settings& s) {
    std::string t = "; Stand-in queue manager settings, written by qmsim (qmgr/README.md).\n";
    t += std::string("[Settings]\nDataPrefix=") + s.prefix + "\nDefaultQueueManager=" + s.defaultQm +
         "\n\n[QueueManagers]\n";
    for (uint32_t i = 0; i < s.count; ++i) t += std::string(s.qms[i].name) + "=" + std::to_string(s.qms[i].id) + "\n";
    return t;
}

bool SaveSettings(const Settings& s, std::string* why) {
    return WriteFileAtomic(s.path, FormatSettings(s), why) && RaiseChangeCounter(s.prefix, why);
}

// ---- faults -------------------------------------------------------------------

const char* const kOpNames[kOpCount] = {"details", "initialize", "connect", "next", "query", "access", "release"};

int OpByName(const char* name) {
    for (int i = 0; name && i < kOpCount; ++i)
        if (strcmp(name, kOpNames[i]) == 0) return i;
    return -1;
}

// The faults file: one line per operation, "NAME CODE [REASON]", decimal numbers.
static const char kFaultsName[] = "faults";

static bool PathIn(char* out, size_t cap, const char* prefix, const char* name) {
    size_t n = strlen(prefix);
    bool sep = n > 0 && !IsSep(prefix[n - 1]);
    return snprintf(out, cap, "%s%s%s", prefix, sep ? (kSep == '/' ? "/" : "\\") : "", name) < int(cap);
}

static uint32_t Decimal(const char*& p) {
    uint64_t v = 0;
    while (*p == ' ') ++p;
    while (*p >= '0' && *p <= '9') v = v * 10 + uint64_t(*p++ - '0');
    return uint32_t(v);
}

void LoadFaults(const char* prefix, Faults& f) {
    f = Faults();
    char path[kMaxPath + 16], text[1024];
    size_t length;
    if (!PathIn(path, sizeof path, prefix, kFaultsName) || !ReadSmallFile(path, text, sizeof text, &length)) return;
    for (char* line = text; line && *line;) {
        char* next = strchr(line, '\n');
        if (next) *next++ = 0;
        char* space = strchr(line, ' ');
        if (space) {
            *space = 0;
            int op = OpByName(line);
            const char* p = space + 1;
            uint32_t code = Decimal(p), reason = Decimal(p);
            if (op >= 0) {
                f.code[op] = code;
                if (op == kConnect) f.connectReason = reason;
            }
        }
        line = next;
    }
}

bool SaveFaults(const char* prefix, const Faults& f, std::string* why) {
    std::string t;
    for (int op = 0; op < kOpCount; ++op) {
        if (!f.code[op]) continue;
        t += std::string(kOpNames[op]) + " " + std::to_string(f.code[op]);
        if (op == kConnect) t += " " + std::to_string(f.connectReason);
        t += "\n";
    }
    return WriteFileAtomic(Join(prefix, kFaultsName), t, why) && RaiseChangeCounter(prefix, why);
}

uint32_t InjectedFault(const Settings& s, Op op, uint32_t* reason) {
    Faults f;
    LoadFaults(s.prefix, f);
    if (reason) *reason = f.connectReason;
    return f.code[op];
}

// ---- status table -------------------------------------------------------------

static const char kMagic[8] = {'K', 'X', 'Q', 'M', 'T', 'A', 'B', '1'};

static bool TablePathIn(char* out, size_t cap, const char* prefix, uint32_t qmId) {
    char name[32];
    snprintf(name, sizeof name, "qm%u.status", unsigned(qmId));
    return PathIn(out, cap, prefix, name);
}

std::string TablePath(const char* prefix, uint32_t qmId) {
    return Join(prefix, "qm" + std::to_string(qmId) + ".status");
}

bool CreateTableFile(const char* prefix, uint32_t qmId, std::string* why) {
    std::string data(kTableBytes, '\0');
    TableHeader h = {};
    memcpy(h.magic, kMagic, sizeof kMagic);
    h.qmId = qmId;
    h.capacity = kCapacity;
    memcpy(&data[0], &h, sizeof h);
    return WriteFileAtomic(TablePath(prefix, qmId), data, why);
}

bool MappedFile::Open(const char* path, size_t size) {
    Close();
#ifdef _WIN32
    HANDLE f = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(f, &length) || length.QuadPart != LONGLONG(size)) {
        CloseHandle(f);
        return false;
    }
    HANDLE m = CreateFileMappingA(f, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    void* view = m ? MapViewOfFile(m, FILE_MAP_WRITE, 0, 0, size) : nullptr;
    if (!view) {
        if (m) CloseHandle(m);
        CloseHandle(f);
        return false;
    }
    file_ = f;
    mapping_ = m;
    base_ = static_cast<unsigned char*>(view);
#else
    int fd = open(path, O_RDWR);
    if (fd < 0) return false;
    struct stat st;
    void* view = MAP_FAILED;
    if (fstat(fd, &st) == 0 && st.st_size == off_t(size))
        view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (view == MAP_FAILED) return false;
    base_ = static_cast<unsigned char*>(view);
#endif
    size_ = size;
    return true;
}

void MappedFile::Close() {
#ifdef _WIN32
    if (base_) UnmapViewOfFile(base_);
    if (mapping_) CloseHandle(mapping_);
    if (file_) CloseHandle(file_);
    mapping_ = file_ = nullptr;
#else
    if (base_) munmap(base_, size_);
#endif
    base_ = nullptr;
    size_ = 0;
}

bool Table::Open(const char* prefix, uint32_t qmId) {
    char path[kMaxPath + 32];
    if (!TablePathIn(path, sizeof path, prefix, qmId) || !map_.Open(path, kTableBytes)) return false;
    const TableHeader* h = header();
    if (memcmp(h->magic, kMagic, sizeof kMagic) != 0 || h->qmId != qmId || h->capacity != kCapacity) {
        Close();
        return false;
    }
    return true;
}

// Seqlock. The writer makes the counter odd, writes, and makes it even again; a
// reader copies between two loads of an even, unchanged counter.
static void YieldCpu() {
#ifdef _WIN32
    SwitchToThread();
#else
    sched_yield();
#endif
}

// Spins a few times, then yields until the retry budget, counted from the first
// wait, has gone. False when it has.
class Backoff {
public:
    bool Wait() {
        using Clock = std::chrono::steady_clock;
        if (tries_++ < 64) return true;
        if (!started_) {
            deadline_ = Clock::now() + std::chrono::milliseconds(100);
            started_ = true;
        } else if (Clock::now() >= deadline_) {
            return false;
        }
        YieldCpu();
        return true;
    }

private:
    unsigned tries_ = 0;
    bool started_ = false;
    std::chrono::steady_clock::time_point deadline_;
};

// One stable read of an entry: `copy` runs between two equal even values of
// its sequence counter. False when none came within the retry budget; what
// `copy` wrote then means nothing.
template <typename Copy>
bool ReadStable(const Entry* e, Copy copy) {
    Backoff backoff;
    do {
        uint32_t before = __atomic_load_n(&e->seq, __ATOMIC_ACQUIRE);
        if (!(before & 1)) {
            copy();
            __atomic_thread_fence(__ATOMIC_ACQUIRE);
            if (__atomic_load_n(&e->seq, __ATOMIC_RELAXED) == before) return true;
        }
    } while (backoff.Wait());
    return false;
}

bool ReadEntry(const Entry* e, Snapshot* out) {
    return ReadStable(e, [&] { memcpy(out, &e->state, sizeof *out); });
}

bool ReadState(const Entry* e, uint32_t* state, uint32_t* generation) {
    return ReadStable(e, [&] {
        *state = __atomic_load_n(&e->state, __ATOMIC_RELAXED);
        *generation = __atomic_load_n(&e->generation, __ATOMIC_RELAXED);
    });
}

bool RetryReadLiveRecord(const Entry* e, uint32_t generation, uint32_t* state, uint32_t* foundGeneration,
                         unsigned char* record) {
    Backoff backoff;
    while (backoff.Wait())
        if (TryReadLiveRecord(e, generation, state, foundGeneration, record)) return true;
    return false;
}

void RawRead(const Entry* e, Snapshot* out) { memcpy(out, &e->state, sizeof *out); }

void WriteEntry(Entry* e, Snapshot& s) {
    Put32(s.record, kUpdatesOffset, Get32(s.record, kUpdatesOffset) + 1);
    Put32(s.record, kChecksumOffset, Checksum(s.record));
    uint32_t seq = __atomic_load_n(&e->seq, __ATOMIC_RELAXED);
    if (!(seq & 1)) ++seq;  // odd already: a writer died here; go on from there
    __atomic_store_n(&e->seq, seq, __ATOMIC_RELAXED);
    __atomic_thread_fence(__ATOMIC_RELEASE);
    // From the end to the start, against the readers' direction: a read that
    // overlapped this write without the sequence counter would mix the update
    // count at 0 of one version with the checksum of the other.
    unsigned char* to = reinterpret_cast<unsigned char*>(&e->state);
    const unsigned char* from = reinterpret_cast<const unsigned char*>(&s);
    for (size_t i = sizeof s; i >= 4; i -= 4) memcpy(to + i - 4, from + i - 4, 4);
    __atomic_store_n(&e->seq, seq + 1, __ATOMIC_RELEASE);
}

uint32_t Checksum(const unsigned char* record) {
    uint32_t h = 2166136261u;  // FNV-1a over the bytes before the checksum
    for (uint32_t i = 0; i < kChecksumOffset; ++i) h = (h ^ record[i]) * 16777619u;
    return h;
}

std::string ChannelNameOf(const unsigned char* record) {
    const char* p = reinterpret_cast<const char*>(record + KXREC_CHANNEL_NAME);
    size_t n = 0;
    while (n < kMaxChannelName && p[n] != ' ' && p[n] != '\0') ++n;
    return std::string(p, n);
}

bool HasChannelName(const unsigned char* record, const char* name, size_t length) {
    const unsigned char* p = record + KXREC_CHANNEL_NAME;
    if (length == 0 || length > kMaxChannelName || memcmp(p, name, length) != 0) return false;
    return length == kMaxChannelName || p[length] == ' ' || p[length] == 0;
}

std::string ConnectionNameOf(const unsigned char* record) {
    const char* p = reinterpret_cast<const char*>(record + KXREC_CONNECTION_NAME);
    return std::string(p, strnlen(p, KXREC_CHANNEL_NAME - KXREC_CONNECTION_NAME - 1));
}


// ---- change counter -----------------------------------------------------------

static const char kChangesMagic[8] = {'K', 'X', 'Q', 'M', 'C', 'H', 'G', '1'};
static const char kChangesName[] = "changes";

bool ChangeCounter::Open(const char* prefix) {
    char path[kMaxPath + 16];
    if (!PathIn(path, sizeof path, prefix, kChangesName) || !map_.Open(path, sizeof(ChangesHeader))) return false;
    if (memcmp(map_.base(), kChangesMagic, sizeof kChangesMagic) != 0) {
        Close();
        return false;
    }
    return true;
}

void ChangeCounter::Raise() {
    __atomic_add_fetch(&reinterpret_cast<ChangesHeader*>(map_.base())->count, 1, __ATOMIC_RELEASE);
}

bool RaiseChangeCounter(const char* prefix, std::string* why) {
    ChangeCounter counter;
    if (!counter.Open(prefix)) {
        ChangesHeader h = {};
        memcpy(h.magic, kChangesMagic, sizeof kChangesMagic);
        if (!WriteFileAtomic(Join(prefix, kChangesName), std::string(reinterpret_cast<const char*>(&h), sizeof h),
                             why))
            return false;
        if (!counter.Open(prefix)) {
            if (why) *why = "cannot map " + Join(prefix, kChangesName) + ": " + LastSystemError();
            return false;
        }
    }
    counter.Raise();
    return true;
}

// ---- writers' lock ------------------------------------------------------------

bool WriterLock::Acquire(const char* prefix) {
    std::string path = Join(prefix, "lock");
#ifdef _WIN32
    HANDLE f = OpenShared(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (f == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED ov = {};
    if (!LockFileEx(f, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov)) {
        CloseHandle(f);
        return false;
    }
    file_ = f;
#else
    int fd = open(path.c_str(), O_RDWR | O_CREAT, 0666);
    if (fd < 0) return false;
    int rc;
    while ((rc = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
#endif
    return true;
}

WriterLock::~WriterLock() {
#ifdef _WIN32
    if (file_) {
        OVERLAPPED ov = {};
        UnlockFileEx(file_, 0, 1, 0, &ov);
        CloseHandle(file_);
    }
#else
    if (fd_ >= 0) close(fd_);  // releases the lock
#endif
}

}  // namespace kx
