// The trace file: the debug switch from the registry, appending, trace lines and
// the memory dump.
#include <sys/stat.h>
#include <sys/wait.h>

#include "collector_fixture.h"

namespace {

using TraceTest = CollectorTest;

struct DumpCase {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* expected;
};

std::vector<uint8_t> Sequence(uint8_t first, size_t count) {
    std::vector<uint8_t> b;
    for (size_t i = 0; i < count; ++i) b.push_back(uint8_t(first + i));
    return b;
}

TEST_F(TraceTest, DumpShowsRowsOfTwentyBytes) {
    const DumpCase cases[] = {
        {"the six-byte example", {0x41, 0x42, 0x00, 0x0A, 0x7F, 0xC8}, "\n4142 0 A7FC8  AB\n"},
        {"0 bytes", {}, ""},
        {"20 bytes", Bytes("ABCDEFGHIJKLMNOPQRST", false),
         "\n4142434445464748494A4B4C4D4E4F5051525354  ABCDEFGHIJKLMNOPQRST\n"},
        {"21 bytes", Bytes("ABCDEFGHIJKLMNOPQRSTU", false),
         "\n4142434445464748494A4B4C4D4E4F5051525354  ABCDEFGHIJKLMNOPQRST\n55  U\n"},
        {"64 bytes", Sequence(0x00, 64),
         "\n"
         " 0 1 2 3 4 5 6 7 8 9 A B C D E F10111213  \n"
         "1415161718191A1B1C1D1E1F2021222324252627   !\"#$%&'\n"
         "28292A2B2C2D2E2F303132333435363738393A3B  ()*+,-./0123456789:;\n"
         "3C3D3E3F  <=>?\n"},
        {"tab, line ends, 0x80 and 0xFF are not printable, the blank is",
         {0x09, 0x0D, 0x80, 0xFF, 0x20, 0x7E}, "\n 9 D80FF207E   ~\n"},
    };
    for (const DumpCase& c : cases) {
        ResetCollectorState();
        std::remove(TRACE_FILE_NAME);
        StartTracing();
        // An exactly sized copy: the sanitizer sees any read past the end.
        std::vector<uint8_t> data(c.bytes);
        TraceDump(data.empty() ? nullptr : data.data(), uint32_t(data.size()), stream);
        EXPECT_EQ(TraceText(), c.expected) << c.what;
    }
}

TEST_F(TraceTest, DumpFlushesWhateverItWrites) {
    StartTracing();
    const uint8_t bytes[3] = {1, 2, 3};

    TraceLine("before %d\n", 1);
    TraceDump(bytes, 0, stream);
    std::ifstream first(TRACE_FILE_NAME, std::ios::binary);
    std::string onDisk((std::istreambuf_iterator<char>(first)), std::istreambuf_iterator<char>());
    EXPECT_EQ(onDisk, "before 1\n") << "a dump of 0 bytes writes nothing and still flushes";

    TraceLine("before %d\n", 2);
    Debug = 0;
    TraceDump(bytes, 3, stream);
    TraceLine("never\n");
    std::ifstream second(TRACE_FILE_NAME, std::ios::binary);
    onDisk.assign((std::istreambuf_iterator<char>(second)), std::istreambuf_iterator<char>());
    EXPECT_EQ(onDisk, "before 1\nbefore 2\n") << "with tracing off a dump only flushes";
}

TEST_F(TraceTest, TraceLinesWaitInTheBufferUntilClose) {
    StartTracing();
    TraceLine("first %d\n", 1);
    TraceLine("second %d\n", 2);
    std::ifstream file(TRACE_FILE_NAME, std::ios::binary);
    const std::string onDisk((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(onDisk, "") << "nothing is written out after a line";
    CloseTraceFile();
    EXPECT_EQ(TraceText(), "first 1\nsecond 2\n");
}

TEST_F(TraceTest, TraceLinesNeedTheSwitchAndAnOpenFile) {
    TraceLine("off %d\n", 1);
    EXPECT_FALSE(TraceFileExists());

    // Switch on, but the file failed to open: nothing is written, nothing fails.
    Debug = 1;
    const uint8_t bytes[2] = {0x41, 0x42};
    TraceLine("no file %s\n", "open");
    TraceDump(bytes, 2, stream);
    EXPECT_FALSE(TraceFileExists());

    OpenTraceFile();
    TraceLine("line %ld\n", TraceLong(0xFFFFFFFFu));
    TraceLine("hex %lx\n", static_cast<unsigned long>(0x20809901u));
    CloseTraceFile();
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(Debug, 1u) << "closing the file leaves the switch";
    EXPECT_EQ(TraceText(), "line -1\nhex 20809901\n");
    CloseTraceFile();  // nothing open: nothing happens
}

TEST_F(TraceTest, TraceFileIsAppendedToAcrossOpens) {
    {
        std::ofstream old(TRACE_FILE_NAME, std::ios::binary);
        old << "earlier process\n";
    }
    StartTracing();
    TraceLine("first open\n");
    FILE* opened = stream;
    OpenTraceFile();
    EXPECT_EQ(stream, opened) << "an open trace file is kept, not opened twice";
    CloseTraceFile();
    StartTracing();
    TraceLine("second open\n");
    CloseTraceFile();
    EXPECT_EQ(TraceText(), "earlier process\nfirst open\nsecond open\n");
}

TEST_F(TraceTest, TraceFileThatCannotOpenIsNeverWritten) {
    ASSERT_EQ(mkdir(TRACE_FILE_NAME, 0700), 0) << "a directory in the file's place";
    Debug = 1;
    OpenTraceFile();
    EXPECT_EQ(stream, nullptr);
    const uint8_t bytes[4] = {1, 2, 3, 4};
    TraceLine("lost %d\n", 4);
    TraceDump(bytes, 4, stream);
    CloseTraceFile();
    EXPECT_EQ(stream, nullptr);
}

// Every process with tracing on appends to the same file. Whatever the moments
// at which their buffers go out, each line and dump row arrives whole, and none
// is lost.
TEST_F(TraceTest, ProcessesTracingAtOnceKeepTheirLinesWhole) {
    const int processes = 4, rounds = 2000;
    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            Debug = 1;
            OpenTraceFile();
            uint8_t bytes[45];
            for (size_t b = 0; b < sizeof bytes; ++b) bytes[b] = uint8_t('a' + p);
            for (int r = 0; r < rounds; ++r) {
                TraceLine("process %d round %d of the trace, a line of some length\n", p, r);
                if (r % 100 == 99) TraceDump(bytes, sizeof bytes, stream);
            }
            CloseTraceFile();
            std::_Exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<int> lines(processes, 0), rows(processes, 0);
    int broken = 0;
    for (const std::string& line : SplitLines(TraceText())) {
        int p = -1, r = -1;
        char tail = 0;
        if (std::sscanf(line.c_str(), "process %d round %d of the trace, a line of some lengt%c", &p, &r, &tail) == 3 &&
            tail == 'h' && line.size() == line.find("length") + 6 && p >= 0 && p < processes) {
            ++lines[p];
        } else if (line.empty()) {
            // the line end that starts every dump
        } else if (line.size() == 2 * 20 + 2 + 20 && line[0] == '6' && line.substr(40, 2) == "  " &&
                   line.substr(42) == std::string(20, line[42]) && line[42] >= 'a' && line[42] < 'a' + processes) {
            ++rows[line[42] - 'a'];
        } else if (line.size() == 2 * 5 + 2 + 5 && line.substr(10, 2) == "  " && line[12] >= 'a' &&
                   line[12] < 'a' + processes && line.substr(12) == std::string(5, line[12])) {
            ++rows[line[12] - 'a'];
        } else if (++broken <= 3) {
            ADD_FAILURE() << "a torn line: '" << line << "'";
        }
    }
    EXPECT_EQ(broken, 0);
    for (int p = 0; p < processes; ++p) {
        EXPECT_EQ(lines[p], rounds) << "process " << p;
        EXPECT_EQ(rows[p], rounds / 100 * 3) << "process " << p << ": three rows per dump of 45 bytes";
    }
}

struct LevelCase {
    const char* what;
    bool present;
    DWORD type;
    std::vector<uint8_t> data;
    uint32_t before;
    uint32_t after;
};

TEST_F(TraceTest, DebugLevelIsReadIntoFourBytes) {
    const LevelCase cases[] = {
        {"missing: the switch keeps its value", false, REG_DWORD, {}, 7, 7},
        {"0 turns tracing off", true, REG_DWORD, DwordBytes(0), 7, 0},
        {"1", true, REG_DWORD, DwordBytes(1), 0, 1},
        {"0xFFFFFFFF", true, REG_DWORD, DwordBytes(0xFFFFFFFFu), 0, 0xFFFFFFFFu},
        {"another type with 4 bytes is read alike", true, REG_BINARY, {0x02, 0x01, 0x00, 0x00}, 0, 0x102},
        {"8 bytes cannot be read", true, REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0}, 5, 5},
        {"2 bytes fill the low bytes", true, REG_BINARY, {0x34, 0x12}, 0, 0x1234},
    };
    for (const LevelCase& c : cases) {
        win32double::ResetRegistry();
        win32double::PutKey(VORTALIS_PARAMETERS_KEY);
        if (c.present)
            win32double::PutValue(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_DEBUG_LEVEL, c.type, c.data.data(),
                                  c.data.size());
        Debug = c.before;
        ReadDebugLevel();
        EXPECT_EQ(Debug, c.after) << c.what;
        EXPECT_EQ(win32double::OpenKeyCount(), 0) << c.what << ": the key is closed again";
    }

    win32double::ResetRegistry();
    Debug = 9;
    ReadDebugLevel();
    EXPECT_EQ(Debug, 9u) << "no Parameters key: the switch keeps its value";

    win32double::PutDword(VORTALIS_PARAMETERS_KEY, VORTALIS_VAL_DEBUG_LEVEL, 1);
    const auto before = win32double::RegistryCalls().size();
    ReadDebugLevel();
    const auto& calls = win32double::RegistryCalls();
    ASSERT_EQ(calls.size(), before + 3);
    EXPECT_EQ(calls[before], "open HKLM\\System\\CurrentControlSet\\Services\\VORTALIS\\Parameters options=0 "
                             "access=0x20019");
    EXPECT_EQ(calls[before + 1], "query HKLM\\System\\CurrentControlSet\\Services\\VORTALIS\\Parameters DebugLevel");
    EXPECT_EQ(calls[before + 2], "close HKLM\\System\\CurrentControlSet\\Services\\VORTALIS\\Parameters");
}

}  // namespace
