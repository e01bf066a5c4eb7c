// kxsim: managing the stand-in queue manager (what qmsim does).
#include "kxsim.h"

#include <stdio.h>
#include <string.h>

#include <chrono>
#include <string>
#include <thread>

#include "kxstore.h"

namespace {

std::string g_error;
std::string g_settingsPath;

int Fail(const std::string& message) {
    g_error = message;
    return 1;
}

std::string Quote(const char* s) { return s ? "'" + std::string(s) + "'" : std::string("(none)"); }

// A writer's session: the settings read again under the writers' lock.
struct Writer {
    kx::Settings s;
    kx::WriterLock lock;

    int BeginWrite() {
        if (kx::LoadSettings(s)) return Fail(std::string(s.error) + " (run qmsim init first)");
        if (!kx::IsDir(s.prefix))
            return Fail(std::string("the data prefix ") + s.prefix + " is missing (run qmsim init)");
        if (!lock.Acquire(s.prefix)) return Fail(std::string("cannot lock ") + s.prefix + ": " + kx::LastSystemError());
        if (kx::LoadSettings(s)) return Fail(s.error);
        return 0;
    }
};

// A session on one queue manager's status table; `locked` for writers.
struct QmSession : Writer {
    const kx::Qm* qm = nullptr;
    kx::Table table;

    int Begin(const char* name, bool locked) {
        if (!name) return Fail("no queue manager named");
        if (locked) {
            if (int rc = BeginWrite()) return rc;
        } else if (kx::LoadSettings(s)) {
            return Fail(std::string(s.error) + " (run qmsim init first)");
        }
        qm = s.Find(name);
        if (!qm) return Fail("no queue manager " + Quote(name) + " in " + s.path);
        if (!table.Open(s.prefix, qm->id))
            return Fail("cannot open the status table " + kx::TablePath(s.prefix, qm->id));
        return 0;
    }

    // The slot of the live channel of that name.
    int Find(const char* channel, uint32_t* slot) {
        for (uint32_t i = 0, used = table.Used(); channel && i < used; ++i) {
            kx::Snapshot snap;
            kx::RawRead(table.entry(i), &snap);
            if (snap.state == kx::kLive && kx::HasChannelName(snap.record, channel, strlen(channel))) {
                *slot = i;
                return 0;
            }
        }
        return Fail("no channel " + Quote(channel) + " on queue manager " + qm->name);
    }
};

const char* TypeText(uint32_t type) {
    switch (type) {
    case 1: return "SDR";
    case 2: return "SRVR";
    case 3: return "RCVR";
    case 4: return "RQSTR";
    case 6: return "CLNT";
    case 7: return "SRVR";
    default: return "????";
    }
}

// Counts that a restart sets back to 0.
const uint32_t kCountOffsets[] = {KXREC_COUNT_308,  KXREC_COUNT_1928,     KXREC_COUNT_1940,     KXREC_COUNT_1944,
                                  KXREC_MESSAGES,   KXREC_BYTES_SENT,     KXREC_BYTES_RECEIVED, KXREC_COUNT_1976,
                                  1980,             KXREC_COUNT_1984,     KXREC_COUNT_1988,     KXREC_COUNT_1992,
                                  KXREC_COUNT_1996};

void Add32(unsigned char* r, uint32_t offset, uint32_t n) { kx::Put32(r, offset, kx::Get32(r, offset) + n); }

// One tick of traffic on one channel (qmgr/README.md).
void MoveMessages(unsigned char* r, uint32_t slot, uint32_t n) {
    uint32_t type = kx::Get32(r, KXREC_CHANNEL_TYPE);
    uint32_t size = 256 + (slot * 389) % 3840;  // each channel has its own message size
    uint32_t payload = n * (size + 64);         // 64 bytes of header per message
    uint32_t batches = (n + 49) / 50;
    uint32_t acks = batches * 48;
    uint32_t sentBytes = payload, receivedBytes = acks, sentBuffers = n + batches, receivedBuffers = batches;
    if (type == 3 || type == 4) {  // receiver, requester
        sentBytes = acks;
        receivedBytes = payload;
        sentBuffers = batches;
        receivedBuffers = n + batches;
    } else if (type == 6) {  // client connection: requests out, replies in
        receivedBytes = payload;
        sentBuffers = receivedBuffers = n;
    }
    Add32(r, KXREC_MESSAGES, n);
    Add32(r, KXREC_BYTES_SENT, sentBytes);
    Add32(r, KXREC_BYTES_RECEIVED, receivedBytes);
    Add32(r, KXREC_COUNT_1976, batches);
    Add32(r, KXREC_COUNT_1984, sentBuffers);
    Add32(r, KXREC_COUNT_1988, receivedBuffers);
    Add32(r, KXREC_COUNT_1928, n);  // sequence number
    if (r[KXREC_FLAG] == 'Y') {
        uint32_t msgs = kx::Get32(r, KXREC_MESSAGES);
        kx::Put32(r, KXREC_COUNT_1940, 200 + (msgs * 7) % 300);  // network time, microseconds
        kx::Put32(r, KXREC_COUNT_1944, 10 + msgs % 40);          // exit time, microseconds
    }
}

// Under the writers' lock: reads the entry of `channel` of queue manager `qm`,
// lets `edit` change it, and publishes it whole.
template <typename Edit>
int EditEntry(const char* qm, const char* channel, Edit edit) {
    QmSession q;
    uint32_t slot;
    if (int rc = q.Begin(qm, true)) return rc;
    if (int rc = q.Find(channel, &slot)) return rc;
    kx::Snapshot snap;
    kx::RawRead(q.table.entry(slot), &snap);
    edit(snap);
    kx::WriteEntry(q.table.entry(slot), snap);
    return 0;
}

}  // namespace

