#include "keyplant.h"

#include <gtest/gtest.h>

#include <cctype>

#include "test_support.h"
#include "vortalis/registry_keys.h"

using namespace win32double;

namespace {

const char* const kService = VORTALIS_SERVICE_KEY;
const char* const kParams = VORTALIS_PARAMETERS_KEY;
const char* const kPerf = VORTALIS_PERFORMANCE_KEY;
const char* const kEvent = VORTALIS_EVENT_SOURCE_KEY;

const std::string kServiceFull = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VORTALIS";
const std::string kParamsFull = kServiceFull + "\\Parameters";
const std::string kPerfFull = kServiceFull + "\\Performance";
const std::string kEventFull =
    "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\EventLog\\Application\\VORTALIS";

std::vector<std::string> RunKeyplant(int* status) { return CaptureLines([] { return KeyplantRun(); }, status); }

std::vector<std::string> NewKeyLines() {
    return {"New key " + kServiceFull + " added to registry", "New key " + kParamsFull + " added to registry",
            "New key " + kPerfFull + " added to registry", "New key " + kEventFull + " added to registry"};
}

std::vector<std::string> ExistingKeyLines() {
    return {"Existing key " + kServiceFull + " opened", "Existing key " + kParamsFull + " opened",
            "Existing key " + kPerfFull + " opened", "Existing key " + kEventFull + " opened"};
}

struct Expected {
    const char* key;
    const char* name;
    DWORD type;
    std::vector<uint8_t> data;
};

const std::vector<Expected>& ElevenValues() {
    static const std::vector<Expected> values = {
        {kService, "ErrorControl", REG_DWORD, DwordBytes(1)},
        {kService, "Start", REG_DWORD, DwordBytes(3)},
        {kService, "Type", REG_DWORD, DwordBytes(1)},
        {kParams, "EventLogLevel", REG_DWORD, DwordBytes(3)},
        {kParams, "QMName", REG_SZ, Bytes("")},
        {kPerf, "Library", REG_SZ, Bytes("VORTALIS.DLL")},
        {kPerf, "Open", REG_SZ, Bytes("VortalisOpen")},
        {kPerf, "Collect", REG_SZ, Bytes("VortalisCollect")},
        {kPerf, "Close", REG_SZ, Bytes("VortalisClose")},
        {kEvent, "EventMessageFile", REG_EXPAND_SZ, Bytes("%SystemRoot%\\System32\\VORTALIS.DLL")},
        {kEvent, "TypesSupported", REG_DWORD, DwordBytes(7)},
    };
    return values;
}

void ExpectElevenValues() {
    for (const Expected& e : ElevenValues()) {
        RegValue v;
        ASSERT_TRUE(GetValue(e.key, e.name, &v)) << e.name;
        EXPECT_EQ(v.type, e.type) << e.name;
        EXPECT_EQ(v.data, e.data) << e.name;
    }
}

class KeyplantTest : public testing::Test {
  protected:
    void SetUp() override { ResetRegistry(); }
    void TearDown() override { EXPECT_EQ(OpenKeyCount(), 0) << "a key handle was left open"; }
};

TEST_F(KeyplantTest, FirstRunCreatesFourKeysAndElevenValues) {
    int status;
    EXPECT_EQ(RunKeyplant(&status), NewKeyLines());
    EXPECT_EQ(status, KEYPLANT_OK);
    ExpectElevenValues();
    // Nothing beyond the table: the service key has exactly its three values, no image path.
    EXPECT_EQ(ValueNames(kService), (std::vector<std::string>{"ErrorControl", "Start", "Type"}));
    EXPECT_EQ(ValueNames(kPerf), (std::vector<std::string>{"Library", "Open", "Collect", "Close"}));
    // Every key is created from HKEY_LOCAL_MACHINE by its whole path, non-volatile, all access.
    int creates = 0;
    for (const std::string& call : RegistryCalls()) {
        if (call.rfind("create ", 0) != 0) continue;
        ++creates;
        EXPECT_NE(call.find("create HKLM\\System\\CurrentControlSet\\Services\\"), std::string::npos) << call;
        EXPECT_NE(call.find(" options=0 access=0xF003F"), std::string::npos) << call;
        EXPECT_EQ(call.find("class"), std::string::npos) << call;
        EXPECT_EQ(call.find("security"), std::string::npos) << call;
    }
    EXPECT_EQ(creates, 4);
    // DebugLevel is read first, through the Parameters key opened for reading only.
    ASSERT_FALSE(RegistryCalls().empty());
    std::string open = RegistryCalls().front();
    for (char& ch : open) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(open, "open hklm\\system\\currentcontrolset\\services\\vortalis\\parameters options=0 access=0x20019");
}

TEST_F(KeyplantTest, SecondRunRewritesOwnValuesAndKeepsOthers) {
    int status;
    RunKeyplant(&status);
    PutString(kParams, "QMName", "QM.ONE");
    PutDword(kParams, "EventLogLevel", 0);
    PutDword(kParams, "DebugLevel", 0);
    PutDword(kPerf, "First Counter", 700);
    PutString(kEvent, "Other", "kept");

    EXPECT_EQ(RunKeyplant(&status), ExistingKeyLines());
    EXPECT_EQ(status, KEYPLANT_OK);
    ExpectElevenValues();
    RegValue v;
    ASSERT_TRUE(GetValue(kParams, "DebugLevel", &v));
    EXPECT_EQ(v.data, DwordBytes(0));
    ASSERT_TRUE(GetValue(kPerf, "First Counter", &v));
    EXPECT_EQ(v.data, DwordBytes(700));
    ASSERT_TRUE(GetValue(kEvent, "Other", &v));
    EXPECT_EQ(v.data, Bytes("kept"));
}

// What DebugLevel holds decides whether the value lines are printed.
struct DebugCase {
    const char* what;
    DWORD type;
    std::vector<uint8_t> data;
    bool verbose;
};

void PrintTo(const DebugCase& c, std::ostream* os) { *os << c.what; }

class KeyplantDebugLevel : public KeyplantTest, public testing::WithParamInterface<DebugCase> {};

TEST_P(KeyplantDebugLevel, ChoosesHowMuchIsPrinted) {
    const DebugCase& c = GetParam();
    PutValue(kParams, "DebugLevel", c.type, c.data.data(), c.data.size());
    int status;
    std::vector<std::string> lines = RunKeyplant(&status);
    EXPECT_EQ(status, KEYPLANT_OK);
    // DebugLevel's own write made the service and Parameters keys exist already.
    if (!c.verbose) {
        EXPECT_EQ(lines, (std::vector<std::string>{"Existing key " + kServiceFull + " opened",
                                                   "Existing key " + kParamsFull + " opened",
                                                   "New key " + kPerfFull + " added to registry",
                                                   "New key " + kEventFull + " added to registry"}));
        return;
    }
    const std::vector<std::string> expected = {
        "Existing key " + kServiceFull + " opened",
        "ErrorControl value set in " + kServiceFull,
        "Start value set in " + kServiceFull,
        "Type value set in " + kServiceFull,
        "Existing key " + kParamsFull + " opened",
        "EventLogLevel value set in " + kParamsFull,
        "QMName value set in " + kParamsFull,
        "New key " + kPerfFull + " added to registry",
        "Library value set in " + kPerfFull,
        "Open value set in " + kPerfFull,
        "Collect value set in " + kPerfFull,
        "Close value set in " + kPerfFull,
        "New key " + kEventFull + " added to registry",
        "EventMessageFile value set in " + kEventFull,
        "TypesSupported value set in " + kEventFull,
    };
    EXPECT_EQ(lines, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyplantDebugLevel,
    testing::Values(DebugCase{"one", REG_DWORD, DwordBytes(1), true},
                    DebugCase{"all_bits", REG_DWORD, DwordBytes(0xFFFFFFFF), true},
                    DebugCase{"binary_4_bytes", REG_BINARY, DwordBytes(2), true},
                    DebugCase{"two_bytes", REG_BINARY, {0x01, 0x00}, true},
                    DebugCase{"short_text", REG_SZ, Bytes("abc"), true},
                    DebugCase{"zero", REG_DWORD, DwordBytes(0), false},
                    DebugCase{"eight_bytes", REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0}, false},
                    DebugCase{"long_text", REG_SZ, Bytes("abcd"), false}),
    [](const testing::TestParamInfo<DebugCase>& i) { return std::string(i.param.what); });

// A key that can be neither created nor opened ends the run; what came before stays.
struct CreateFailure {
    const char* what;
    const char* key;
    size_t keysBefore;   // keys written before the failing one
    size_t valuesBefore; // values written before it
};

void PrintTo(const CreateFailure& c, std::ostream* os) { *os << c.what; }

class KeyplantCreateFailure : public KeyplantTest, public testing::WithParamInterface<CreateFailure> {};

TEST_P(KeyplantCreateFailure, StopsAtTheKeyAndUndoesNothing) {
    const CreateFailure& c = GetParam();
    FailRegistry(RegOp::Create, c.key, nullptr, ERROR_ACCESS_DENIED);
    int status;
    std::vector<std::string> lines = RunKeyplant(&status);
    EXPECT_EQ(status, KEYPLANT_STOPPED);
    std::vector<std::string> expected = NewKeyLines();
    expected.resize(c.keysBefore);
    expected.push_back("Unable to create HKEY_LOCAL_MACHINE\\" + std::string(c.key));
    EXPECT_EQ(lines, expected);
    for (size_t i = 0; i < ElevenValues().size(); ++i) {
        RegValue v;
        EXPECT_EQ(GetValue(ElevenValues()[i].key, ElevenValues()[i].name, &v), i < c.valuesBefore)
            << ElevenValues()[i].name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, KeyplantCreateFailure,
                         testing::Values(CreateFailure{"service", kService, 0, 0},
                                         CreateFailure{"parameters", kParams, 1, 3},
                                         CreateFailure{"performance", kPerf, 2, 5},
                                         CreateFailure{"event_source", kEvent, 3, 9}),
                         [](const testing::TestParamInfo<CreateFailure>& i) { return std::string(i.param.what); });

TEST_F(KeyplantTest, StoppedRunPrintsNoCloseFailureEvenWhenVerbose) {
    PutDword(kParams, "DebugLevel", 1);
    FailRegistry(RegOp::Create, kEvent, nullptr, ERROR_ACCESS_DENIED);
    FailRegistry(RegOp::Close, kService, nullptr, ERROR_INVALID_HANDLE);
    FailRegistry(RegOp::Close, kPerf, nullptr, ERROR_INVALID_HANDLE);
    int status;
    std::vector<std::string> lines = RunKeyplant(&status);
    EXPECT_EQ(status, KEYPLANT_STOPPED);
    // Three keys with their nine value lines, then the key that could not be made.
    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(lines[11], "Close value set in " + kPerfFull);
    EXPECT_EQ(lines[12], "Unable to create " + kEventFull);
}

TEST_F(KeyplantTest, FailedWriteIsReportedOnlyWhenVerboseAndTheRunGoesOn) {
    for (DWORD level : {0u, 1u}) {
        ResetRegistry();
        PutDword(kParams, "DebugLevel", level);
        FailRegistry(RegOp::Set, kParams, "EventLogLevel", ERROR_ACCESS_DENIED);
        int status;
        std::vector<std::string> lines = RunKeyplant(&status);
        EXPECT_EQ(status, KEYPLANT_INCOMPLETE);
        bool reported = false;
        for (const std::string& l : lines) reported |= l == "EventLogLevel value could not be set in " + kParamsFull;
        EXPECT_EQ(reported, level != 0);
        EXPECT_EQ(lines.size(), level ? 15u : 4u);
        RegValue v;
        EXPECT_FALSE(GetValue(kParams, "EventLogLevel", &v));
        EXPECT_TRUE(GetValue(kParams, "QMName", &v)) << "the run goes on after a failed write";
        EXPECT_TRUE(GetValue(kEvent, "TypesSupported", &v));
    }
}

TEST_F(KeyplantTest, FailedClosesAreReportedLastAndTheOthersStillClose) {
    for (DWORD level : {0u, 7u}) {
        ResetRegistry();
        PutDword(kParams, "DebugLevel", level);
        FailRegistry(RegOp::Close, kService, nullptr, ERROR_INVALID_HANDLE);
        FailRegistry(RegOp::Close, kEvent, nullptr, ERROR_INVALID_HANDLE);
        int status;
        std::vector<std::string> lines = RunKeyplant(&status);
        EXPECT_EQ(status, KEYPLANT_INCOMPLETE);
        if (level == 0) {
            EXPECT_EQ(lines.size(), 4u);
            continue;
        }
        ASSERT_EQ(lines.size(), 17u);
        EXPECT_EQ(lines[15], "Unable to close Vortalis key");
        EXPECT_EQ(lines[16], "Unable to close Event subkey");
    }
}

TEST_F(KeyplantTest, UnknownDispositionHasItsOwnLine) {
    ForceDisposition(kPerf, 7);
    int status;
    std::vector<std::string> lines = RunKeyplant(&status);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Key " + kPerfFull + " disposition unknown");
    ExpectElevenValues();
}

}  // namespace
