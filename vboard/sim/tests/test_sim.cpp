// The driver stand-in under Wine: the pipe protocol through a real named pipe,
// several clients, malformed requests, `serve` as a process, and the service
// with its registry keys through the real service control manager.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <psapi.h>

#include "cmdbuf.h"
#include "handle_count.h"
#include "pipe_protocol.h"
#include "pipe_server.h"
#include "settings_layout.h"
#include "sim_registry.h"
#include "virtual_board.h"

namespace {

using qrl::CommandBuffer;

std::string SimExe() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\') + 1) + "vx710sim.exe";
}

std::string TestPipe(const char* tag) {
    return std::string("\\\\.\\pipe\\vx710s10-test-") + tag + "-" + std::to_string(GetCurrentProcessId());
}

// Runs the stand-in with `args` and returns its exit code (-1 on timeout).
int RunSim(const std::string& args, DWORD timeout_ms = 30000) {
    std::string cmd = "\"" + SimExe() + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -2;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeout_ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

bool Exchange(const std::string& pipe, uint32_t code, CommandBuffer& b, uint32_t* result) {
    return vxsim::Transact(pipe, code, b.raw, result);
}

// Station types 0x41 at 1, 0x61 at 2, then the set-up of station 1.
void BringUpThrough(const std::string& pipe) {
    uint8_t types[16] = {0xFF, 0x41, 0x61};
    CommandBuffer b;
    qrl::SetDataEntry(b, 0, qrl::kSelWrite, 1024, types, 16);
    uint32_t result = 0;
    ASSERT_TRUE(Exchange(pipe, qrl::kIoctlDirect, b, &result));
    ASSERT_EQ(result, 1u);
}

struct RawClient {
    HANDLE h = INVALID_HANDLE_VALUE;
    explicit RawClient(const std::string& name) {
        for (int i = 0; i < 50 && h == INVALID_HANDLE_VALUE; ++i) {
            h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) WaitNamedPipeA(name.c_str(), 100);
        }
        DWORD mode = PIPE_READMODE_MESSAGE;
        if (h != INVALID_HANDLE_VALUE) SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
    }
    ~RawClient() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    // Sends `len` bytes, returns the reply (empty when the transaction failed).
    std::vector<uint8_t> Send(const uint8_t* req, DWORD len) {
        std::vector<uint8_t> rep(vboard::kPipeMessageSize + 16);
        DWORD n = 0;
        if (!TransactNamedPipe(h, const_cast<uint8_t*>(req), len, rep.data(), static_cast<DWORD>(rep.size()), &n,
                               nullptr))
            return {};
        rep.resize(n);
        return rep;
    }
};

class PipeTest : public ::testing::Test {
protected:
    vboard::VirtualBoard board_;
    std::string name_ = TestPipe("p");
    vxsim::PipeServer server_{name_, board_, true};
    void SetUp() override { ASSERT_TRUE(server_.Start()); }
};

TEST_F(PipeTest, SetUpCommandAnsweredWithEcho) {
    BringUpThrough(name_);
    CommandBuffer b;
    qrl::SetTemplateEntry(b, 0, qrl::kSelWrite, 64, qrl::kTplStationSetup, 16);
    b.Data(0)[5] = 0x10, b.Data(0)[6] = 0x02, b.Data(0)[7] = 4;
    uint32_t result = 0;
    ASSERT_TRUE(Exchange(name_, qrl::kIoctlCommand, b, &result));
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(b.ReturnCode(), 0);
    CommandBuffer r;
    qrl::SetTemplateEntry(r, 0, qrl::kSelRead, qrl::ResponseArea(1), qrl::kTplZero, 17);
    ASSERT_TRUE(Exchange(name_, qrl::kIoctlCommand, r, &result));
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(r.Data(0)[1], 0x0E);
    EXPECT_EQ(r.Data(0)[5], 0x10);
    EXPECT_EQ(r.Data(0)[6], 0x02);
    EXPECT_EQ(r.Data(0)[7], 4);
    EXPECT_TRUE(qrl::GetU16(r.Data(0) + 3) & qrl::kStatusReady);
}

