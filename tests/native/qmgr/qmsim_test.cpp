// qmsim as a program: its commands, its refusals, and a reader in this process
// while `qmsim traffic` writes in another.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>

#include "qm_fixture.h"

namespace {

struct Result {
    int status = -1;  // exit status, or -1 when it did not exit
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Starts qmsim with `args`, its output going to files in `dir`.
pid_t Start(const std::string& dir, const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        int out = open((dir + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open((dir + "/err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv{const_cast<char*>(QMSIM_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(QMSIM_PATH, argv.data());
        _exit(127);
    }
    return pid;
}

Result Finish(const std::string& dir, pid_t pid) {
    Result r;
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.status = WEXITSTATUS(status);
    r.out = Slurp(dir + "/out");
    r.err = Slurp(dir + "/err");
    return r;
}

Result Qmsim(const std::string& dir, const std::vector<std::string>& args) { return Finish(dir, Start(dir, args)); }

// Every file of the installation, by name, with a hash of its bytes.
std::map<std::string, size_t> Snapshot(const std::string& dir) {
    std::map<std::string, size_t> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file() && e.path().filename() != "out" && e.path().filename() != "err" &&
            e.path().filename() != "lock")
            files[e.path().string()] = std::hash<std::string>()(Slurp(e.path().string()));
    return files;
}

class QmsimTest : public QmTest {
protected:
    Result Run(const std::vector<std::string>& args) { return Qmsim(dir, args); }
};

}  // namespace

TEST_F(QmsimTest, CommandsSetUpWhatTheLibrariesShow) {
    const std::vector<std::vector<std::string>> steps = {
        {"init"},
        {"create", "QM1", "--default"},
        {"create", "QM2"},
        {"channel", "QM1", "TO.QM2", "--type", "SDR", "--conname", "host2(1414)"},
        {"channel", "QM1", "FROM.QM2", "--type", "RCVR", "--conname", ""},
        {"channel", "QM1", "ODD", "--conname", "x", "--type", "5"},
        {"channel", "QM1", "GONE", "--type", "CLNT", "--conname", "x"},
        {"set", "QM1", "TO.QM2", "1964=010", "0x7b0=0x20", "--flag", "N"},
        {"restart", "QM1", "FROM.QM2"},
        {"remove", "QM1", "GONE"},
        {"fail", "query", "0x20001111"},
        {"fail", "query", "0"},
        {"stop", "QM2"},
    };
    for (const auto& args : steps) {
        Result r = Run(args);
        EXPECT_EQ(0, r.status) << args[0] << ": " << r.err;
        EXPECT_EQ("", r.err) << args[0];
    }
    Result show = Run({"show"});
    ASSERT_EQ(0, show.status) << show.err;
    EXPECT_EQ("settings " + ini + "\ndata prefix " + dir +
                  "/data\n"
                  "queue manager QM1 (default) running\n"
                  "  channel TO.QM2 type 1 SDR conname 'host2(1414)' handle 0x01001001 flag N\n"
                  "    messages 10 sent 32 received 0 1976=0 1984=0 1988=0 1992=0 1996=0 1928=0 308=0 1940=0 "
                  "1944=0\n"
                  "  channel FROM.QM2 type 3 RCVR conname '' handle 0x01002002 flag Y\n"
                  "    messages 0 sent 0 received 0 1976=0 1984=0 1988=0 1992=0 1996=0 1928=0 308=0 1940=0 1944=0\n"
                  "  channel ODD type 5 ???? conname 'x' handle 0x01003001 flag Y\n"
                  "    messages 0 sent 0 received 0 1976=0 1984=0 1988=0 1992=0 1996=0 1928=0 308=0 1940=0 1944=0\n"
                  "queue manager QM2 stopped\n",
              show.out);
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t last;
    EXPECT_EQ((std::vector<uint32_t>{0x01001001, 0x01002002, 0x01003001}), c.Walk(&last));
    EXPECT_EQ(uint32_t(KXRC_QM_STOPPED), Caller().Connect("QM2"));
}

TEST_F(QmsimTest, BadArgumentsAreRefusedAndChangeNothing) {
    ASSERT_EQ(0, Run({"create", "QM1", "--default"}).status);
    ASSERT_EQ(0, Run({"channel", "QM1", "CH1", "--type", "SDR", "--conname", "x"}).status);
    ASSERT_EQ(0, Run({"fail", "next", "7"}).status);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;  // part of the first line on standard error
    } cases[] = {
        {{}, 2, "no command"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"init", "extra"}, 2, "wrong arguments for init"},
        {{"create"}, 2, "wrong arguments for create"},
        {{"create", "QM2", "--dflt"}, 2, "wrong arguments for create"},
        {{"create", "QM 2"}, 1, "bad queue manager name 'QM 2'"},
        {{"create", "QM1"}, 1, "exists already"},
        {{"channel", "QM1", "CH2", "--type", "SENDER", "--conname", "x"}, 2, "bad channel type 'SENDER'"},
        {{"channel", "QM1", "CH2", "--type", "SDR"}, 2, "needs --type and --conname"},
        {{"channel", "QM1", "CH2", "--type", "SDR", "--conname"}, 2, "--conname needs a value"},
        {{"channel", "QM1", "CH2", "--type", "SDR", "--conname", "x", "--x", "y"}, 2, "unexpected --x"},
        {{"channel", "QMX", "CH2", "--type", "SDR", "--conname", "x"}, 1, "no queue manager 'QMX'"},
        {{"channel", "QM1", "CH1", "--type", "SDR", "--conname", "x"}, 1, "exists already"},
        {{"channel", "QM1", "A.NAME.OF.21.CHARS...", "--type", "1", "--conname", "x"}, 1, "bad channel name"},
        {{"set", "QM1", "CH1"}, 2, "at least one OFFSET=VALUE"},
        {{"set", "QM1", "CH1", "1964=1", "1966=1"}, 2, "bad offset in '1966=1'"},
        {{"set", "QM1", "CH1", "1964=1", "2036=1"}, 2, "bad offset in '2036=1'"},
        {{"set", "QM1", "CH1", "0=1"}, 2, "bad offset in '0=1'"},
        {{"set", "QM1", "CH1", "1964=0x100000000"}, 2, "bad field '1964=0x100000000'"},
        {{"set", "QM1", "CH1", "1964=-1"}, 2, "bad field '1964=-1'"},
        {{"set", "QM1", "CH1", "1964"}, 2, "bad field '1964'"},
        {{"set", "QM1", "CH1", "1964=0x"}, 2, "bad field '1964=0x'"},
        {{"set", "QM1", "CH1", "1964= 1"}, 2, "bad field '1964= 1'"},
        {{"set", "QM1", "CH1", "1964=1", "--flag", "y"}, 2, "--flag takes Y or N"},
        {{"set", "QM1", "CH9", "1964=1"}, 1, "no channel 'CH9' on queue manager QM1"},
        {{"restart", "QM1"}, 2, "wrong arguments for restart"},
        {{"restart", "QM1", "CH9"}, 1, "no channel 'CH9'"},
        {{"remove", "QMX", "CH1"}, 1, "no queue manager 'QMX'"},
        {{"stop", "QMX"}, 1, "no queue manager 'QMX'"},
        {{"fail", "connect", "2"}, 2, "fail connect needs COMPLETION REASON"},
        {{"fail", "connect", "3", "1"}, 2, "completion code is 1 or 2"},
        {{"fail", "query", "1", "2"}, 2, "only connect takes a reason code"},
        {{"fail", "query", "x1"}, 2, "bad code 'x1'"},
        {{"fail", "querry", "1"}, 2, "unknown operation 'querry'"},
        {{"fail", "all", "1"}, 2, "fail all takes only 0"},
        {{"traffic", "QM1"}, 2, "traffic needs --seconds S"},
        {{"traffic", "QM1", "--seconds", "0"}, 2, "--seconds takes a number"},
        {{"traffic", "QM1", "--seconds", "1", "--rate", "0"}, 2, "--rate takes a whole number"},
        {{"traffic", "QMX", "--seconds", "1"}, 1, "no queue manager 'QMX'"},
        {{"show", "QMX"}, 1, "no queue manager 'QMX'"},
    };
    const auto before = Snapshot(dir);
    for (const Case& k : cases) {
        std::string what = k.args.empty() ? "(none)" : k.args[0] + " ...";
        for (size_t i = 1; i < k.args.size(); ++i) what += " " + k.args[i];
        Result r = Run(k.args);
        EXPECT_EQ(k.status, r.status) << what;
        EXPECT_EQ("", r.out) << what;
        std::string first = r.err.substr(0, r.err.find('\n'));
        EXPECT_EQ(0u, first.rfind("qmsim: ", 0)) << what << ": " << first;
        EXPECT_NE(std::string::npos, first.find(k.message)) << what << ": " << first;
        EXPECT_TRUE(before == Snapshot(dir)) << what;
    }
}

TEST_F(QmsimTest, CommandsNeedAnInstallation) {
    std::filesystem::remove(ini);
    Result r = Run({"create", "QM1"});
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.err.find("cannot read settings file " + ini)) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("run qmsim init first")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(ini));
    // init makes a missing folder and is idempotent
    std::string nested = dir + "/a/b/kxqm.ini";
    setenv("KXQM_INI", nested.c_str(), 1);
    for (int i = 0; i < 2; ++i) {
        Result init = Run({"init"});
        EXPECT_EQ(0, init.status) << init.err;
        EXPECT_EQ("settings file " + nested + "\n", init.out);
    }
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/a/b/data"));
}

