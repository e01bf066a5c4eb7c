// Ids of the collector's event messages (the message table compiled from
// vortalis.mc). Severity in the top two bits (01 informational, 11 error), the
// customer bit set, facility 0, and the event number 2000..2006 below.
#ifndef VORTALIS_MESSAGES_H
#define VORTALIS_MESSAGES_H

#define MSG_EVENTLOG_OPENED 0x600007D0u       // the event source is registered
#define MSG_EVENTLOG_CLOSED 0x600007D1u       // the last hold on the event source is released
#define MSG_QM_CONNECT_FAILED 0xE00007D2u     // data: the connection's reason code
#define MSG_CHANNEL_STATS_FAILED 0xE00007D3u  // data: a status code
#define MSG_PERF_KEY_FAILED 0xE00007D4u       // data: the registry error code
#define MSG_FIRST_COUNTER_FAILED 0xE00007D5u  // data: the registry error code
#define MSG_FIRST_HELP_FAILED 0xE00007D6u     // data: the registry error code

#endif
