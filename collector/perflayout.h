// The performance data structures that the Windows performance library expects
// back from a collect call, in their 32-bit layout, and the block that holds the
// collector's one object: header, 15 counter definitions and room for 20
// instances. Every field is fixed-width, so the layout is the same in the native,
// 64-bit and 32-bit builds; the asserts below pin every offset.
#ifndef VORTALIS_PERFLAYOUT_H
#define VORTALIS_PERFLAYOUT_H

#include <cstddef>
#include <cstdint>

#define NUM_COUNTERS 15
#define MAX_INSTANCES 20
#define INSTANCE_NAME_UNITS 32  // UTF-16 units in an instance's 64-byte name area

// Values of the layout.
#define PERFOBJ_DETAIL_NOVICE 100u       // PERF_DETAIL_NOVICE
#define PERFOBJ_RAWCOUNT 0x00010000u     // PERF_COUNTER_RAWCOUNT: a count shown as it is
#define PERFOBJ_COUNTER 0x10410400u      // PERF_COUNTER_COUNTER: a count a monitor turns into a rate
#define PERFOBJ_NO_UNIQUE_ID (-1)        // PERF_NO_UNIQUE_ID

struct PerfObjectType {                // PERF_OBJECT_TYPE
    uint32_t TotalByteLength;          //  0
    uint32_t DefinitionLength;         //  4
    uint32_t HeaderLength;             //  8
    uint32_t ObjectNameTitleIndex;     // 12
    uint32_t ObjectNameTitle;          // 16
    uint32_t ObjectHelpTitleIndex;     // 20
    uint32_t ObjectHelpTitle;          // 24
    uint32_t DetailLevel;              // 28
    uint32_t NumCounters;              // 32
    int32_t DefaultCounter;            // 36
    int32_t NumInstances;              // 40
    uint32_t CodePage;                 // 44
    int64_t PerfTime;                  // 48
    int64_t PerfFreq;                  // 56
};

struct PerfCounterDefinition {         // PERF_COUNTER_DEFINITION
    uint32_t ByteLength;               //  0
    uint32_t CounterNameTitleIndex;    //  4
    uint32_t CounterNameTitle;         //  8
    uint32_t CounterHelpTitleIndex;    // 12
    uint32_t CounterHelpTitle;         // 16
    int32_t DefaultScale;              // 20
    uint32_t DetailLevel;              // 24
    uint32_t CounterType;              // 28
    uint32_t CounterSize;              // 32
    uint32_t CounterOffset;            // 36
};

struct PerfInstanceDefinition {        // PERF_INSTANCE_DEFINITION
    uint32_t ByteLength;               //  0
    uint32_t ParentObjectTitleIndex;   //  4
    uint32_t ParentObjectInstance;     //  8
    int32_t UniqueID;                  // 12
    uint32_t NameOffset;               // 16
    uint32_t NameLength;               // 20
};

struct PerfCounterBlock {              // PERF_COUNTER_BLOCK
    uint32_t ByteLength;               //  0
};

// One instance as it lies in the object: 152 bytes.
struct PerfInstance {
    PerfInstanceDefinition Definition;      //   0
    uint16_t Name[INSTANCE_NAME_UNITS];     //  24: UTF-16LE, zero-terminated, rest zero
    PerfCounterBlock CounterBlock;          //  88
    uint32_t Counters[NUM_COUNTERS];        //  92 + 4k: value of counter k
};

// The whole object: 664 bytes of definitions, then the instances.
struct PerfObjectBlock {
    PerfObjectType Object;                          //   0
    PerfCounterDefinition Counters[NUM_COUNTERS];   //  64 + 40k
    PerfInstance Instances[MAX_INSTANCES];          // 664 + 152i
};

#define PERF_DEFINITION_BYTES 664u  // header and the 15 counter definitions
#define PERF_INSTANCE_BYTES 152u    // instance definition, name area, counter block and values
#define PERF_COUNTER_BLOCK_BYTES 64u  // the block's ByteLength field and the 15 values

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the performance data is little-endian");