extern "C" {

const char* kxsimSettingsPath(void) {
    g_settingsPath = kx::SettingsPath();
    return g_settingsPath.c_str();
}

const char* kxsimLastError(void) { return g_error.c_str(); }

uint32_t kxsimChecksum(const void* record) { return kx::Checksum(static_cast<const unsigned char*>(record)); }

int kxsimInit(void) {
    kx::Settings s;
    std::string why, text;
    std::string path = kx::SettingsPath();
    if (kx::ReadWholeFile(path, text)) {
        if (kx::LoadSettings(s)) return Fail(std::string(s.error) + "; left as it is");
        if (!kx::MakeDirs(s.prefix)) return Fail(std::string("cannot create the data prefix ") + s.prefix);
        return 0;
    }
    std::string dir = kx::ParentDir(path), prefix = kx::Join(dir, "data");
    if (!kx::MakeDirs(dir)) return Fail("cannot create " + dir + ": " + kx::LastSystemError());
    if (path.size() >= sizeof s.path || prefix.size() >= sizeof s.prefix)
        return Fail("the settings path " + path + " is too long");
    memset(&s, 0, sizeof s);
    memcpy(s.path, path.c_str(), path.size());
    memcpy(s.prefix, prefix.c_str(), prefix.size());
    if (!kx::MakeDirs(prefix)) return Fail("cannot create " + prefix + ": " + kx::LastSystemError());
    if (!kx::SaveSettings(s, &why)) return Fail(why);
    return 0;
}

int kxsimCreateQm(const char* qm, int makeDefault) {
    if (!qm || !kx::ValidName(qm, kx::kMaxQmName))
        return Fail("bad queue manager name " + Quote(qm) + ": 1 to 48 characters of A-Z a-z 0-9 . / _ %");
    Writer w;
    if (int rc = w.BeginWrite()) return rc;
    if (w.s.Find(qm)) return Fail("queue manager " + Quote(qm) + " exists already");
    uint32_t id = 1;
    for (uint32_t i = 0; i < w.s.count; ++i)
        if (w.s.qms[i].id >= id) id = w.s.qms[i].id + 1;
    if (id > kx::kMaxQmId || w.s.count == kx::kMaxQms) return Fail("no more than 64 queue managers");
    std::string why;
    if (!kx::CreateTableFile(w.s.prefix, id, &why)) return Fail(why);
    kx::Qm& added = w.s.qms[w.s.count++];
    memset(&added, 0, sizeof added);
    memcpy(added.name, qm, strlen(qm));
    added.id = id;
    if (makeDefault) memcpy(w.s.defaultQm, added.name, sizeof added.name);
    if (!kx::SaveSettings(w.s, &why)) return Fail(why);
    return 0;
}

int kxsimAddChannel(const char* qm, const char* channel, uint32_t typeCode, const char* connectionName) {
    if (!channel || !kx::ValidName(channel, kx::kMaxChannelName))
        return Fail("bad channel name " + Quote(channel) + ": 1 to 20 characters of A-Z a-z 0-9 . / _ %");
    if (!connectionName || strlen(connectionName) > kx::kMaxConnectionName)
        return Fail("bad connection name: at most 264 characters");
    for (const char* p = connectionName; *p; ++p)
        if (*p < 0x20 || *p > 0x7E) return Fail("bad connection name: printable characters only");
    QmSession q;
    if (int rc = q.Begin(qm, true)) return rc;
    uint32_t slot;
    if (q.Find(channel, &slot) == 0) return Fail("channel " + Quote(channel) + " exists already on " + q.qm->name);
    uint32_t used = q.table.Used();
    if (used >= kx::kCapacity) return Fail(std::string("the status table of ") + q.qm->name + " is full (256 entries)");
    kx::Snapshot snap = {};
    snap.state = kx::kLive;
    snap.generation = 1;
    kx::Put32(snap.record, KXREC_CHANNEL_TYPE, typeCode);
    memcpy(snap.record + KXREC_CONNECTION_NAME, connectionName, strlen(connectionName));
    memset(snap.record + KXREC_CHANNEL_NAME, ' ', KXREC_CHANNEL_NAME_LENGTH);
    memcpy(snap.record + KXREC_CHANNEL_NAME, channel, strlen(channel));
    snap.record[KXREC_FLAG] = 'Y';
    kx::WriteEntry(q.table.entry(used), snap);
    __atomic_store_n(&q.table.header()->used, used + 1, __ATOMIC_RELEASE);
    return 0;
}

int kxsimSetFields(const char* qm, const char* channel, const uint32_t* offsets, const uint32_t* values,
                   unsigned count, int flag) {
    for (unsigned i = 0; i < count; ++i)
        if (offsets[i] % 4 || offsets[i] == KXSIM_REC_UPDATES || offsets[i] > KXSIM_REC_CHECKSUM - 4)
            return Fail("bad offset " + std::to_string(offsets[i]) + ": a multiple of 4 from 4 to 2032");
    if (flag < -1 || flag > 255) return Fail("bad flag byte " + std::to_string(flag));
    return EditEntry(qm, channel, [&](kx::Snapshot& snap) {
        for (unsigned i = 0; i < count; ++i) kx::Put32(snap.record, offsets[i], values[i]);
        if (flag != -1) snap.record[KXREC_FLAG] = (unsigned char)flag;
    });
}

int kxsimSetField(const char* qm, const char* channel, uint32_t offset, uint32_t value) {
    return kxsimSetFields(qm, channel, &offset, &value, 1, -1);
}

int kxsimSetFlag(const char* qm, const char* channel, char flag) {
    return kxsimSetFields(qm, channel, nullptr, nullptr, 0, (unsigned char)flag);
}

int kxsimRestart(const char* qm, const char* channel) {
    return EditEntry(qm, channel, [](kx::Snapshot& snap) {
        snap.generation = snap.generation % kx::kMaxGeneration + 1;
        for (uint32_t offset : kCountOffsets) kx::Put32(snap.record, offset, 0);
    });
}

int kxsimRemove(const char* qm, const char* channel) {
    return EditEntry(qm, channel, [](kx::Snapshot& snap) { snap.state = kx::kRemoved; });
}

static int SetStopped(const char* qm, uint32_t stopped) {
    QmSession q;
    if (int rc = q.Begin(qm, true)) return rc;
    __atomic_store_n(&q.table.header()->stopped, stopped, __ATOMIC_RELEASE);
    return 0;
}

int kxsimStop(const char* qm) { return SetStopped(qm, 1); }
int kxsimStart(const char* qm) { return SetStopped(qm, 0); }

int kxsimFail(const char* operation, uint32_t code, uint32_t reason) {
    int op = kx::OpByName(operation);
    if (op < 0)
        return Fail("unknown operation " + Quote(operation) +
                    ": one of details, initialize, connect, next, query, access, release");
    if (op == kx::kConnect && code > KXCC_FAILED)
        return Fail("a connect fault's completion code is 1 (warning) or 2 (failed), or 0 to clear");
    Writer w;
    if (int rc = w.BeginWrite()) return rc;
    kx::Faults f;
    kx::LoadFaults(w.s.prefix, f);
    f.code[op] = code;
    if (op == kx::kConnect) f.connectReason = code ? reason : 0;
    std::string why;
    if (!kx::SaveFaults(w.s.prefix, f, &why)) return Fail(why);
    return 0;
}

int kxsimClearFaults(void) {
    Writer w;
    if (int rc = w.BeginWrite()) return rc;
    std::string why;
    if (!kx::SaveFaults(w.s.prefix, kx::Faults(), &why)) return Fail(why);
    return 0;
}

int kxsimMove(const char* qm, uint32_t messages) {
    QmSession q;
    if (int rc = q.Begin(qm, true)) return rc;
    if (messages == 0 || q.table.Stopped()) return 0;
    for (uint32_t slot = 0, used = q.table.Used(); slot < used; ++slot) {
        kx::Snapshot snap;
        kx::RawRead(q.table.entry(slot), &snap);
        if (snap.state != kx::kLive) continue;
        MoveMessages(snap.record, slot, messages);
        kx::WriteEntry(q.table.entry(slot), snap);
    }
    return 0;
}

int kxsimTraffic(const char* qm, uint32_t milliseconds, uint32_t messagesPerSecond) {
    if (messagesPerSecond == 0) return Fail("the rate is at least 1 message a second");
    if (int rc = kxsimMove(qm, 0)) return rc;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    uint32_t tick = 1000 / messagesPerSecond;  // milliseconds per message, 1 to 100
    tick = tick < 1 ? 1 : tick > 100 ? 100 : tick;
    uint64_t moved = 0;
    for (;;) {
        uint64_t elapsed =
            uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count());
        if (elapsed > milliseconds * 1000ull) elapsed = milliseconds * 1000ull;
        uint64_t due = elapsed * messagesPerSecond / 1000000 - moved;
        if (due) {
            if (int rc = kxsimMove(qm, uint32_t(due))) return rc;
            moved += due;
        }
        if (elapsed >= milliseconds * 1000ull) return 0;
        if (messagesPerSecond < 10000) std::this_thread::sleep_for(std::chrono::milliseconds(tick));
        else std::this_thread::yield();  // update continuously
    }
}

