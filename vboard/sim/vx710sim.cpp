// vx710sim.exe: the driver stand-in. It installs itself as the vx710s10 service
// with the driver's registry keys, hosts a virtual board on the driver's pipe,
// and sends control requests to a running board.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cmdbuf.h"
#include "pipe_server.h"
#include "sim_registry.h"
#include "sim_service.h"
#include "vboard_codes.h"
#include "virtual_board.h"

namespace {

using vxsim::kDefaultPipe;

int Usage() {
    std::fputs(
        "usage: vx710sim <command> [--pipe NAME]\n"
        "  install [--bare] | uninstall  the vx710s10 service and the driver's registry keys\n"
        "                             (--bare: the service alone, no keys)\n"
        "  publish                    write the Device0 values as the started driver does\n"
        "  service                    (run by the service control manager)\n"
        "  serve [--publish] [--no-stdin]\n"
        "                             host the board in the foreground until killed, a stop\n"
        "                             request, or the end of standard input when it is a pipe\n"
        "  input <station> <hex bytes>   force input bytes 0.. of station 0..15\n"
        "  release <station|all>      inputs follow the outputs again\n"
        "  silence <station> on|off   the station stops answering / answers again\n"
        "  iodata <station> <mask> <value>  force bits of an axis's I/O data word (hex)\n"
        "  alarm <station> <code>     raise an alarm (hex)\n"
        "  fail <count>               the next exchanges fail\n"
        "  inject <station|any> <code> <exchanges>  answer entries with a ReturnCode\n"
        "  loopback on|off            inputs follow the outputs or read 0\n"
        "  reset                      the board as after power-on\n"
        "  query <station>            print outputs, inputs and axis state\n"
        "  stop                       end a `serve`\n",
        stderr);
    return 2;
}

bool ParseInt(const char* s, int32_t* v, int base = 10) {
    if (!s || !*s) return false;
    char* end = nullptr;
    long long x = std::strtoll(s, &end, base);
    if (*end) return false;
    *v = static_cast<int32_t>(x);
    return true;
}

bool ParseHexBytes(const std::vector<std::string>& words, std::vector<uint8_t>* out) {
    std::string digits;
    for (const auto& w : words)
        for (char c : w)
            if (c != ' ' && c != ',' && c != ':') digits += c;
    if (digits.size() % 2) return false;
    for (size_t i = 0; i < digits.size(); i += 2) {
        int32_t v;
        if (!ParseInt(digits.substr(i, 2).c_str(), &v, 16)) return false;
        out->push_back(static_cast<uint8_t>(v));
    }
    return !out->empty() && out->size() <= 16;
}

int SendControl(const std::string& pipe, uint32_t op, int32_t station, int32_t a1, int32_t a2,
                const std::vector<uint8_t>& bytes = {}) {
    uint8_t block[1264] = {};
    qrl::PutU32(block, op);
    qrl::PutI32(block + 4, station);
    qrl::PutI32(block + 8, a1);
    qrl::PutI32(block + 12, a2);
    std::memcpy(block + 16, bytes.data(), bytes.size());
    uint32_t result = 0;
    if (!vxsim::Transact(pipe, vboard::kIoctlControl, block, &result)) {
        std::fprintf(stderr, "vx710sim: no board on %s\n", pipe.c_str());
        return 1;
    }
    if (!result) {
        std::fprintf(stderr, "vx710sim: the board refused the request\n");
        return 1;
    }
    if (op == vboard::ctl::kQuery) {
        using namespace vboard::ctl;
        std::printf("outputs:");
        for (int i = 0; i < 16; ++i) std::printf(" %02X", block[kQueryOutputs + i]);
        std::printf("\ninputs: ");
        for (int i = 0; i < 16; ++i) std::printf(" %02X", block[kQueryInputs + i]);
        std::printf("\nkind %d command %d feedback %d status %04X alarm %02X iodata %04X ip %d\n",
                    qrl::GetI32(block + kQueryKind), qrl::GetI32(block + kQueryCommand),
                    qrl::GetI32(block + kQueryFeedback), qrl::GetI32(block + kQueryStatus),
                    qrl::GetI32(block + kQueryAlarm), qrl::GetI32(block + kQueryIoData),
                    qrl::GetI32(block + kQueryIpCount));
    }
    return 0;
}

HANDLE g_serve_stop = nullptr;

BOOL WINAPI CtrlHandler(DWORD) {
    SetEvent(g_serve_stop);
    return TRUE;
}

DWORD WINAPI WatchStdin(LPVOID) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    char buf[256];
    DWORD n;
    while (ReadFile(in, buf, sizeof buf, &n, nullptr) && n > 0) {
    }
    SetEvent(g_serve_stop);
    return 0;
}

