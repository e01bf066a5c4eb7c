#include "hubnamer.h"

#include <gtest/gtest.h>

#include "keyplant.h"
#include "test_support.h"
#include "vortalis/registry_keys.h"

using namespace win32double;

namespace {

const char* const kParams = VORTALIS_PARAMETERS_KEY;
const std::string kParamsFull = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VORTALIS\\Parameters";
const std::string kValueFull = kParamsFull + "\\QMName";

struct NameCase {
    const char* what;
    std::vector<std::string> args;  // after the program name
    bool keyplantFirst;
    std::string line;
    bool stored;       // QMName holds `storedName` afterwards
    std::string storedName;
    int status;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.what; }

const std::string k47(47, 'Q');
const std::string k48(48, 'Q');

class HubnamerCase : public testing::TestWithParam<NameCase> {
  protected:
    void SetUp() override { ResetRegistry(); }
};

TEST_P(HubnamerCase, PrintsOneLineAndStoresTheName) {
    const NameCase& c = GetParam();
    int status;
    if (c.keyplantFirst) {
        CaptureLines([] { return KeyplantRun(); }, &status);
        PutString(kParams, "QMName", "BEFORE");
    }
    std::vector<std::string> argStore = {"hubnamer"};
    argStore.insert(argStore.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    size_t callsBefore = RegistryCalls().size();

    std::vector<std::string> lines =
        CaptureLines([&] { return HubnamerRun(static_cast<int>(argStore.size()), argv.data()); }, &status);
    EXPECT_EQ(lines, std::vector<std::string>{c.line});
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(OpenKeyCount(), 0);
    RegValue v;
    bool present = GetValue(kParams, "QMName", &v);
    if (c.stored) {
        ASSERT_TRUE(present);
        EXPECT_EQ(v.type, REG_SZ);
        EXPECT_EQ(v.data, Bytes(c.storedName));
    } else if (c.keyplantFirst) {
        ASSERT_TRUE(present);
        EXPECT_EQ(v.data, Bytes("BEFORE")) << "a refused name must not reach the registry";
    } else {
        EXPECT_FALSE(KeyExists(kParams)) << "hubnamer never creates the key";
    }
    if (c.status == HUBNAMER_REFUSED) {
        EXPECT_EQ(RegistryCalls().size(), callsBefore) << "nothing is opened";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HubnamerCase,
    testing::Values(
        NameCase{"no_argument", {}, true, "Set " + kValueFull + " to default", true, "", HUBNAMER_OK},
        NameCase{"empty_argument", {""}, true, "Set " + kValueFull + " to default", true, "", HUBNAMER_OK},
        NameCase{"plain_name", {"QM1"}, true, "Set " + kValueFull + " to QM1", true, "QM1", HUBNAMER_OK},
        NameCase{"name_with_blanks", {"QM ONE"}, true, "Set " + kValueFull + " to QM ONE", true, "QM ONE",
                 HUBNAMER_OK},
        NameCase{"second_argument_ignored", {"QM1", "QM2"}, true, "Set " + kValueFull + " to QM1", true, "QM1",
                 HUBNAMER_OK},
        NameCase{"case_kept", {"qm.Mixed/1"}, true, "Set " + kValueFull + " to qm.Mixed/1", true, "qm.Mixed/1",
                 HUBNAMER_OK},
        NameCase{"47_characters", {k47}, true, "Set " + kValueFull + " to " + k47, true, k47, HUBNAMER_OK},
        NameCase{"48_characters", {k48}, true,
                 "Queue manager name not set: it is 48 characters long, the limit is 47 characters", false, "",
                 HUBNAMER_REFUSED},
        NameCase{"before_keyplant", {"QM1"}, false, "Failed to open " + kParamsFull, false, "",
                 HUBNAMER_FAILED},
        NameCase{"too_long_before_keyplant", {std::string(300, 'x')}, false,
                 "Queue manager name not set: it is 300 characters long, the limit is 47 characters", false, "",
                 HUBNAMER_REFUSED}),
    [](const testing::TestParamInfo<NameCase>& i) { return std::string(i.param.what); });

TEST(Hubnamer, FailedWriteSaysSoAndTriesNothingElse) {
    ResetRegistry();
    PutKey(kParams);
    FailRegistry(RegOp::Set, kParams, "QMName", ERROR_ACCESS_DENIED);
    char prog[] = "hubnamer", name[] = "QM1";
    char* argv[] = {prog, name, nullptr};
    int status;
    std::vector<std::string> lines = CaptureLines([&] { return HubnamerRun(2, argv); }, &status);
    EXPECT_EQ(lines, std::vector<std::string>{"Failed to set " + kValueFull});
    EXPECT_EQ(status, HUBNAMER_FAILED);
    EXPECT_EQ(OpenKeyCount(), 0);
}

TEST(Hubnamer, OpensWithAllAccessAndNeverCreates) {
    ResetRegistry();
    PutKey(kParams);
    char prog[] = "hubnamer";
    char* argv[] = {prog, nullptr};
    int status;
    CaptureLines([&] { return HubnamerRun(1, argv); }, &status);
    ASSERT_FALSE(RegistryCalls().empty());
    EXPECT_EQ(RegistryCalls()[0],
              "open HKLM\\System\\CurrentControlSet\\Services\\VORTALIS\\Parameters options=0 access=0xF003F");
    for (const std::string& c : RegistryCalls()) EXPECT_NE(c.rfind("create", 0), 0u) << c;
}

}  // namespace
