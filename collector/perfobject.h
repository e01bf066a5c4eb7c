// The collector's one performance object: instance names from the channel
// status records, and the layout of the whole object in PerfObject.
#ifndef VORTALIS_PERFOBJECT_H
#define VORTALIS_PERFOBJECT_H

#include <cstdint>

// Rewrites slots 0..nchans-1 of ChannelNames as "TYPE:CHANNEL:CONNECTION" from
// each channel's status record, cut to 63 characters; a slot whose status query
// fails keeps its name.
void RefreshChlNames();

// The short text for a channel type code: "SDR", "SRVR", "RCVR", "RQSTR", "CLNT"
// or "????".
const char* ChannelTypeText(uint32_t code);

// Lays out the object in PerfObject for nchans instances named by ChannelNames,
// with the given first counter and first help indexes, and sets pPerfObj. Counter
// values are left as they are.
void BuildPerfObject(uint32_t firstCounter, uint32_t firstHelp);

#endif
