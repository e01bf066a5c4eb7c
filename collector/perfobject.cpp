#include "perfobject.h"

#include <cstring>

#include "state.h"
#include "trace.h"

#define DUMP_INSTANCE_BYTES 104u  // instance definition, name area, first 16 bytes of the counter block

namespace {

// The name area holds the UTF-16 form of the slot's 8-bit text (each byte taken
// as its own code point), zero-terminated within the 32 units, the rest zero.
void PutInstanceName(uint16_t* area, const char* slot) {
    unsigned i = 0;
    for (; i < INSTANCE_NAME_UNITS - 1 && slot[i] != '\0'; ++i) area[i] = static_cast<unsigned char>(slot[i]);
    for (; i < INSTANCE_NAME_UNITS; ++i) area[i] = 0;
}

}  // namespace

void BuildPerfObject(uint32_t firstCounter, uint32_t firstHelp) {
    int32_t instances = nchans < 0 ? 0 : nchans > MAX_INSTANCES ? MAX_INSTANCES : nchans;

    pPerfObj = pPerfObject;
    std::memset(pPerfObj, 0, sizeof *pPerfObj);
    pPerfObj->HeaderLength = sizeof(PerfObjectType);
    pPerfObj->ObjectNameTitleIndex = firstCounter;
    pPerfObj->ObjectNameTitle = 0;
    pPerfObj->ObjectHelpTitleIndex = firstHelp;
    pPerfObj->ObjectHelpTitle = 0;
    pPerfObj->DetailLevel = PERFOBJ_DETAIL_NOVICE;
    pPerfObj->NumCounters = NUM_COUNTERS;
    pPerfObj->DefaultCounter = 0;
    pPerfObj->NumInstances = instances;
    pPerfObj->CodePage = 0;
    TraceLine("pPerfObj is %p\n", static_cast<void*>(pPerfObj));
    TraceDump(pPerfObj, sizeof(PerfObjectType), stream);

    pPerfCounter = reinterpret_cast<PerfCounterDefinition*>(pPerfObj + 1);
    TraceLine("pPerfCounter start at %p\n", static_cast<void*>(pPerfCounter));
    for (uint32_t k = 0; k < NUM_COUNTERS; ++k) {
        pPerfCounter->ByteLength = sizeof(PerfCounterDefinition);
        pPerfCounter->CounterNameTitleIndex = firstCounter + 2 * (k + 1);
        pPerfCounter->CounterNameTitle = 0;
        pPerfCounter->CounterHelpTitleIndex = firstHelp + 2 * (k + 1);
        pPerfCounter->CounterHelpTitle = 0;
        pPerfCounter->DefaultScale = 0;
        pPerfCounter->DetailLevel = PERFOBJ_DETAIL_NOVICE;
        pPerfCounter->CounterType = k < 12 ? PERFOBJ_RAWCOUNT : PERFOBJ_COUNTER;
        pPerfCounter->CounterSize = sizeof(uint32_t);
        pPerfCounter->CounterOffset = sizeof(PerfCounterBlock) + 4 * k;
        TraceLine("pPerfCounter is %p\n", static_cast<void*>(pPerfCounter));
        TraceDump(pPerfCounter, sizeof(PerfCounterDefinition), stream);
        ++pPerfCounter;
    }

    pPerfInstance = reinterpret_cast<PerfInstanceDefinition*>(pPerfCounter);
    TraceLine("pPerfInstance start at %p\n", static_cast<void*>(pPerfInstance));
    pCharPtr = reinterpret_cast<unsigned char*>(pPerfInstance);
    for (int32_t i = 0; i < instances; ++i) {
        pPerfInstance->ByteLength = sizeof(PerfInstanceDefinition) + sizeof(PerfInstance::Name);
        pPerfInstance->ParentObjectTitleIndex = 0;
        pPerfInstance->ParentObjectInstance = 0;
        pPerfInstance->UniqueID = PERFOBJ_NO_UNIQUE_ID;
        pPerfInstance->NameOffset = sizeof(PerfInstanceDefinition);
        pPerfInstance->NameLength = sizeof(PerfInstance::Name);

        pCharPtr += sizeof(PerfInstanceDefinition);
        PutInstanceName(reinterpret_cast<uint16_t*>(pCharPtr), ChannelNames[i]);

        pCharPtr += sizeof(PerfInstance::Name);
        pPerfCtrBlk = reinterpret_cast<PerfCounterBlock*>(pCharPtr);
        pPerfCtrBlk->ByteLength = PERF_COUNTER_BLOCK_BYTES;

        TraceLine("pPerfInstance is %p\n", static_cast<void*>(pPerfInstance));
        TraceDump(pPerfInstance, DUMP_INSTANCE_BYTES, stream);

        pCharPtr += pPerfCtrBlk->ByteLength;
        pPerfInstance = reinterpret_cast<PerfInstanceDefinition*>(pCharPtr);
    }
    TraceLine("pCharPtr at end of object at %p\n", static_cast<void*>(pCharPtr));

    pPerfObj->TotalByteLength = PERF_DEFINITION_BYTES + PERF_INSTANCE_BYTES * uint32_t(pPerfObj->NumInstances);
    TraceLine("Total object size is %ld\n", TraceLong(pPerfObj->TotalByteLength));
    pPerfObj->DefinitionLength = PERF_DEFINITION_BYTES;
    TraceLine("Total def size is %ld\n", TraceLong(pPerfObj->DefinitionLength));

    TraceDump(pPerfObj, pPerfObj->TotalByteLength, stream);
}