int Serve(const std::string& pipe, bool publish, bool watch_stdin) {
    vboard::VirtualBoard board;
    vxsim::PipeServer server(pipe, board, true);
    if (!server.Start()) {
        std::fprintf(stderr, "vx710sim: cannot create %s (error %lu)\n", pipe.c_str(), GetLastError());
        return 1;
    }
    if (publish) vxsim::PublishDevice0(vxsim::DefaultResources());
    g_serve_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(CtrlHandler, TRUE);
    // Only a pipe on standard input ends the server when it closes: a terminal
    // or /dev/null (a background job) would end it at once.
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    if (watch_stdin && in && in != INVALID_HANDLE_VALUE && GetFileType(in) == FILE_TYPE_PIPE)
        CloseHandle(CreateThread(nullptr, 0, WatchStdin, nullptr, 0, nullptr));
    std::printf("vx710sim: serving %s\n", pipe.c_str());
    std::fflush(stdout);
    HANDLE events[2] = {g_serve_stop, server.stop_requested()};
    WaitForMultipleObjects(2, events, FALSE, INFINITE);
    server.Stop();
    std::printf("vx710sim: stopped\n");
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    std::string pipe = kDefaultPipe;
    bool publish = false, watch_stdin = true, bare = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--pipe" && i + 1 < argc) pipe = argv[++i];
        else if (a == "--publish") publish = true;
        else if (a == "--no-stdin") watch_stdin = false;
        else if (a == "--bare") bare = true;
        else args.push_back(a);
    }
    if (args.empty()) return Usage();
    const std::string& cmd = args[0];
    size_t n = args.size();
    int32_t st = 0, v1 = 0, v2 = 0;
    using namespace vboard::ctl;
    if (cmd == "install" && n == 1) return vxsim::Install(bare);
    if (cmd == "publish" && n == 1) return vxsim::PublishDevice0(vxsim::DefaultResources()) ? 0 : 1;
    if (cmd == "uninstall" && n == 1) return vxsim::Uninstall();
    if (cmd == "service" && n == 1) return vxsim::RunService();
    if (cmd == "serve" && n == 1) return Serve(pipe, publish, watch_stdin);
    if (cmd == "input" && n >= 3 && ParseInt(args[1].c_str(), &st)) {
        std::vector<uint8_t> bytes;
        if (!ParseHexBytes(std::vector<std::string>(args.begin() + 2, args.end()), &bytes)) return Usage();
        return SendControl(pipe, kSetInputs, st, 0, static_cast<int32_t>(bytes.size()), bytes);
    }
    if (cmd == "release" && n == 2) {
        if (args[1] == "all") st = -1;
        else if (!ParseInt(args[1].c_str(), &st)) return Usage();
        return SendControl(pipe, kReleaseInputs, st, 0, 0);
    }
    if (cmd == "silence" && n == 3 && ParseInt(args[1].c_str(), &st) && (args[2] == "on" || args[2] == "off"))
        return SendControl(pipe, kSilence, st, args[2] == "on", 0);
    if (cmd == "iodata" && n == 4 && ParseInt(args[1].c_str(), &st) && ParseInt(args[2].c_str(), &v1, 16) &&
        ParseInt(args[3].c_str(), &v2, 16))
        return SendControl(pipe, kIoData, st, v1, v2);
    if (cmd == "alarm" && n == 3 && ParseInt(args[1].c_str(), &st) && ParseInt(args[2].c_str(), &v1, 16))
        return SendControl(pipe, kRaiseAlarm, st, v1, 0);
    if (cmd == "fail" && n == 2 && ParseInt(args[1].c_str(), &v1)) return SendControl(pipe, kFailExchanges, 0, v1, 0);
    if (cmd == "inject" && n == 4 && ParseInt(args[2].c_str(), &v1) && ParseInt(args[3].c_str(), &v2)) {
        if (args[1] == "any") st = -1;
        else if (!ParseInt(args[1].c_str(), &st)) return Usage();
        return SendControl(pipe, kInjectCode, st, v1, v2);
    }
    if (cmd == "loopback" && n == 2 && (args[1] == "on" || args[1] == "off"))
        return SendControl(pipe, kLoopback, 0, args[1] == "on", 0);
    if (cmd == "reset" && n == 1) return SendControl(pipe, kReset, 0, 0, 0);
    if (cmd == "query" && n == 2 && ParseInt(args[1].c_str(), &st)) return SendControl(pipe, kQuery, st, 0, 0);
    if (cmd == "stop" && n == 1) return SendControl(pipe, kStop, 0, 0, 0);
    return Usage();
}
