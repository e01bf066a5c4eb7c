// The collector's fixture with a fresh stand-in queue manager installation in the
// test's temporary directory (KXQM_INI).
#ifndef VORTALIS_QM_COLLECTOR_FIXTURE_H
#define VORTALIS_QM_COLLECTOR_FIXTURE_H

#include <cstdlib>

#include "collector_fixture.h"
#include "kxapi.h"
#include "kxsim.h"

#define KXSIM_OK(call) ASSERT_EQ(0, (call)) << kxsimLastError()

class QmCollectorTest : public CollectorTest {
protected:
    void SetUp() override {
        CollectorTest::SetUp();
        ini_ = dir_ + "/kxqm.ini";
        setenv("KXQM_INI", ini_.c_str(), 1);
        KXSIM_OK(kxsimInit());
    }

    void TearDown() override {
        CollectorTest::TearDown();
        unsetenv("KXQM_INI");
    }

    // Queue manager `qm` with `n` sender channels CH01, CH02, ... to host01, ...
    void MakeQm(const char* qm, int n, bool isDefault = true) {
        KXSIM_OK(kxsimCreateQm(qm, isDefault));
        for (int i = 1; i <= n; ++i) KXSIM_OK(kxsimAddChannel(qm, ChannelName(i).c_str(), 1, HostName(i).c_str()));
    }

    static std::string ChannelName(int i) {
        char name[16];
        std::snprintf(name, sizeof name, "CH%02d", i);
        return name;
    }
    static std::string HostName(int i) {
        char name[16];
        std::snprintf(name, sizeof name, "host%02d", i);
        return name;
    }

    static uint32_t HandleOf(const char* qm, const std::string& channel) {
        uint32_t handle = 0;
        EXPECT_EQ(kxsimHandle(qm, channel.c_str(), &handle), 0) << kxsimLastError();
        return handle;
    }

    std::string ini_;
};

#endif