// While `qmsim traffic` rewrites every record many times a millisecond, each
// record read here is whole (its checksum holds) and no count goes backwards.
TEST_F(QmsimTest, ReaderInAnotherProcessSeesOnlyWholeRecords) {
    KX_OK_(kxsimCreateQm("QM1", 1));
    const uint32_t types[] = {1, 2, 3, 4, 6, 7};
    for (int i = 0; i < 6; ++i) KX_OK_(kxsimAddChannel("QM1", ("CH" + std::to_string(i)).c_str(), types[i], "h"));
    Caller c;
    ASSERT_EQ(0u, c.Connect());
    uint32_t last;
    std::vector<uint32_t> handles = c.Walk(&last);
    ASSERT_EQ(6u, handles.size());

    pid_t writer = Start(dir, {"traffic", "QM1", "--seconds", "2", "--rate", "100000"});
    std::vector<uint32_t> previous(handles.size(), 0);
    unsigned reads = 0, torn = 0, backwards = 0, changes = 0, failures = 0;
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (waitpid(writer, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < deadline) {
        for (size_t i = 0; i < handles.size(); ++i) {
            if (c.Query(handles[i]) != 0) {
                ++failures;
                continue;
            }
            ++reads;
            if (!c.Whole()) ++torn;
            uint32_t messages = c.Field(KXREC_MESSAGES);
            if (messages < previous[i]) ++backwards;
            if (messages != previous[i]) ++changes;
            previous[i] = messages;
        }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
        kill(writer, SIGKILL);
        waitpid(writer, &status, 0);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Slurp(dir + "/err");
    EXPECT_EQ(0u, torn) << "of " << reads << " reads";
    EXPECT_EQ(0u, backwards);
    EXPECT_EQ(0u, failures);
    EXPECT_GT(reads, 1000u);
    EXPECT_GT(changes, 100u);  // the reads did overlap the writing
    EXPECT_GT(previous[0], 100000u);
    RecordProperty("reads", int(reads));
    printf("reads %u, changes seen %u, messages per channel %u\n", reads, changes, previous[0]);
}
