// Module-level state of the collector, shared by its units. Everything is
// created with the library, starts at the values given in state.cpp and is never
// freed. No unit takes a lock: the performance library never runs two entry
// points of one loaded copy at the same time.
#ifndef VORTALIS_STATE_H
#define VORTALIS_STATE_H

#include <cstdint>
#include <cstdio>

#include "kxapi.h"
#include "perflayout.h"

#define MAX_CHANNELS MAX_INSTANCES  // slots of the channel table
#define NAME_SLOT_BYTES KX_NAME_SLOT_BYTES

// Trace facility.
extern uint32_t Debug;  // trace switch: 0 off, anything else on
extern FILE* stream;    // the open trace file, null while none is open

// Channel table and the status work area shared with the channel-status library.
extern int32_t nchans;                                     // slots in use, 0..20
extern uint32_t stats[MAX_CHANNELS];                       // channel status handles
extern char ChannelNames[MAX_CHANNELS][NAME_SLOT_BYTES];   // 8-bit names, zero-terminated
extern uint32_t Work[KX_WORK_AREA_BYTES / 4];              // status work area, 1108 bytes

// Performance object and the cursors of its build.
extern PerfObjectBlock PerfObject;
extern PerfObjectType* const pPerfObject;  // the start of PerfObject, never changed
extern PerfObjectType* pPerfObj;           // the object as built last
extern PerfCounterDefinition* pPerfCounter;
extern PerfInstanceDefinition* pPerfInstance;
extern PerfCounterBlock* pPerfCtrBlk;      // counter block of the instance laid out last
extern unsigned char* pCharPtr;            // byte cursor; Collect sets it before use

static_assert(sizeof(Work) == KX_WORK_AREA_BYTES, "the work area is 1108 bytes");

#endif
