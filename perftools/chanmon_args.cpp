#include "chanmon_args.h"

#include <cstdlib>
#include <cstring>

const char kChanmonUsage[] =
    "usage: chanmon [-si SECONDS] [-sc SAMPLES] [--csv] [--validate]\n"
    "  -si SECONDS  time between samples, 0.1 to 86400 (default 1)\n"
    "  -sc SAMPLES  number of samples (default: until interrupted)\n"
    "  --csv        comma-separated lines, every field in double quotes\n"
    "  --validate   check every object returned; stop at the first breach\n";

namespace {

bool Interval(const char* text, double* value) {
    char* end = nullptr;
    double v = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(v >= 0.1 && v <= 86400)) return false;
    *value = v;
    return true;
}

bool Count(const char* text, uint32_t* value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (*end != '\0' || v < 1 || v > 0x7FFFFFFFull) return false;
    *value = uint32_t(v);
    return true;
}

}  // namespace

bool ParseChanmonArgs(int argc, const char* const* argv, ChanmonOptions* options, std::string* error) {
    bool seenSi = false, seenSc = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool si = std::strcmp(a, "-si") == 0, sc = std::strcmp(a, "-sc") == 0;
        if (si || sc) {
            if ((si && seenSi) || (sc && seenSc)) {
                *error = std::string(a) + " is given twice";
                return false;
            }
            if (i + 1 >= argc) {
                *error = std::string(a) + " needs a value";
                return false;
            }
            const char* v = argv[++i];
            if (si && !Interval(v, &options->intervalSeconds)) {
                *error = std::string("-si takes a number of seconds from 0.1 to 86400, not '") + v + "'";
                return false;
            }
            if (sc && !Count(v, &options->samples)) {
                *error = std::string("-sc takes a whole number of samples from 1, not '") + v + "'";
                return false;
            }
            (si ? seenSi : seenSc) = true;
        } else if (std::strcmp(a, "--csv") == 0) {
            options->csv = true;
        } else if (std::strcmp(a, "--validate") == 0) {
            options->validate = true;
        } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-?") == 0) {
            options->help = true;
        } else {
            *error = std::string("unknown option '") + a + "'";
            return false;
        }
    }
    return true;
}