TEST_F(PipeTest, MalformedRequestsAnswerZeroAndKeepTheConnection) {
    RawClient c(name_);
    ASSERT_NE(c.h, INVALID_HANDLE_VALUE);
    std::vector<uint8_t> req(vboard::kPipeMessageSize, 0);
    struct Case { const char* what; uint32_t code; DWORD len; } cases[] = {
        {"short", qrl::kIoctlCommand, 10},
        {"one byte short", qrl::kIoctlCommand, vboard::kPipeMessageSize - 1},
        {"code only", qrl::kIoctlCommand, 4},
        {"unknown code", 0x222008, vboard::kPipeMessageSize},
        {"zero code", 0, vboard::kPipeMessageSize},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        qrl::PutU32(req.data(), k.code);
        auto rep = c.Send(req.data(), k.len);
        ASSERT_EQ(rep.size(), vboard::kPipeMessageSize);
        EXPECT_EQ(qrl::GetU32(rep.data()), 0u);
    }
    // Too long, in one message: whatever the parts add up to, it is refused.
    std::vector<uint8_t> rep;
    for (size_t size : {size_t{3000}, vboard::kPipeMessageSize + 1, 2 * vboard::kPipeMessageSize + 1}) {
        std::vector<uint8_t> big(size, 0);
        qrl::PutU32(big.data(), qrl::kIoctlCommand);
        rep = c.Send(big.data(), static_cast<DWORD>(big.size()));
        ASSERT_EQ(rep.size(), vboard::kPipeMessageSize) << size;
        EXPECT_EQ(qrl::GetU32(rep.data()), 0u) << size;
    }
    // The same connection still serves a proper request.
    qrl::PutU32(req.data(), qrl::kIoctlCommand);
    qrl::PutI32(req.data() + 4, 0);
    rep = c.Send(req.data(), vboard::kPipeMessageSize);
    ASSERT_EQ(rep.size(), vboard::kPipeMessageSize);
    EXPECT_EQ(qrl::GetU32(rep.data()), 1u);
}

