// Hand-made performance data blocks for the reader's tests: a PERF_DATA_BLOCK
// header with a system name, then objects laid out as the collector lays out
// its own (15 counters, instances of a 24-byte definition, a UTF-16 name area and
// a 64-byte counter block), placed at HeaderLength or after a PERF_DATA_BLOCK more.
#ifndef PERFTOOLS_TEST_BLOCK_BUILDER_H
#define PERFTOOLS_TEST_BLOCK_BUILDER_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace blocks {

inline void Put32(std::vector<uint8_t>* b, size_t at, uint32_t v) { std::memcpy(b->data() + at, &v, 4); }
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

struct TestInstance {
    std::string name;
    std::vector<uint32_t> values;  // counter k's value; missing ones are 0
};

struct ObjectShape {
    uint32_t index = 230;
    std::vector<TestInstance> instances;
    bool noInstances = false;    // NumInstances -1 and one counter block
    uint32_t nameBytes = 64;     // the name area of each instance
    uint32_t counters = 15;
};

// Offsets inside an object built from `shape`.
inline uint32_t CounterDefAt(uint32_t k) { return 64 + 40 * k; }
inline uint32_t DefinitionBytes(const ObjectShape& s) { return 64 + 40 * s.counters; }
inline uint32_t InstanceBytes(const ObjectShape& s) { return 24 + s.nameBytes + 4 + 4 * s.counters; }
inline uint32_t InstanceAt(const ObjectShape& s, uint32_t i) { return DefinitionBytes(s) + InstanceBytes(s) * i; }

inline std::vector<uint8_t> ObjectBytes(const ObjectShape& s) {
    const uint32_t blockBytes = 4 + 4 * s.counters;
    const uint32_t total = s.noInstances ? DefinitionBytes(s) + blockBytes
                                         : DefinitionBytes(s) + InstanceBytes(s) * uint32_t(s.instances.size());
    std::vector<uint8_t> o(total, 0);
    Put32(&o, 0, total);
    Put32(&o, 4, DefinitionBytes(s));
    Put32(&o, 8, 64);
    Put32(&o, 12, s.index);
    Put32(&o, 20, s.index + 1);
    Put32(&o, 28, 100);
    Put32(&o, 32, s.counters);
    Put32(&o, 40, s.noInstances ? 0xFFFFFFFFu : uint32_t(s.instances.size()));
    for (uint32_t k = 0; k < s.counters; ++k) {
        const uint32_t d = CounterDefAt(k);
        Put32(&o, d, 40);
        Put32(&o, d + 4, s.index + 2 * (k + 1));
        Put32(&o, d + 12, s.index + 1 + 2 * (k + 1));
        Put32(&o, d + 24, 100);
        Put32(&o, d + 28, k < 12 ? 0x00010000u : 0x10410400u);
        Put32(&o, d + 32, 4);
        Put32(&o, d + 36, 4 + 4 * k);
    }
    auto block = [&](uint32_t at, const std::vector<uint32_t>& values) {
        Put32(&o, at, blockBytes);
        for (uint32_t k = 0; k < s.counters && k < values.size(); ++k) Put32(&o, at + 4 + 4 * k, values[k]);
    };
    if (s.noInstances) {
        block(DefinitionBytes(s), s.instances.empty() ? std::vector<uint32_t>() : s.instances[0].values);
        return o;
    }
    for (uint32_t i = 0; i < s.instances.size(); ++i) {
        const uint32_t at = InstanceAt(s, i);
        Put32(&o, at, 24 + s.nameBytes);
        Put32(&o, at + 12, 0xFFFFFFFFu);
        Put32(&o, at + 16, 24);
        Put32(&o, at + 20, s.nameBytes);
        const std::string& name = s.instances[i].name;
        for (uint32_t c = 0; c < name.size() && 2 * c + 1 < s.nameBytes; ++c) o[at + 24 + 2 * c] = uint8_t(name[c]);
        block(at + 24 + s.nameBytes, s.instances[i].values);
    }
    return o;
}

struct Block {
    std::vector<uint8_t> bytes;  // the whole buffer, its capacity
    uint32_t size = 0;           // what the host reports
    uint32_t firstObject = 0;
};

#define TEST_HEADER_LENGTH 96u  // 88 and the system name "VM", padded to 8
#define TEST_GAP 88u

// The objects one after the other, at HeaderLength or, `afterGap`, after 88
// bytes more that neither the block's TotalByteLength nor the size counts.
inline Block BlockOf(const std::vector<std::vector<uint8_t>>& objects, bool afterGap, size_t slack = 0) {
    Block b;
    uint32_t sum = 0;
    for (const auto& o : objects) sum += uint32_t(o.size());
    b.firstObject = TEST_HEADER_LENGTH + (afterGap ? TEST_GAP : 0);
    b.bytes.assign(b.firstObject + sum + slack, 0);
    const char16_t sig[] = u"PERF";
    for (int i = 0; i < 4; ++i) b.bytes[2 * i] = uint8_t(sig[i]);
    Put32(&b.bytes, 8, 1);
    Put32(&b.bytes, 12, 1);
    Put32(&b.bytes, 16, 1);
    Put32(&b.bytes, 20, TEST_HEADER_LENGTH + sum);
    Put32(&b.bytes, 24, TEST_HEADER_LENGTH);
    Put32(&b.bytes, 28, uint32_t(objects.size()));
    Put32(&b.bytes, 80, 6);
    Put32(&b.bytes, 84, 88);
    b.bytes[88] = 'V';
    b.bytes[90] = 'M';
    uint32_t at = b.firstObject;
    for (const auto& o : objects) {
        std::memcpy(b.bytes.data() + at, o.data(), o.size());
        at += uint32_t(o.size());
    }
    b.size = TEST_HEADER_LENGTH + sum;
    return b;
}

// The collector's object with two channels, as most tests use it.
inline ObjectShape TwoChannels() {
    ObjectShape s;
    s.instances = {{"SDR:TO.PARIS:paris.example", {11, 2200, 33, 4, 5, 6, 7, 8, 9, 10, 12, 13, 100, 200, 300}},
                   {"RCVR:FROM.OSLO:10.1.2.3", {21, 0, 4400}}};
    return s;
}

}  // namespace blocks

#endif
