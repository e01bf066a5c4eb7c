// The data block reader on hand-made blocks: both placements of the first
// object, several objects, and every kind of breach at the level that must catch it.
#include <gtest/gtest.h>

#include <functional>

#include "block_builder.h"
#include "perfdata.h"
#include "textlist.h"

using namespace blocks;

namespace {

bool Read(const Block& b, CheckLevel level, DataBlock* block, BreachReport* breach) {
    return ReadDataBlock(b.bytes.data(), b.bytes.size(), b.size, level, block, breach);
}

TEST(PerfData, ReadsTheCollectorsObjectAtEitherPlacement) {
    for (bool gap : {false, true})
        for (CheckLevel level : {CheckLevel::Safe, CheckLevel::Strict}) {
            SCOPED_TRACE(std::string(gap ? "after the gap" : "at HeaderLength") +
                         (level == CheckLevel::Strict ? ", strict" : ", safe"));
            Block b = BlockOf({ObjectBytes(TwoChannels())}, gap);
            DataBlock block;
            BreachReport breach;
            ASSERT_TRUE(Read(b, level, &block, &breach)) << breach.message;
            EXPECT_EQ(block.afterGap, gap);
            EXPECT_EQ(block.firstObject, gap ? 184u : 96u);
            ASSERT_EQ(block.objects.size(), 1u);
            const ObjectData* o = FindObject(block, 230);
            ASSERT_NE(o, nullptr);
            EXPECT_EQ(o->helpIndex, 231u);
            EXPECT_EQ(o->totalLength, 968u);
            ASSERT_EQ(o->counters.size(), 15u);
            EXPECT_EQ(o->counters[0].nameIndex, 232u);
            EXPECT_EQ(o->counters[14].nameIndex, 260u);
            EXPECT_EQ(o->counters[14].helpIndex, 261u);
            EXPECT_EQ(o->counters[11].type, 0x00010000u);
            EXPECT_EQ(o->counters[12].type, 0x10410400u);
            EXPECT_EQ(o->counters[14].offset, 60u);
            ASSERT_EQ(o->instances.size(), 2u);
            EXPECT_EQ(Utf8(o->instances[0].name), "SDR:TO.PARIS:paris.example");
            EXPECT_EQ(Utf8(o->instances[1].name), "RCVR:FROM.OSLO:10.1.2.3");
            EXPECT_EQ(o->instances[0].blockOffset, b.firstObject + 664 + 88);
            std::vector<uint64_t> first, second;
            for (const CounterInfo& c : o->counters) {
                first.push_back(CounterValue(b.bytes.data(), o->instances[0], c));
                second.push_back(CounterValue(b.bytes.data(), o->instances[1], c));
            }
            EXPECT_EQ(first, (std::vector<uint64_t>{11, 2200, 33, 4, 5, 6, 7, 8, 9, 10, 12, 13, 100, 200, 300}));
            EXPECT_EQ(second, (std::vector<uint64_t>{21, 0, 4400, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        }
}

TEST(PerfData, FindsItsObjectAmongOthers) {
    ObjectShape foreign;
    foreign.index = 500;
    foreign.noInstances = true;
    foreign.counters = 3;
    foreign.instances = {{"", {7, 8, 9}}};
    ObjectShape empty;
    empty.index = 600;
    for (bool gap : {false, true}) {
        Block b = BlockOf({ObjectBytes(foreign), ObjectBytes(TwoChannels()), ObjectBytes(empty)}, gap);
        DataBlock block;
        BreachReport breach;
        ASSERT_TRUE(Read(b, CheckLevel::Strict, &block, &breach)) << breach.message;
        ASSERT_EQ(block.objects.size(), 3u);
        const ObjectData* ours = FindObject(block, 230);
        ASSERT_NE(ours, nullptr);
        EXPECT_EQ(ours->offset, b.firstObject + 64 + 3 * 40 + 16);
        EXPECT_EQ(ours->instances.size(), 2u);
        const ObjectData* other = FindObject(block, 500);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(other->numInstances, PERF_NO_INSTANCES_VALUE);
        ASSERT_EQ(other->instances.size(), 1u);
        EXPECT_EQ(CounterValue(b.bytes.data(), other->instances[0], other->counters[2]), 9u);
        ASSERT_NE(FindObject(block, 600), nullptr);
        EXPECT_TRUE(FindObject(block, 600)->instances.empty());
        EXPECT_EQ(FindObject(block, 999), nullptr);
    }
}

TEST(PerfData, ABlockWithoutObjectsIsRead) {
    Block b = BlockOf({}, false);
    DataBlock block;
    BreachReport breach;
    ASSERT_TRUE(Read(b, CheckLevel::Strict, &block, &breach)) << breach.message;
    EXPECT_TRUE(block.objects.empty());
}

TEST(PerfData, EightByteCountersAreReadWhole) {
    ObjectShape s = TwoChannels();
    Block b = BlockOf({ObjectBytes(s)}, false);
    const uint32_t def = b.firstObject + CounterDefAt(0);
    Put32(&b.bytes, def + 28, 0x00010100u);  // a large raw count
    Put32(&b.bytes, def + 32, 8);
    Put32(&b.bytes, b.firstObject + InstanceAt(s, 0) + 88 + 8, 3);  // high half, over counter 1's place
    DataBlock block;
    BreachReport breach;
    ASSERT_TRUE(Read(b, CheckLevel::Strict, &block, &breach)) << breach.message;
    EXPECT_EQ(CounterValue(b.bytes.data(), block.objects[0].instances[0], block.objects[0].counters[0]),
              (uint64_t(3) << 32) | 11u);
}

struct BreachCase {
    const char* what;
    std::function<void(ObjectShape*)> shape;       // shapes the object before it is built
    size_t slack;                                // zero bytes after the data
    std::function<void(Block*, uint32_t)> poke;  // then changes the block; the object is at the second argument
    Breach safe;                                 // what each level finds (None: reads)
    Breach strict;
};

const BreachCase kBreaches[] = {
    {"buffer shorter than the block header", nullptr, 0, [](Block* b, uint32_t) { b->bytes.resize(80); },
     Breach::BlockHeader, Breach::BlockHeader},
    {"no PERF signature", nullptr, 0, [](Block* b, uint32_t) { b->bytes[0] = 'X'; }, Breach::None, Breach::Signature},
    {"block HeaderLength below 88", nullptr, 0, [](Block* b, uint32_t) { Put32(&b->bytes, 24, 40); },
     Breach::BlockHeader, Breach::BlockHeader},
    {"system name past the block header", nullptr, 0, [](Block* b, uint32_t) { Put32(&b->bytes, 80, 20); },
     Breach::None, Breach::BlockHeader},
    {"no object at either placement", nullptr, 0, [](Block* b, uint32_t at) { Put32(&b->bytes, at + 8, 0); },
     Breach::NoObject, Breach::NoObject},
    {"a second object past the end", nullptr, 0, [](Block* b, uint32_t) { Put32(&b->bytes, 28, 2); },
     Breach::ObjectOutside, Breach::ObjectOutside},
    {"a second object of zeros, beyond the reported size", nullptr, 64,
     [](Block* b, uint32_t) { Put32(&b->bytes, 28, 2); }, Breach::ObjectLengths, Breach::ObjectOutside},
    {"object beyond the reported size", nullptr, 8, [](Block* b, uint32_t) { b->size -= 8; }, Breach::None,
     Breach::ObjectOutside},
    {"instance length not a multiple of 8", [](ObjectShape* s) { s->nameBytes = 60; }, 0, nullptr, Breach::None,
     Breach::Unaligned},
    {"counter definition shorter than 40", nullptr, 0,
     [](Block* b, uint32_t at) { Put32(&b->bytes, at + CounterDefAt(3), 20); }, Breach::CounterDefinitions,
     Breach::CounterDefinitions},
    {"NumCounters past the definitions", nullptr, 0,
     [](Block* b, uint32_t at) { Put32(&b->bytes, at + 32, 0xFFFFFFFFu); }, Breach::CounterDefinitions,
     Breach::CounterDefinitions},
    {"definitions end before DefinitionLength", nullptr, 0, [](Block* b, uint32_t at) { Put32(&b->bytes, at + 32, 14); },
     Breach::None, Breach::DefinitionsEnd},
    {"CounterSize not what the type says", nullptr, 0,
     [](Block* b, uint32_t at) { Put32(&b->bytes, at + CounterDefAt(0) + 32, 8); }, Breach::None, Breach::CounterSize},
    {"NumInstances below -1", nullptr, 0, [](Block* b, uint32_t at) { Put32(&b->bytes, at + 40, 0xFFFFFFFEu); },
     Breach::InstanceCount, Breach::InstanceCount},
    {"more instances than the object holds", nullptr, 0, [](Block* b, uint32_t at) { Put32(&b->bytes, at + 40, 3); },
     Breach::InstanceOutside, Breach::InstanceOutside},
    {"NumInstances at its largest", nullptr, 0, [](Block* b, uint32_t at) { Put32(&b->bytes, at + 40, 0x7FFFFFFF); },
     Breach::InstanceOutside, Breach::InstanceOutside},
    {"instance definition shorter than 24", nullptr, 0,
     [](Block* b, uint32_t at) { Put32(&b->bytes, at + 664 + 152, 16); }, Breach::InstanceOutside,
     Breach::InstanceOutside},
    {"name area past its definition", nullptr, 0, [](Block* b, uint32_t at) { Put32(&b->bytes, at + 664 + 20, 100); },
     Breach::NameArea, Breach::NameArea},
    {"name area before its definition's end", nullptr, 0,
     [](Block* b, uint32_t at) { Put32(&b->bytes, at + 664 + 16, 8); }, Breach::NameArea, Breach::NameArea},
    {"name area of an odd length", nullptr, 0, [](Block* b, uint32_t at) { Put32(&b->bytes, at + 664 + 20, 63); },
     Breach::None, Breach::NameArea},
    {"name without its terminating zero",
     [](ObjectShape* s) { s->instances[1].name = "RCVR:FROM.OSLO:10.1.2.3.and.more."; }, 0, nullptr, Breach::None,
     Breach::NameUnterminated},
    {"counter block shorter than its length field", nullptr, 0,
     [](Block* b, uint32_t at) { Put32(&b->bytes, at + 664 + 88, 2); }, Breach::CounterBlockOutside,
     Breach::CounterBlockOutside},
    {"counter block past the object", nullptr, 0,
     [](Block* b, uint32_t at) { Put32(&b->bytes, at + 664 + 152 + 88, 200); }, Breach::CounterBlockOutside,
     Breach::CounterBlockOutside},
    {"counter past its block", nullptr, 0,
     [](Block* b, uint32_t at) { Put32(&b->bytes, at + CounterDefAt(14) + 36, 62); }, Breach::CounterOutside,
     Breach::CounterOutside},
    {"counter over its block's length field", nullptr, 0,
     [](Block* b, uint32_t at) { Put32(&b->bytes, at + CounterDefAt(0) + 36, 0); }, Breach::None,
     Breach::CounterOutside},
    {"bytes after the last instance", nullptr, 8,
     [](Block* b, uint32_t at) {
         Put32(&b->bytes, at, Get32(b->bytes, at) + 8);
         Put32(&b->bytes, 20, Get32(b->bytes, 20) + 8);
         b->size += 8;
     },
     Breach::None, Breach::ObjectEnd},
    {"block TotalByteLength not its header and objects", nullptr, 8,
     [](Block* b, uint32_t) {
         Put32(&b->bytes, 20, Get32(b->bytes, 20) + 8);
         b->size += 8;
     },
     Breach::None, Breach::BlockTotal},
    {"reported size not the block's TotalByteLength", nullptr, 8, [](Block* b, uint32_t) { b->size += 8; },
     Breach::None, Breach::ReportedSize},
};

TEST(PerfData, EachBreachIsCaughtAtItsLevel) {
    for (const BreachCase& c : kBreaches)
        for (bool gap : {false, true}) {
            ObjectShape shape = TwoChannels();
            if (c.shape) c.shape(&shape);
            Block b = BlockOf({ObjectBytes(shape)}, gap, c.slack);
            if (c.poke) c.poke(&b, b.firstObject);
            for (CheckLevel level : {CheckLevel::Safe, CheckLevel::Strict}) {
                const Breach expected = level == CheckLevel::Safe ? c.safe : c.strict;
                SCOPED_TRACE(std::string(c.what) + (gap ? ", after the gap" : ", at HeaderLength") +
                             (level == CheckLevel::Strict ? ", strict" : ", safe"));
                DataBlock block;
                BreachReport breach;
                const bool ok = Read(b, level, &block, &breach);
                EXPECT_EQ(ok, expected == Breach::None) << breach.message;
                EXPECT_EQ(int(breach.kind), int(expected)) << breach.message;
                if (!ok) {
                    EXPECT_FALSE(breach.message.empty());
                    EXPECT_LT(breach.offset, b.bytes.size() + 1);
                }
            }
        }
}

// Whatever the bytes, the reader stays inside the buffer (the sanitizers watch):
// every truncation and every single corrupted byte of a good block.
TEST(PerfData, StaysInsideTheBufferWhateverTheBytes) {
    for (bool gap : {false, true}) {
        const Block good = BlockOf({ObjectBytes(TwoChannels())}, gap);
        for (size_t cut = 0; cut < good.bytes.size(); ++cut) {
            std::vector<uint8_t> part(good.bytes.begin(), good.bytes.begin() + long(cut));
            for (CheckLevel level : {CheckLevel::Safe, CheckLevel::Strict}) {
                DataBlock block;
                BreachReport breach;
                EXPECT_FALSE(ReadDataBlock(part.data(), part.size(), good.size, level, &block, &breach))
                    << "cut at " << cut;
            }
        }
        for (size_t at = 0; at < good.bytes.size(); ++at)
            for (uint8_t value : {uint8_t(0x00), uint8_t(0x81), uint8_t(0xFF)}) {
                Block bad = good;
                bad.bytes[at] = value;
                for (CheckLevel level : {CheckLevel::Safe, CheckLevel::Strict}) {
                    DataBlock block;
                    BreachReport breach;
                    if (ReadDataBlock(bad.bytes.data(), bad.bytes.size(), bad.size, level, &block, &breach))
                        for (const ObjectData& o : block.objects)
                            for (const InstanceData& i : o.instances)
                                for (const CounterInfo& c : o.counters) (void)CounterValue(bad.bytes.data(), i, c);
                }
            }
    }
}

}  // namespace