TEST_F(PipeTest, SeveralClientsAtOnceShareOneBoard) {
    BringUpThrough(name_);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < 4; ++c) {
        threads.emplace_back([&, c] {
            RawClient cl(name_);
            if (cl.h == INVALID_HANDLE_VALUE) {
                ++failures;
                return;
            }
            for (int i = 0; i < 40; ++i) {
                // Each client drives its own output byte of the board's I/O.
                CommandBuffer b;
                qrl::SetByteEntry(b, 0, qrl::kSelWrite, 1 + c, static_cast<uint8_t>(i));
                uint8_t req[vboard::kPipeMessageSize];
                qrl::PutU32(req, qrl::kIoctlCommand);
                std::memcpy(req + 4, b.raw, 1264);
                auto rep = cl.Send(req, sizeof req);
                if (rep.size() != vboard::kPipeMessageSize || qrl::GetU32(rep.data()) != 1) ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    // Another client, later, sees what they wrote: the state lives in the server.
    CommandBuffer in;
    qrl::SetTemplateEntry(in, 0, qrl::kSelInput, 0, qrl::kTplZero, 16);
    uint32_t result = 0;
    ASSERT_TRUE(Exchange(name_, qrl::kIoctlCommand, in, &result));
    for (int c = 0; c < 4; ++c) EXPECT_EQ(in.Data(0)[c], 39) << c;
}

TEST_F(PipeTest, ClientsOneAfterAnother) {
    // Quick reconnects: a listening instance must always be there (a missing
    // pipe fails the open at once instead of answering busy).
    for (int i = 0; i < 100; ++i) {
        CommandBuffer b;
        qrl::SetByteEntry(b, 0, qrl::kSelWrite, 5, static_cast<uint8_t>(i));
        uint32_t result = 0;
        ASSERT_TRUE(Exchange(name_, qrl::kIoctlCommand, b, &result)) << i;
        EXPECT_EQ(result, 1u);
    }
    EXPECT_EQ(board_.Outputs(0)[4], 99);
}

// A long-running service sees thousands of clients come and go: the thread (and
// its handle) of each one that left is released, so handles and memory stay flat.
TEST_F(PipeTest, ClientsThatLeftHoldNothing) {
    auto round = [&](int n) {
        for (int i = 0; i < n; ++i) {
            CommandBuffer b;
            qrl::SetByteEntry(b, 0, qrl::kSelWrite, 5, static_cast<uint8_t>(i));
            uint32_t result = 0;
            if (!Exchange(name_, qrl::kIoctlCommand, b, &result)) return false;
        }
        return true;
    };
    auto settled = [](DWORD want) {
        // The last clients' threads are joined on the accepting thread's next pass.
        for (int i = 0; i < 100 && qrltest::ProcessHandleCount() > want; ++i) Sleep(10);
        return qrltest::ProcessHandleCount();
    };
    ASSERT_TRUE(round(100));  // warm-up: the runtime's own one-time allocations
    Sleep(200);
    const DWORD handles = qrltest::ProcessHandleCount();
    PROCESS_MEMORY_COUNTERS mem0{}, mem1{};
    GetProcessMemoryInfo(GetCurrentProcess(), &mem0, sizeof mem0);
    ASSERT_TRUE(round(1000));
    EXPECT_LE(settled(handles), handles) << "1,000 clients came and went";
    GetProcessMemoryInfo(GetCurrentProcess(), &mem1, sizeof mem1);
    // A kept thread costs about half a kilobyte of bookkeeping and its stack
    // reservation; 1,000 of them would show. Allow for allocator noise only.
    EXPECT_LT(static_cast<long long>(mem1.PagefileUsage) - static_cast<long long>(mem0.PagefileUsage), 256 * 1024)
        << "private bytes grew over 1,000 clients";
}

TEST_F(PipeTest, ControlRequestsDriveInputsAndFaults) {
    uint8_t block[1264] = {};
    qrl::PutU32(block, vboard::ctl::kSetInputs);
    qrl::PutI32(block + 4, 0);
    qrl::PutI32(block + 8, 2);
    qrl::PutI32(block + 12, 2);
    block[16] = 0x34, block[17] = 0x12;
    uint32_t result = 0;
    ASSERT_TRUE(vxsim::Transact(name_, vboard::kIoctlControl, block, &result));
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(board_.Inputs(0)[2], 0x34);
    EXPECT_EQ(board_.Inputs(0)[3], 0x12);

    std::memset(block, 0, sizeof block);
    qrl::PutU32(block, vboard::ctl::kFailExchanges);
    qrl::PutI32(block + 8, 1);
    ASSERT_TRUE(vxsim::Transact(name_, vboard::kIoctlControl, block, &result));
    CommandBuffer b;
    ASSERT_TRUE(Exchange(name_, qrl::kIoctlCommand, b, &result));
    EXPECT_EQ(result, 0u) << "the injected failure reaches the client as result 0";
    ASSERT_TRUE(Exchange(name_, qrl::kIoctlCommand, b, &result));
    EXPECT_EQ(result, 1u);

    std::memset(block, 0, sizeof block);
    qrl::PutU32(block, 99);
    ASSERT_TRUE(vxsim::Transact(name_, vboard::kIoctlControl, block, &result));
    EXPECT_EQ(result, 0u) << "unknown op";
}

TEST_F(PipeTest, StopRequestSignalsAndStopClosesThePipe) {
    uint8_t block[1264] = {};
    qrl::PutU32(block, vboard::ctl::kStop);
    uint32_t result = 0;
    ASSERT_TRUE(vxsim::Transact(name_, vboard::kIoctlControl, block, &result));
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(WaitForSingleObject(server_.stop_requested(), 2000), WAIT_OBJECT_0);

    RawClient held(name_);
    ASSERT_NE(held.h, INVALID_HANDLE_VALUE);
    server_.Stop();
    std::vector<uint8_t> req(vboard::kPipeMessageSize, 0);
    qrl::PutU32(req.data(), qrl::kIoctlCommand);
    EXPECT_TRUE(held.Send(req.data(), static_cast<DWORD>(req.size())).empty()) << "an open client fails";
    CommandBuffer b;
    EXPECT_FALSE(Exchange(name_, qrl::kIoctlCommand, b, &result)) << "no new client gets in";
}

// ---- `serve` as a process ----------------------------------------------------------

struct ServeProcess {
    PROCESS_INFORMATION pi{};
    HANDLE stdin_write = nullptr;
    bool Start(const std::string& pipe) {
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE rd;
        if (!CreatePipe(&rd, &stdin_write, &sa, 0)) return false;
        SetHandleInformation(stdin_write, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = rd;
        si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::string cmd = "\"" + SimExe() + "\" serve --pipe " + pipe;
        std::vector<char> line(cmd.begin(), cmd.end());
        line.push_back(0);
        bool ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
        CloseHandle(rd);
        return ok;
    }
    bool Exited(DWORD ms) { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
    ~ServeProcess() {
        if (stdin_write) CloseHandle(stdin_write);
        if (pi.hProcess) {
            if (!Exited(0)) TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
};

bool WaitForPipe(const std::string& name, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (WaitNamedPipeA(name.c_str(), 50)) return true;
        Sleep(50);
    }
    return false;
}

TEST(Serve, EndsWhenStandardInputCloses) {
    std::string name = TestPipe("s1");
    ServeProcess p;
    ASSERT_TRUE(p.Start(name));
    ASSERT_TRUE(WaitForPipe(name, 10000));
    BringUpThrough(name);
    CloseHandle(p.stdin_write);
    p.stdin_write = nullptr;
    EXPECT_TRUE(p.Exited(10000));
    CommandBuffer b;
    uint32_t result;
    EXPECT_FALSE(Exchange(name, qrl::kIoctlCommand, b, &result));
}

TEST(Serve, EndsOnStopCommand) {
    std::string name = TestPipe("s2");
    ServeProcess p;
    ASSERT_TRUE(p.Start(name));
    ASSERT_TRUE(WaitForPipe(name, 10000));
    EXPECT_EQ(RunSim("input 0 A55A --pipe " + name), 0);
    EXPECT_EQ(RunSim("input 0 zz --pipe " + name), 2) << "bad hex is a usage error";
    EXPECT_EQ(RunSim("stop --pipe " + name), 0);
    EXPECT_TRUE(p.Exited(10000));
    EXPECT_EQ(RunSim("query 0 --pipe " + name), 1) << "nothing serves the pipe any more";
}

// ---- install, the service, uninstall -------------------------------------------------

bool KeyExists(const char* path) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

bool ReadDword(const char* path, const char* name, DWORD* v) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = sizeof *v;
    LONG r = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(v), &size);
    RegCloseKey(h);
    return r == ERROR_SUCCESS && type == REG_DWORD;
}

bool ReadString(const char* path, const char* name, std::string* s) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    char buf[512] = {};
    DWORD type = 0, size = sizeof buf - 1;
    LONG r = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(h);
    *s = buf;
    return r == ERROR_SUCCESS && type == REG_SZ;
}

template <size_t N>
void ExpectValues(const char* path, const vxreg::Value (&values)[N]) {
    for (const auto& v : values) {
        SCOPED_TRACE(std::string(path) + " " + v.name);
        if (v.type == vxreg::Type::Dword) {
            DWORD d = 12345;
            ASSERT_TRUE(ReadDword(path, v.name, &d));
            EXPECT_EQ(d, v.def);
        } else {
            std::string s;
            ASSERT_TRUE(ReadString(path, v.name, &s));
            EXPECT_EQ(s, v.def_text);
        }
    }
}

void ExpectDllLogItems(const char* path) {
    for (const auto& s : vxreg::kDllLogItems) {
        DWORD d = 12345;
        ASSERT_TRUE(ReadDword(path, s.name, &d)) << path << " " << s.name;
        EXPECT_EQ(d, s.standard) << s.name;
    }
    for (const char* name : {"ByteCount", "CheckSum"}) {
        DWORD d = 0;
        ASSERT_TRUE(ReadDword(path, name, &d)) << name;
        EXPECT_EQ(d, 1u);
    }
}

SC_HANDLE OpenSvc(SC_HANDLE scm) {
    for (int i = 0; i < 20; ++i) {
        SC_HANDLE s = OpenServiceA(scm, "vx710s10", SERVICE_ALL_ACCESS);
        if (s) return s;
        Sleep(100);
    }
    return nullptr;
}

DWORD WaitState(SC_HANDLE s, DWORD want, int ms) {
    SERVICE_STATUS st{};
    for (int waited = 0; waited <= ms; waited += 50) {
        if (QueryServiceStatus(s, &st) && st.dwCurrentState == want) return want;
        Sleep(50);
    }
    return st.dwCurrentState;
}

class Installed : public ::testing::Test {
protected:
    void SetUp() override {
        RunSim("uninstall");  // whatever an earlier run left
        ASSERT_EQ(RunSim("install"), 0);
    }
    void TearDown() override { RunSim("uninstall"); }
};

TEST_F(Installed, KeysAndDefaultsExistDevice0WithoutValues) {
    for (const char* k : {vxreg::kServiceKey, vxreg::kParametersKey, vxreg::kDevice0Key, vxreg::kSettingsKey,
                          vxreg::kSysKey, vxreg::kSysLogItemsKey, vxreg::kDllKey, vxreg::kDllLogItemsKey,
                          vxreg::kDllKey880, vxreg::kDllLogItemsKey880})
        EXPECT_TRUE(KeyExists(k)) << k;
    ExpectValues(vxreg::kSettingsKey, vxreg::kSettingsValues);
    ExpectValues(vxreg::kSysKey, vxreg::kSysValues);
    ExpectValues(vxreg::kDllKey, vxreg::kDllValues);
    ExpectValues(vxreg::kDllKey880, vxreg::kDllValues);
    ExpectDllLogItems(vxreg::kDllLogItemsKey);
    ExpectDllLogItems(vxreg::kDllLogItemsKey880);
    for (unsigned i = 1; i <= vxreg::kSysLogItemCount; ++i) {
        DWORD d = 0;
        ASSERT_TRUE(ReadDword(vxreg::kSysLogItemsKey, vxreg::kItemSwitches[i], &d)) << vxreg::kItemSwitches[i];
        EXPECT_EQ(d, 1u);
    }
    DWORD d;
    EXPECT_FALSE(ReadDword(vxreg::kSysLogItemsKey, "ByteCount", &d));
    // The nine device values are the running driver's to publish.
    for (const char* v : vxreg::kDevice0Values) EXPECT_FALSE(ReadDword(vxreg::kDevice0Key, v, &d)) << v;
}

TEST(InstallVariants, BareServiceThenPublish) {
    RunSim("uninstall");
    ASSERT_EQ(RunSim("install --bare"), 0);
    EXPECT_TRUE(KeyExists(vxreg::kServiceKey));
    EXPECT_FALSE(KeyExists(vxreg::kDevice0Key)) << "a driver installed without its keys";
    EXPECT_FALSE(KeyExists(vxreg::kDllKey880));
    ASSERT_EQ(RunSim("publish"), 0);
    DWORD serial = 0;
    EXPECT_TRUE(ReadDword(vxreg::kDevice0Key, "SerialNumber", &serial));
    EXPECT_EQ(serial, static_cast<DWORD>(-42));
    EXPECT_FALSE(KeyExists(vxreg::kSettingsKey));
    ASSERT_EQ(RunSim("uninstall"), 0);
    EXPECT_FALSE(KeyExists(vxreg::kServiceKey));
}

TEST_F(Installed, ReinstallKeepsChangedSettings) {
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, vxreg::kDllKey, 0, KEY_ALL_ACCESS, &h), ERROR_SUCCESS);
    DWORD v = 5;
    RegSetValueExA(h, "LogFileMax", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), sizeof v);
    RegCloseKey(h);
    ASSERT_EQ(RunSim("install"), 0);
    DWORD d = 0;
    ASSERT_TRUE(ReadDword(vxreg::kDllKey, "LogFileMax", &d));
    EXPECT_EQ(d, 5u);
}

