// qmsim: manages the stand-in queue manager from the command line (qmgr/README.md).
// Exit status 0 on success, 1 when the operation fails, 2 for bad arguments.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "kxapi.h"
#include "kxsim.h"

namespace {

const char kUsage[] =
    "usage: qmsim init\n"
    "       qmsim create QM [--default]\n"
    "       qmsim channel QM NAME --type SDR|SRVR|RCVR|RQSTR|CLNT|NUMBER --conname TEXT\n"
    "       qmsim set QM NAME OFFSET=VALUE... [--flag Y|N]\n"
    "       qmsim restart QM NAME | remove QM NAME | stop QM | start QM\n"
    "       qmsim fail OPERATION CODE [REASON]   (OPERATION: details initialize connect next query\n"
    "                                            access release, or all; CODE 0 clears)\n"
    "       qmsim traffic QM --seconds S [--rate MSGS_PER_SECOND]\n"
    "       qmsim show [QM]\n";

int Usage(const std::string& message, bool full = false) {
    fprintf(stderr, "qmsim: %s\n", message.c_str());
    if (full) fputs(kUsage, stderr);
    else fputs("qmsim: run qmsim without arguments for its usage\n", stderr);
    return 2;
}

int Done(int rc) {
    if (rc) fprintf(stderr, "qmsim: %s\n", kxsimLastError());
    return rc ? 1 : 0;
}

// A 32-bit number, decimal or 0x-hexadecimal.
bool Number(const char* text, uint32_t* value) {
    if (!text || !*text || *text == '-' || *text == '+' || *text == ' ') return false;
    bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex && !text[2]) return false;
    char* end = nullptr;
    unsigned long long v = strtoull(text, &end, hex ? 16 : 10);  // "010" is ten, not eight
    if (*end || v > 0xFFFFFFFFull) return false;
    *value = uint32_t(v);
    return true;
}

bool TypeCode(const char* text, uint32_t* code) {
    static const struct {
        const char* name;
        uint32_t code;
    } kTypes[] = {{"SDR", 1}, {"SRVR", 2}, {"RCVR", 3}, {"RQSTR", 4}, {"CLNT", 6}};
    for (const auto& t : kTypes)
        if (strcmp(text, t.name) == 0) {
            *code = t.code;
            return true;
        }
    return Number(text, code);
}

int Channel(int argc, char** argv) {
    if (argc < 4) return Usage("channel needs QM NAME --type TYPE --conname TEXT");
    const char* type = nullptr;
    const char* conname = nullptr;
    for (int i = 4; i < argc; i += 2) {
        if (i + 1 >= argc) return Usage(std::string(argv[i]) + " needs a value");
        if (strcmp(argv[i], "--type") == 0 && !type) type = argv[i + 1];
        else if (strcmp(argv[i], "--conname") == 0 && !conname) conname = argv[i + 1];
        else return Usage(std::string("unexpected ") + argv[i]);
    }
    uint32_t code;
    if (!type || !conname) return Usage("channel needs --type and --conname");
    if (!TypeCode(type, &code)) return Usage(std::string("bad channel type '") + type + "'");
    return Done(kxsimAddChannel(argv[2], argv[3], code, conname));
}

int Set(int argc, char** argv) {
    if (argc < 5) return Usage("set needs QM NAME and at least one OFFSET=VALUE or --flag");
    std::vector<uint32_t> offsets, values;
    int flag = -1;
    for (int i = 4; i < argc; ++i) {
        if (strcmp(argv[i], "--flag") == 0) {
            if (i + 1 >= argc || (strcmp(argv[i + 1], "Y") && strcmp(argv[i + 1], "N")) || flag != -1)
                return Usage("--flag takes Y or N, once");
            flag = argv[++i][0];
            continue;
        }
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        uint32_t offset, value;
        if (eq == std::string::npos || !Number(arg.substr(0, eq).c_str(), &offset) ||
            !Number(arg.c_str() + eq + 1, &value))
            return Usage("bad field '" + arg + "': OFFSET=VALUE, 32-bit numbers");
        if (offset % 4 || offset == KXSIM_REC_UPDATES || offset > KXSIM_REC_CHECKSUM - 4)
            return Usage("bad offset in '" + arg + "': a multiple of 4 from 4 to 2032");
        offsets.push_back(offset);
        values.push_back(value);
    }
    return Done(kxsimSetFields(argv[2], argv[3], offsets.data(), values.data(), unsigned(offsets.size()), flag));
}

