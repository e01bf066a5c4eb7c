// Definitions of the module-level state declared in state.h, with their values
// at load.
#include "state.h"

uint32_t Debug = 0;
FILE* stream = nullptr;

int32_t nchans = 0;
uint32_t stats[MAX_CHANNELS] = {};
char ChannelNames[MAX_CHANNELS][NAME_SLOT_BYTES] = {};
uint32_t Work[KX_WORK_AREA_BYTES / 4] = {};

PerfObjectBlock PerfObject = {};
PerfObjectType* const pPerfObject = &PerfObject.Object;
PerfObjectType* pPerfObj = nullptr;
PerfCounterDefinition* pPerfCounter = nullptr;
PerfInstanceDefinition* pPerfInstance = nullptr;
PerfCounterBlock* pPerfCtrBlk = nullptr;
unsigned char* pCharPtr = nullptr;
