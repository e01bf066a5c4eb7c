// chanmon's command line: [-si SECONDS] [-sc SAMPLES] [--csv] [--validate].
#ifndef PERFTOOLS_CHANMON_ARGS_H
#define PERFTOOLS_CHANMON_ARGS_H

#include <cstdint>
#include <string>

struct ChanmonOptions {
    double intervalSeconds = 1;  // -si
    uint32_t samples = 0;        // -sc; 0: until interrupted
    bool csv = false;
    bool validate = false;
    bool help = false;
};

extern const char kChanmonUsage[];

// False, with *error, for an unknown option, a missing or bad value, or an
// option given twice.
bool ParseChanmonArgs(int argc, const char* const* argv, ChanmonOptions* options, std::string* error);

#endif
