// chanmon's command line.
#include <gtest/gtest.h>

#include <vector>

#include "chanmon_args.h"

namespace {

bool Parse(std::vector<const char*> args, ChanmonOptions* options, std::string* error) {
    args.insert(args.begin(), "chanmon");
    return ParseChanmonArgs(int(args.size()), args.data(), options, error);
}

TEST(ChanmonArgs, Defaults) {
    ChanmonOptions o;
    std::string error;
    ASSERT_TRUE(Parse({}, &o, &error));
    EXPECT_EQ(o.intervalSeconds, 1.0);
    EXPECT_EQ(o.samples, 0u);
    EXPECT_FALSE(o.csv);
    EXPECT_FALSE(o.validate);
}

TEST(ChanmonArgs, EveryOption) {
    ChanmonOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--validate", "-si", "0.5", "--csv", "-sc", "10"}, &o, &error)) << error;
    EXPECT_EQ(o.intervalSeconds, 0.5);
    EXPECT_EQ(o.samples, 10u);
    EXPECT_TRUE(o.csv);
    EXPECT_TRUE(o.validate);
}

TEST(ChanmonArgs, Refusals) {
    const struct {
        std::vector<const char*> args;
        const char* error;
    } cases[] = {
        {{"-si"}, "-si needs a value"},
        {{"-si", "0"}, "-si takes a number of seconds from 0.1 to 86400, not '0'"},
        {{"-si", "2x"}, "-si takes a number of seconds from 0.1 to 86400, not '2x'"},
        {{"-si", "86401"}, "-si takes a number of seconds from 0.1 to 86400, not '86401'"},
        {{"-sc", "0"}, "-sc takes a whole number of samples from 1, not '0'"},
        {{"-sc", "-3"}, "-sc takes a whole number of samples from 1, not '-3'"},
        {{"-sc", "1.5"}, "-sc takes a whole number of samples from 1, not '1.5'"},
        {{"-sc", "3", "-sc", "4"}, "-sc is given twice"},
        {{"--tsv"}, "unknown option '--tsv'"},
        {{"5"}, "unknown option '5'"},
    };
    for (const auto& c : cases) {
        ChanmonOptions o;
        std::string error;
        EXPECT_FALSE(Parse(c.args, &o, &error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