static int FindLive(QmSession& q, const char* channel, kx::Snapshot* snap, uint32_t* slot) {
    for (uint32_t i = 0, used = q.table.Used(); channel && i < used; ++i) {
        if (!kx::ReadEntry(q.table.entry(i), snap)) return Fail("the status table is in mid-update");
        if (snap->state == kx::kLive && kx::HasChannelName(snap->record, channel, strlen(channel))) {
            *slot = i;
            return 0;
        }
    }
    return Fail("no channel " + Quote(channel) + " on queue manager " + q.qm->name);
}

int kxsimHandle(const char* qm, const char* channel, uint32_t* handle) {
    QmSession q;
    kx::Snapshot snap;
    uint32_t slot;
    if (int rc = q.Begin(qm, false)) return rc;
    if (int rc = FindLive(q, channel, &snap, &slot)) return rc;
    if (handle) *handle = kx::MakeHandle(q.qm->id, slot, snap.generation);
    return 0;
}

int kxsimReleaseCount(const char* qm, const char* channel, uint32_t* count) {
    QmSession q;
    kx::Snapshot snap;
    uint32_t slot;
    if (int rc = q.Begin(qm, false)) return rc;
    if (int rc = FindLive(q, channel, &snap, &slot)) return rc;
    if (count) *count = __atomic_load_n(&q.table.entry(slot)->releases, __ATOMIC_RELAXED);
    return 0;
}

