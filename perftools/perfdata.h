// Reads a performance data block as the host returns it, checking everything it
// relies on: a PERF_DATA_BLOCK header, then NumObjectTypes objects, each with its
// counter definitions and either one counter block or instances that each carry
// a name and a counter block. The first object lies at the header's HeaderLength,
// or, as Wine's host puts it, after a whole PERF_DATA_BLOCK more (a gap that the
// block's TotalByteLength and the reported size do not count); both are read.
//
// CheckLevel::Safe checks what reading needs: every length and offset leads to
// bytes inside the buffer. CheckLevel::Strict checks the data as a careful
// performance library would: lengths and offsets consistent with each other and
// with the reported size, lengths multiples of 8, counter sizes as their types
// say, counters inside their blocks and names terminated inside their areas.
#ifndef PERFTOOLS_PERFDATA_H
#define PERFTOOLS_PERFDATA_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PerfDataBlockHeader {    // PERF_DATA_BLOCK
    uint16_t Signature[4];      //  0: "PERF" in UTF-16
    uint32_t LittleEndian;      //  8
    uint32_t Version;           // 12
    uint32_t Revision;          // 16
    uint32_t TotalByteLength;   // 20
    uint32_t HeaderLength;      // 24
    uint32_t NumObjectTypes;    // 28
    int32_t DefaultObject;      // 32
    uint16_t SystemTime[8];     // 36
    uint32_t Reserved;          // 52: alignment of PerfTime
    int64_t PerfTime;           // 56
    int64_t PerfFreq;           // 64
    int64_t PerfTime100nSec;    // 72
    uint32_t SystemNameLength;  // 80
    uint32_t SystemNameOffset;  // 84
};
static_assert(sizeof(PerfDataBlockHeader) == 88, "PERF_DATA_BLOCK is 88 bytes");

#define PERF_NO_INSTANCES_VALUE (-1)  // NumInstances of an object without instances

enum class CheckLevel { Safe, Strict };

enum class Breach {
    None,
    BlockHeader,        // the block's header does not fit, or its HeaderLength or system name is off
    Signature,          // no "PERF" signature
    NoObject,           // no object at either placement
    ObjectOutside,      // an object runs past the end of the data
    ObjectLengths,      // HeaderLength, DefinitionLength and TotalByteLength out of order
    Unaligned,          // a length that is not a multiple of 8
    CounterDefinitions, // a counter definition runs past the definitions or is too short
    DefinitionsEnd,     // the definitions do not end at DefinitionLength
    CounterSize,        // CounterSize is not what the counter's type says
    InstanceCount,      // NumInstances below -1
    InstanceOutside,    // an instance definition runs past the object or is too short
    NameArea,           // a name area outside its instance definition, or not whole UTF-16 units
    NameUnterminated,   // no zero inside the name area
    CounterBlockOutside,// a counter block runs past the object or is too short
    CounterOutside,     // a counter lies outside its counter block
    ObjectEnd,          // the instances do not end at the object's TotalByteLength
    BlockTotal,         // the block's TotalByteLength is not its header and its objects
    ReportedSize,       // the reported size is not the block's TotalByteLength
};

struct BreachReport {
    Breach kind = Breach::None;
    uint32_t offset = 0;  // where in the buffer
    std::string message;
};

struct CounterInfo {
    uint32_t nameIndex;
    uint32_t helpIndex;
    uint32_t type;
    uint32_t size;
    uint32_t offset;  // from the start of a counter block
};

struct InstanceData {
    std::u16string name;   // up to its zero; empty for an object without instances
    uint32_t blockOffset;  // the counter block, from the start of the buffer
};

struct ObjectData {
    uint32_t offset;  // from the start of the buffer
    uint32_t totalLength;
    uint32_t nameIndex;
    uint32_t helpIndex;
    int32_t numInstances;  // PERF_NO_INSTANCES_VALUE: one counter block, one unnamed entry in `instances`
    std::vector<CounterInfo> counters;
    std::vector<InstanceData> instances;
};

struct DataBlock {
    uint32_t firstObject = 0;  // offset of the first object
    bool afterGap = false;     // true: after a whole PERF_DATA_BLOCK more than HeaderLength
    std::vector<ObjectData> objects;
};

// Reads the block in data[0, capacity); `size` is the size the host reported.
// False, with *breach, at the first breach of `level`.
bool ReadDataBlock(const uint8_t* data, size_t capacity, uint32_t size, CheckLevel level, DataBlock* block,
                   BreachReport* breach);

// The object with that name index, or nullptr.
const ObjectData* FindObject(const DataBlock& block, uint32_t nameIndex);

// Counter `counter` of one instance, from the buffer that ReadDataBlock read:
// 4- and 8-byte counters as they are, other sizes from their first 8 bytes.
uint64_t CounterValue(const uint8_t* data, const InstanceData& instance, const CounterInfo& counter);

#endif
