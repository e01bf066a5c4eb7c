// What the stand-in queue manager's native tests share: a fresh installation in a
// temporary directory per test (KXQM_INI), and a caller that sets up the status
// work area and connects as the collector does.
#ifndef QM_FIXTURE_H
#define QM_FIXTURE_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kxapi.h"
#include "kxsim.h"

#define KX_OK_(call) ASSERT_EQ(0, (call)) << kxsimLastError()

inline std::string Padded(const std::string& name) {
    std::string p = name;
    p.resize(KX_QM_NAME_LENGTH, ' ');
    return p;
}

// A caller of the libraries, as the collector is.
struct Caller {
    unsigned char work[KX_WORK_AREA_BYTES];
    unsigned char record[KX_STATUS_RECORD_BYTES];
    KxQmDetails details;
    int32_t cc = -1, reason = -1;

    Caller() {
        memset(work, 0, sizeof work);
        memcpy(work, "RWRK", 4);
        Put(900, 0xFFFFFFFFu);
        memcpy(work + 904, xcsIC_SYSTEM_SUBPOOL, 16);
        memset(work + 920, ' ', 48);
        Put(996, 1);
        for (int i = 0; i < 4; ++i) Put(1000 + 4 * i, 0xFFFFFFFFu);
        Put(1020, 0xFFFFFFFFu);
        Put(1024, 1);
        Put(1028, 0xFFFFFFFFu);
        Put(1032, 0xFFFFFFFFu);
        memset(&details, 0, sizeof details);
    }
    void Put(int offset, uint32_t v) { memcpy(work + offset, &v, 4); }
    uint32_t Connection() const {
        uint32_t v;
        memcpy(&v, work + 900, 4);
        return v;
    }

    // details, initialize and connect; the connect's return value.
    uint32_t Connect(const std::string& qm = "") {
        uint32_t rc = lpiObtainQMDetails(0, 0, 0, &details);
        if (rc) return rc;
        rc = xcsInitialize(48, 16647, "@SYSTEM", &details, 0);
        if ((rc >> 24) == 0x20 || (rc >> 24) == 0x40) return rc;
        std::string name = Padded(qm);
        rc = KXCONN(name.c_str(), reinterpret_cast<int32_t*>(work + 900), &cc, &reason);
        if (cc != KXCC_FAILED) memcpy(work + 920, name.data(), 48);
        return rc;
    }

    // The whole walk: the handles in order, and the code that ended it.
    std::vector<uint32_t> Walk(uint32_t* last) {
        std::vector<uint32_t> handles;
        uint32_t cursor = 0;
        while ((*last = rrxGetNextStatusEntry(&cursor, record, work)) == 0) handles.push_back(cursor);
        return handles;
    }
    uint32_t Query(uint32_t handle) { return rrxQueryStatusEntry(handle, record, work); }

    uint32_t Field(uint32_t offset) const {
        uint32_t v;
        memcpy(&v, record + offset, 4);
        return v;
    }
    std::string ChannelName() const {  // the blank-padded field, up to its first blank
        std::string s(reinterpret_cast<const char*>(record + KXREC_CHANNEL_NAME), KXREC_CHANNEL_NAME_LENGTH);
        return s.substr(0, s.find(' '));
    }
    std::string ConnectionName() const { return reinterpret_cast<const char*>(record + KXREC_CONNECTION_NAME); }
    bool Whole() const { return kxsimChecksum(record) == Field(KXSIM_REC_CHECKSUM); }
};

class QmTest : public ::testing::Test {
protected:
    std::string dir, ini;

    void SetUp() override {
        char pattern[] = "/tmp/kxqm-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
        ini = dir + "/kxqm.ini";
        setenv("KXQM_INI", ini.c_str(), 1);
        KX_OK_(kxsimInit());
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // A queue manager with `n` sender channels CH01, CH02, ... to host01(1414), ...
    void MakeQm(const std::string& qm, int n, bool isDefault = true) {
        KX_OK_(kxsimCreateQm(qm.c_str(), isDefault));
        for (int i = 1; i <= n; ++i) {
            char name[16], conname[32];
            snprintf(name, sizeof name, "CH%02d", i);
            snprintf(conname, sizeof conname, "host%02d(1414)", i);
            KX_OK_(kxsimAddChannel(qm.c_str(), name, 1, conname));
        }
    }
};

#endif