int kxsimShow(const char* qm) {
    kx::Settings s;
    if (kx::LoadSettings(s)) return Fail(std::string(s.error) + " (run qmsim init first)");
    if (qm && !s.Find(qm)) return Fail("no queue manager " + Quote(qm) + " in " + s.path);
    printf("settings %s\ndata prefix %s\n", s.path, s.prefix);
    for (uint32_t i = 0; i < s.count; ++i) {
        const kx::Qm& m = s.qms[i];
        if (qm && strcmp(m.name, qm) != 0) continue;
        kx::Table table;
        if (!table.Open(s.prefix, m.id)) return Fail("cannot open the status table " + kx::TablePath(s.prefix, m.id));
        printf("queue manager %s%s %s\n", m.name, strcmp(m.name, s.defaultQm) == 0 ? " (default)" : "",
               table.Stopped() ? "stopped" : "running");
        for (uint32_t slot = 0, used = table.Used(); slot < used; ++slot) {
            kx::Snapshot snap;
            if (!kx::ReadEntry(table.entry(slot), &snap)) return Fail("the status table is in mid-update");
            if (snap.state != kx::kLive) continue;
            const unsigned char* r = snap.record;
            uint32_t type = kx::Get32(r, KXREC_CHANNEL_TYPE);
            printf("  channel %s type %u %s conname '%s' handle 0x%08X flag %c\n", kx::ChannelNameOf(r).c_str(), type,
                   TypeText(type), kx::ConnectionNameOf(r).c_str(),
                   kx::MakeHandle(m.id, slot, snap.generation), r[KXREC_FLAG] ? r[KXREC_FLAG] : '-');
            printf("    messages %u sent %u received %u 1976=%u 1984=%u 1988=%u 1992=%u 1996=%u 1928=%u 308=%u "
                   "1940=%u 1944=%u\n",
                   kx::Get32(r, KXREC_MESSAGES), kx::Get32(r, KXREC_BYTES_SENT), kx::Get32(r, KXREC_BYTES_RECEIVED),
                   kx::Get32(r, 1976), kx::Get32(r, 1984), kx::Get32(r, 1988), kx::Get32(r, 1992),
                   kx::Get32(r, 1996), kx::Get32(r, 1928), kx::Get32(r, 308), kx::Get32(r, 1940),
                   kx::Get32(r, 1944));
        }
    }
    return 0;
}
}