int FailCommand(int argc, char** argv) {
    if (argc < 4 || argc > 5) return Usage("fail needs OPERATION CODE [REASON]");
    uint32_t code, reason = 0;
    if (!Number(argv[3], &code)) return Usage(std::string("bad code '") + argv[3] + "'");
    bool connect = strcmp(argv[2], "connect") == 0;
    if (argc == 5 && (!connect || !Number(argv[4], &reason)))
        return Usage(connect ? std::string("bad reason '") + argv[4] + "'" : "only connect takes a reason code");
    if (connect && code != 0 && argc != 5) return Usage("fail connect needs COMPLETION REASON");
    if (connect && code > KXCC_FAILED) return Usage("a connect fault's completion code is 1 or 2 (0 clears)");
    if (strcmp(argv[2], "all") == 0) {
        if (code != 0) return Usage("fail all takes only 0 (clear every fault)");
        return Done(kxsimClearFaults());
    }
    static const char* const kOps[] = {"details", "initialize", "connect", "next", "query", "access", "release"};
    bool known = false;
    for (const char* op : kOps) known = known || strcmp(op, argv[2]) == 0;
    if (!known) return Usage(std::string("unknown operation '") + argv[2] + "'");
    return Done(kxsimFail(argv[2], code, reason));
}

int Traffic(int argc, char** argv) {
    if (argc < 3) return Usage("traffic needs QM --seconds S");
    double seconds = -1;
    uint32_t rate = 20;
    for (int i = 3; i < argc; i += 2) {
        if (i + 1 >= argc) return Usage(std::string(argv[i]) + " needs a value");
        char* end = nullptr;
        if (strcmp(argv[i], "--seconds") == 0) {
            seconds = strtod(argv[i + 1], &end);
            if (*end || !(seconds > 0 && seconds <= 86400)) return Usage("--seconds takes a number from 0 to 86400");
        } else if (strcmp(argv[i], "--rate") == 0) {
            if (!Number(argv[i + 1], &rate) || rate == 0 || rate > 10000000)
                return Usage("--rate takes a whole number from 1 to 10000000");
        } else {
            return Usage(std::string("unexpected ") + argv[i]);
        }
    }
    if (seconds < 0) return Usage("traffic needs --seconds S");
    int rc = kxsimTraffic(argv[2], uint32_t(seconds * 1000 + 0.5), rate);
    if (rc == 0) printf("moved about %u messages a second on every channel of %s for %g s\n", rate, argv[2], seconds);
    return Done(rc);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command", true);
    std::string cmd = argv[1];
    auto args = [&](int n) { return argc == n; };
    if (cmd == "init" && args(2)) {
        int rc = kxsimInit();
        if (rc == 0) printf("settings file %s\n", kxsimSettingsPath());
        return Done(rc);
    }
    if (cmd == "create" && (args(3) || (args(4) && strcmp(argv[3], "--default") == 0)))
        return Done(kxsimCreateQm(argv[2], argc == 4));
    if (cmd == "channel") return Channel(argc, argv);
    if (cmd == "set") return Set(argc, argv);
    if (cmd == "restart" && args(4)) return Done(kxsimRestart(argv[2], argv[3]));
    if (cmd == "remove" && args(4)) return Done(kxsimRemove(argv[2], argv[3]));
    if (cmd == "stop" && args(3)) return Done(kxsimStop(argv[2]));
    if (cmd == "start" && args(3)) return Done(kxsimStart(argv[2]));
    if (cmd == "fail") return FailCommand(argc, argv);
    if (cmd == "traffic") return Traffic(argc, argv);
    if (cmd == "show" && (args(2) || args(3))) return Done(kxsimShow(argc == 3 ? argv[2] : nullptr));
    static const char* const kCommands[] = {"init", "create", "restart", "remove", "stop", "start", "show"};
    for (const char* c : kCommands)
        if (cmd == c) return Usage("wrong arguments for " + cmd);
    return Usage("unknown command '" + cmd + "'", true);
}