static_assert(sizeof(PerfObjectType) == 64, "PERF_OBJECT_TYPE is 64 bytes");
static_assert(offsetof(PerfObjectType, TotalByteLength) == 0, "layout");
static_assert(offsetof(PerfObjectType, DefinitionLength) == 4, "layout");
static_assert(offsetof(PerfObjectType, HeaderLength) == 8, "layout");
static_assert(offsetof(PerfObjectType, ObjectNameTitleIndex) == 12, "layout");
static_assert(offsetof(PerfObjectType, ObjectNameTitle) == 16, "layout");
static_assert(offsetof(PerfObjectType, ObjectHelpTitleIndex) == 20, "layout");
static_assert(offsetof(PerfObjectType, ObjectHelpTitle) == 24, "layout");
static_assert(offsetof(PerfObjectType, DetailLevel) == 28, "layout");
static_assert(offsetof(PerfObjectType, NumCounters) == 32, "layout");
static_assert(offsetof(PerfObjectType, DefaultCounter) == 36, "layout");
static_assert(offsetof(PerfObjectType, NumInstances) == 40, "layout");
static_assert(offsetof(PerfObjectType, CodePage) == 44, "layout");
static_assert(offsetof(PerfObjectType, PerfTime) == 48, "layout");
static_assert(offsetof(PerfObjectType, PerfFreq) == 56, "layout");

static_assert(sizeof(PerfCounterDefinition) == 40, "PERF_COUNTER_DEFINITION is 40 bytes");
static_assert(offsetof(PerfCounterDefinition, ByteLength) == 0, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterNameTitleIndex) == 4, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterNameTitle) == 8, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterHelpTitleIndex) == 12, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterHelpTitle) == 16, "layout");
static_assert(offsetof(PerfCounterDefinition, DefaultScale) == 20, "layout");
static_assert(offsetof(PerfCounterDefinition, DetailLevel) == 24, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterType) == 28, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterSize) == 32, "layout");
static_assert(offsetof(PerfCounterDefinition, CounterOffset) == 36, "layout");

static_assert(sizeof(PerfInstanceDefinition) == 24, "PERF_INSTANCE_DEFINITION is 24 bytes");
static_assert(offsetof(PerfInstanceDefinition, ByteLength) == 0, "layout");
static_assert(offsetof(PerfInstanceDefinition, ParentObjectTitleIndex) == 4, "layout");
static_assert(offsetof(PerfInstanceDefinition, ParentObjectInstance) == 8, "layout");
static_assert(offsetof(PerfInstanceDefinition, UniqueID) == 12, "layout");
static_assert(offsetof(PerfInstanceDefinition, NameOffset) == 16, "layout");
static_assert(offsetof(PerfInstanceDefinition, NameLength) == 20, "layout");

static_assert(sizeof(PerfCounterBlock) == 4, "PERF_COUNTER_BLOCK is 4 bytes");
static_assert(offsetof(PerfCounterBlock, ByteLength) == 0, "layout");

static_assert(sizeof(PerfInstance) == PERF_INSTANCE_BYTES, "an instance is 152 bytes");
static_assert(offsetof(PerfInstance, Definition) == 0, "layout");
static_assert(offsetof(PerfInstance, Name) == 24, "layout");
static_assert(sizeof(PerfInstance::Name) == 64, "the name area is 64 bytes");
static_assert(offsetof(PerfInstance, CounterBlock) == 88, "layout");
static_assert(offsetof(PerfInstance, Counters) == 92, "layout");

static_assert(offsetof(PerfObjectBlock, Object) == 0, "layout");
static_assert(offsetof(PerfObjectBlock, Counters) == 64, "layout");
static_assert(offsetof(PerfObjectBlock, Instances) == PERF_DEFINITION_BYTES, "layout");
static_assert(sizeof(PerfObjectBlock) == PERF_DEFINITION_BYTES + MAX_INSTANCES * PERF_INSTANCE_BYTES,
              "the object has room for 20 instances");
static_assert(sizeof(PerfObjectBlock) == 3704, "the object is 3704 bytes");

#endif
