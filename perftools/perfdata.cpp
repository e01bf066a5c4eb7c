#include "perfdata.h"

#include <cstdio>
#include <cstring>

#include "perflayout.h"

namespace {

#define PERF_SIZE_FIELD 0x00000300u  // a counter type's size bits
#define PERF_SIZE_DWORD_BITS 0x00000000u
#define PERF_SIZE_LARGE_BITS 0x00000100u
#define PERF_SIZE_ZERO_BITS 0x00000200u

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
}

std::string N(uint64_t v) { return std::to_string(v); }

struct Reader {
    const uint8_t* data;
    size_t capacity;
    size_t end;  // the end of the data that objects may use
    bool strict;
    BreachReport* breach;

    bool Fail(Breach kind, uint64_t offset, const std::string& message) {
        breach->kind = kind;
        breach->offset = uint32_t(offset);
        breach->message = message;
        return false;
    }

    template <typename T>
    T At(uint64_t offset) const {
        T value;
        std::memcpy(&value, data + offset, sizeof value);
        return value;
    }

    bool Fits(uint64_t offset, uint64_t length, uint64_t limit) const { return offset <= limit && length <= limit - offset; }

    bool Plausible(uint64_t offset) const {
        if (!Fits(offset, sizeof(PerfObjectType), end)) return false;
        PerfObjectType o = At<PerfObjectType>(offset);
        return o.HeaderLength >= sizeof(PerfObjectType) && o.DefinitionLength >= o.HeaderLength &&
               o.TotalByteLength >= o.DefinitionLength && Fits(offset, o.TotalByteLength, end);
    }

    bool Aligned(uint64_t length, uint64_t offset, const std::string& what) {
        if (!strict || length % 8 == 0) return true;
        return Fail(Breach::Unaligned, offset, what + " is " + N(length) + " bytes, not a multiple of 8");
    }

    bool CounterBlock(uint64_t at, uint64_t objectEnd, const ObjectData& o, const std::string& where,
                      uint64_t* next) {
        if (!Fits(at, sizeof(PerfCounterBlock), objectEnd))
            return Fail(Breach::CounterBlockOutside, at, where + ": its counter block at " + N(at) +
                                                             " starts past the object's end at " + N(objectEnd));
        uint32_t length = At<uint32_t>(at);
        if (length < sizeof(PerfCounterBlock) || !Fits(at, length, objectEnd))
            return Fail(Breach::CounterBlockOutside, at, where + ": its counter block at " + N(at) + " of " +
                                                             N(length) + " bytes does not fit between 4 bytes and "
                                                             "the object's end at " + N(objectEnd));
        if (!Aligned(length, at, where + ": its counter block")) return false;
        for (size_t k = 0; k < o.counters.size(); ++k) {
            const CounterInfo& c = o.counters[k];
            const bool inside = c.offset <= length && c.size <= length - c.offset &&
                                (!strict || c.offset >= sizeof(PerfCounterBlock));
            if (!inside)
                return Fail(Breach::CounterOutside, at, where + ": counter " + N(k) + " (offset " + N(c.offset) +
                                                            ", " + N(c.size) + " bytes) lies outside its counter "
                                                            "block of " + N(length) + " bytes");
        }
        *next = at + length;
        return true;
    }

    bool Name(uint64_t instance, const PerfInstanceDefinition& d, uint32_t codePage, const std::string& where,
              std::u16string* name) {
        const bool inside = d.NameOffset >= sizeof(PerfInstanceDefinition) && d.NameOffset <= d.ByteLength &&
                            d.NameLength <= d.ByteLength - d.NameOffset;
        if (!inside)
            return Fail(Breach::NameArea, instance, where + ": its name (offset " + N(d.NameOffset) + ", " +
                                                        N(d.NameLength) + " bytes) lies outside its definition of " +
                                                        N(d.ByteLength) + " bytes");
        const uint8_t* area = data + instance + d.NameOffset;
        bool terminated = false;
        if (codePage == 0) {
            if (strict && d.NameLength % 2 != 0)
                return Fail(Breach::NameArea, instance, where + ": its name area of " + N(d.NameLength) +
                                                            " bytes is not whole UTF-16 units");
            for (uint32_t i = 0; i + 1 < d.NameLength; i += 2) {
                char16_t c = char16_t(area[i] | area[i + 1] << 8);
                if (c == 0) {
                    terminated = true;
                    break;
                }
                name->push_back(c);
            }
        } else {
            for (uint32_t i = 0; i < d.NameLength; ++i) {
                if (area[i] == 0) {
                    terminated = true;
                    break;
                }
                name->push_back(char16_t(area[i]));
            }
        }
        if (strict && !terminated)
            return Fail(Breach::NameUnterminated, instance + d.NameOffset,
                        where + ": its name has no terminating zero inside its " + N(d.NameLength) + " bytes");
        return true;
    }

