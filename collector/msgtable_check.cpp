// Windows build only: the ids that windmc gives the messages of vortalis.mc are
// the ids that the collector reports.
#include "vortalis/winapi.h"

#include "messages.h"
#include "vortalis_msg.h"

static_assert(MC_EVENTLOG_OPENED == MSG_EVENTLOG_OPENED, "message id");
static_assert(MC_EVENTLOG_CLOSED == MSG_EVENTLOG_CLOSED, "message id");
static_assert(MC_QM_CONNECT_FAILED == MSG_QM_CONNECT_FAILED, "message id");
static_assert(MC_CHANNEL_STATS_FAILED == MSG_CHANNEL_STATS_FAILED, "message id");
static_assert(MC_PERF_KEY_FAILED == MSG_PERF_KEY_FAILED, "message id");
static_assert(MC_FIRST_COUNTER_FAILED == MSG_FIRST_COUNTER_FAILED, "message id");
static_assert(MC_FIRST_HELP_FAILED == MSG_FIRST_HELP_FAILED, "message id");