TEST_F(Installed, ServiceStartsPublishesServesAndStops) {
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(scm, nullptr);
    SC_HANDLE s = OpenSvc(scm);
    ASSERT_NE(s, nullptr);
    char cfg_buf[4096];
    auto* cfg = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(cfg_buf);
    DWORD need = 0;
    ASSERT_TRUE(QueryServiceConfigA(s, cfg, sizeof cfg_buf, &need));
    EXPECT_EQ(cfg->dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(cfg->dwStartType, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(std::string(cfg->lpBinaryPathName), "\"" + SimExe() + "\" service");

    ASSERT_TRUE(StartServiceA(s, 0, nullptr));
    ASSERT_EQ(WaitState(s, SERVICE_RUNNING, 10000), static_cast<DWORD>(SERVICE_RUNNING));
    DWORD serial = 0;
    for (int i = 0; i < 40 && !ReadDword(vxreg::kDevice0Key, "SerialNumber", &serial); ++i) Sleep(50);
    auto res = vxsim::DefaultResources();
    for (int i = 0; i < 9; ++i) {
        DWORD d = 0;
        EXPECT_TRUE(ReadDword(vxreg::kDevice0Key, vxreg::kDevice0Values[i], &d)) << vxreg::kDevice0Values[i];
        EXPECT_EQ(d, res.values[i]) << vxreg::kDevice0Values[i];
    }
    EXPECT_EQ((0u - serial) & 0xFFFF, 42u);

    BringUpThrough(vxsim::kDefaultPipe);
    EXPECT_EQ(RunSim("query 1"), 0);

    SERVICE_STATUS st{};
    ASSERT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &st));
    EXPECT_EQ(WaitState(s, SERVICE_STOPPED, 10000), static_cast<DWORD>(SERVICE_STOPPED));
    CommandBuffer b;
    uint32_t result;
    EXPECT_FALSE(Exchange(vxsim::kDefaultPipe, qrl::kIoctlCommand, b, &result)) << "pipe closed with the service";
    // A second start serves again.
    ASSERT_TRUE(StartServiceA(s, 0, nullptr));
    ASSERT_EQ(WaitState(s, SERVICE_RUNNING, 10000), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(Exchange(vxsim::kDefaultPipe, qrl::kIoctlCommand, b, &result));
    CloseServiceHandle(s);
    CloseServiceHandle(scm);
}

TEST_F(Installed, UninstallRemovesEverythingEvenWhileRunning) {
    SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE s = OpenSvc(scm);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(StartServiceA(s, 0, nullptr));
    ASSERT_EQ(WaitState(s, SERVICE_RUNNING, 10000), static_cast<DWORD>(SERVICE_RUNNING));
    CloseServiceHandle(s);
    ASSERT_EQ(RunSim("uninstall"), 0);
    for (const char* k : {vxreg::kServiceKey, vxreg::kParametersKey, vxreg::kDevice0Key, vxreg::kDllKey880,
                          vxreg::kServiceKey880})
        EXPECT_FALSE(KeyExists(k)) << k;
    s = OpenServiceA(scm, "vx710s10", SERVICE_QUERY_STATUS);
    EXPECT_EQ(s, nullptr);
    if (s) CloseServiceHandle(s);
    CloseServiceHandle(scm);
    CommandBuffer b;
    uint32_t result;
    EXPECT_FALSE(Exchange(vxsim::kDefaultPipe, qrl::kIoctlCommand, b, &result));
}

}  // namespace