    bool Definitions(uint64_t at, const PerfObjectType& h, const std::string& where, ObjectData* o) {
        uint64_t cursor = at + h.HeaderLength;
        const uint64_t definitionsEnd = at + h.DefinitionLength;
        for (uint32_t k = 0; k < h.NumCounters; ++k) {
            const std::string what = where + ": counter definition " + N(k) + " at " + N(cursor);
            if (!Fits(cursor, sizeof(PerfCounterDefinition), definitionsEnd))
                return Fail(Breach::CounterDefinitions, cursor, what + " runs past the definitions' end at " +
                                                                    N(definitionsEnd));
            PerfCounterDefinition d = At<PerfCounterDefinition>(cursor);
            if (d.ByteLength < sizeof(PerfCounterDefinition) || !Fits(cursor, d.ByteLength, definitionsEnd))
                return Fail(Breach::CounterDefinitions, cursor, what + " has the length " + N(d.ByteLength) +
                                                                    ", not between 40 and the definitions' end");
            if (!Aligned(d.ByteLength, cursor, what)) return false;
            if (strict) {
                uint32_t bits = d.CounterType & PERF_SIZE_FIELD;
                bool sized = bits == PERF_SIZE_DWORD_BITS   ? d.CounterSize == 4
                             : bits == PERF_SIZE_LARGE_BITS ? d.CounterSize == 8
                             : bits == PERF_SIZE_ZERO_BITS  ? d.CounterSize == 0
                                                            : true;
                if (!sized)
                    return Fail(Breach::CounterSize, cursor, what + " has the size " + N(d.CounterSize) +
                                                                 " but its type " + Hex(d.CounterType) + " says otherwise");
            }
            o->counters.push_back(CounterInfo{d.CounterNameTitleIndex, d.CounterHelpTitleIndex, d.CounterType,
                                              d.CounterSize, d.CounterOffset});
            cursor += d.ByteLength;
        }
        if (strict && cursor != definitionsEnd)
            return Fail(Breach::DefinitionsEnd, cursor, where + ": its counter definitions end at " + N(cursor) +
                                                            ", its DefinitionLength says " + N(definitionsEnd));
        return true;
    }

    bool Object(uint64_t at, uint32_t number, ObjectData* o) {
        std::string where = "object " + N(number) + " at " + N(at);
        if (!Fits(at, sizeof(PerfObjectType), end))
            return Fail(Breach::ObjectOutside, at, where + ": its header runs past the end of the data at " + N(end));
        PerfObjectType h = At<PerfObjectType>(at);
        where = "object " + N(number) + " (index " + N(h.ObjectNameTitleIndex) + ") at " + N(at);
        if (h.HeaderLength < sizeof(PerfObjectType) || h.DefinitionLength < h.HeaderLength ||
            h.TotalByteLength < h.DefinitionLength)
            return Fail(Breach::ObjectLengths, at, where + ": HeaderLength " + N(h.HeaderLength) +
                                                       ", DefinitionLength " + N(h.DefinitionLength) +
                                                       " and TotalByteLength " + N(h.TotalByteLength) +
                                                       " are not at least 64 and in that order");
        if (!Fits(at, h.TotalByteLength, end))
            return Fail(Breach::ObjectOutside, at, where + ": its " + N(h.TotalByteLength) +
                                                       " bytes run past the end of the data at " + N(end));
        if (!Aligned(h.TotalByteLength, at, where + ": TotalByteLength") ||
            !Aligned(h.DefinitionLength, at, where + ": DefinitionLength") ||
            !Aligned(h.HeaderLength, at, where + ": HeaderLength"))
            return false;
        o->offset = uint32_t(at);
        o->totalLength = h.TotalByteLength;
        o->nameIndex = h.ObjectNameTitleIndex;
        o->helpIndex = h.ObjectHelpTitleIndex;
        o->numInstances = h.NumInstances;
        if (!Definitions(at, h, where, o)) return false;

        const uint64_t objectEnd = at + h.TotalByteLength;
        uint64_t cursor = at + h.DefinitionLength;
        if (h.NumInstances == PERF_NO_INSTANCES_VALUE) {
            o->instances.push_back(InstanceData{std::u16string(), uint32_t(cursor)});
            if (!CounterBlock(cursor, objectEnd, *o, where, &cursor)) return false;
        } else if (h.NumInstances < PERF_NO_INSTANCES_VALUE) {
            return Fail(Breach::InstanceCount, at, where + ": NumInstances is " + std::to_string(h.NumInstances));
        }
        for (int32_t i = 0; i < h.NumInstances; ++i) {
            const std::string what = where + ": instance " + N(uint32_t(i)) + " at " + N(cursor);
            if (!Fits(cursor, sizeof(PerfInstanceDefinition), objectEnd))
                return Fail(Breach::InstanceOutside, cursor, what + " runs past the object's end at " + N(objectEnd));
            PerfInstanceDefinition d = At<PerfInstanceDefinition>(cursor);
            if (d.ByteLength < sizeof(PerfInstanceDefinition) || !Fits(cursor, d.ByteLength, objectEnd))
                return Fail(Breach::InstanceOutside, cursor, what + " has the length " + N(d.ByteLength) +
                                                                 ", not between 24 and the object's end");
            if (!Aligned(d.ByteLength, cursor, what)) return false;
            InstanceData instance;
            if (!Name(cursor, d, h.CodePage, what, &instance.name)) return false;
            instance.blockOffset = uint32_t(cursor + d.ByteLength);
            o->instances.push_back(instance);
            if (!CounterBlock(cursor + d.ByteLength, objectEnd, *o, what, &cursor)) return false;
        }
        if (strict && cursor != objectEnd)
            return Fail(Breach::ObjectEnd, cursor, where + ": its data ends at " + N(cursor) +
                                                       ", its TotalByteLength says " + N(objectEnd));
        return true;
    }
};

}  // namespace

bool ReadDataBlock(const uint8_t* data, size_t capacity, uint32_t size, CheckLevel level, DataBlock* block,
                   BreachReport* breach) {
    *block = DataBlock();
    *breach = BreachReport();
    Reader r{data, capacity, capacity, level == CheckLevel::Strict, breach};
    const size_t headerBytes = sizeof(PerfDataBlockHeader);
    if (capacity < headerBytes || (r.strict && size < headerBytes))
        return r.Fail(Breach::BlockHeader, 0, "the data (" + N(r.strict ? size : capacity) +
                                                  " bytes) is shorter than its header of 88 bytes");
    PerfDataBlockHeader h = r.At<PerfDataBlockHeader>(0);
    if (r.strict && (h.Signature[0] != 'P' || h.Signature[1] != 'E' || h.Signature[2] != 'R' || h.Signature[3] != 'F'))
        return r.Fail(Breach::Signature, 0, "the data block does not start with the signature PERF");
    if (h.HeaderLength < headerBytes || h.HeaderLength > capacity)
        return r.Fail(Breach::BlockHeader, 24, "the data block's HeaderLength " + N(h.HeaderLength) +
                                                   " is not between 88 and the buffer's " + N(capacity) + " bytes");
    if (r.strict && h.SystemNameLength != 0 &&
        (h.SystemNameOffset < headerBytes || !r.Fits(h.SystemNameOffset, h.SystemNameLength, h.HeaderLength)))
        return r.Fail(Breach::BlockHeader, 84, "the system name (offset " + N(h.SystemNameOffset) + ", " +
                                                   N(h.SystemNameLength) + " bytes) lies outside the header's " +
                                                   N(h.HeaderLength) + " bytes");
    if (!r.Aligned(h.HeaderLength, 24, "the data block's HeaderLength")) return false;

    uint64_t at = h.HeaderLength;
    if (h.NumObjectTypes != 0) {
        if (!r.Plausible(at)) {
            if (!r.Plausible(at + headerBytes))
                return r.Fail(Breach::NoObject, uint32_t(at), "no object at " + N(at) + " (HeaderLength) nor at " +
                                                                  N(at + headerBytes) + " (after a PERF_DATA_BLOCK more)");
            at += headerBytes;
            block->afterGap = true;
        }
    }
    block->firstObject = uint32_t(at);
    const uint64_t gap = block->afterGap ? headerBytes : 0;
    if (r.strict && uint64_t(size) + gap < r.end) r.end = size_t(uint64_t(size) + gap);  // the reported data only

    uint64_t total = h.HeaderLength;
    for (uint32_t n = 0; n < h.NumObjectTypes; ++n) {
        ObjectData o;
        if (!r.Object(at, n, &o)) return false;
        at += o.totalLength;
        total += o.totalLength;
        block->objects.push_back(o);
    }
    if (r.strict && total != h.TotalByteLength)
        return r.Fail(Breach::BlockTotal, 20, "the data block's TotalByteLength is " + N(h.TotalByteLength) +
                                                  ", its header and objects make " + N(total));
    if (r.strict && size != h.TotalByteLength)
        return r.Fail(Breach::ReportedSize, 20, "the host reported " + N(size) + " bytes, the block's "
                                                    "TotalByteLength is " + N(h.TotalByteLength));
    return true;
}

const ObjectData* FindObject(const DataBlock& block, uint32_t nameIndex) {
    for (const ObjectData& o : block.objects)
        if (o.nameIndex == nameIndex) return &o;
    return nullptr;
}

uint64_t CounterValue(const uint8_t* data, const InstanceData& instance, const CounterInfo& counter) {
    uint64_t value = 0;
    uint32_t bytes = counter.size < 8 ? counter.size : 8;
    std::memcpy(&value, data + instance.blockOffset + counter.offset, bytes);
    return value;
}
