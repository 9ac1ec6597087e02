// qrlink00.dll as an application sees it: its export table, its version, the
// device channels chosen by QRLINK00_DEVICE (in-process virtual board, named pipe),
// and the exported status text.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "cmdbuf.h"
#include "qrlink00.h"
#include "virtual_board.h"

namespace {

const char* const kExports[] = {
#define QRL_EXPORT(name, argbytes, ordinal) #name,
#include "qrl_exports.h"
#undef QRL_EXPORT
};
constexpr int kExportCount = sizeof kExports / sizeof kExports[0];

// The board's 69 functions keep the ordinals 1..69 they always had, and the Qrl
// helpers take the next ones in list order (70, 71, ...), with no gap: so no
// application importing by ordinal sees a function move.
constexpr bool IsQrlHelper(const char* name) { return name[0] == 'Q' && name[1] == 'r' && name[2] == 'l'; }
struct Ordinal {
    const char* name;
    int ordinal;
};
constexpr Ordinal kOrdinals[] = {
#define QRL_EXPORT(name, argbytes, ordinal) {#name, ordinal},
#include "qrl_exports.h"
#undef QRL_EXPORT
};
constexpr bool OrdinalsAsFixed() {
    int board = 0, helper = 0;
    bool seen[kExportCount + 1] = {};
    for (const Ordinal& o : kOrdinals) {
        if (o.ordinal < 1 || o.ordinal > kExportCount || seen[o.ordinal]) return false;
        seen[o.ordinal] = true;
        if (IsQrlHelper(o.name)) {
            if (o.ordinal != 70 + helper++) return false;
        } else {
            if (o.ordinal > 69) return false;
            ++board;
        }
    }
    return board == 69 && helper == kExportCount - 69;
}
static_assert(OrdinalsAsFixed(), "69 board functions at 1..69, the Qrl helpers from 70 on in list order");

// Every export as an application linked against the import library sees it. Taking
// each address makes this program import all of them, so the file check of its
// import table (and, on i686, the link itself) shows that the header's prototypes,
// the import library and the DLL agree: on i686 a prototype whose arguments differ
// from the export list asks for another decorated name (AxFeed@12), and the link
// fails. The prototypes' argument bytes are also checked here at compile time, on
// both architectures, as an i686 stack holds them (pointers and int32 take 4).
template <typename A>
constexpr int I686ArgBytes() {
    return std::is_pointer<A>::value ? 4 : static_cast<int>((sizeof(A) + 3) & ~size_t{3});
}
template <typename R, typename... A>
constexpr int ArgBytes(R(QRL_CALL*)(A...)) {
    return (0 + ... + I686ArgBytes<A>());
}
#define QRL_EXPORT(name, argbytes, ordinal) static_assert(ArgBytes(&name) == argbytes, #name " argument bytes");
#include "qrl_exports.h"
#undef QRL_EXPORT
struct Linked {
    const char* name;
    int ordinal;
    void* address;
};
const Linked kLinked[] = {
#define QRL_EXPORT(name, argbytes, ordinal) {#name, ordinal, reinterpret_cast<void*>(&name)},
#include "qrl_exports.h"
#undef QRL_EXPORT
};

template <typename T>
const T* At(HMODULE m, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(m) + rva);
}

const IMAGE_NT_HEADERS* Headers(HMODULE m) {
    auto dos = At<IMAGE_DOS_HEADER>(m, 0);
    return At<IMAGE_NT_HEADERS>(m, static_cast<DWORD>(dos->e_lfanew));
}

std::set<std::string> ExportNames(HMODULE m) {
    const auto& dir = Headers(m)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto exp = At<IMAGE_EXPORT_DIRECTORY>(m, dir.VirtualAddress);
    auto names = At<DWORD>(m, exp->AddressOfNames);
    std::set<std::string> out;
    for (DWORD i = 0; i < exp->NumberOfNames; ++i) out.insert(At<char>(m, names[i]));
    return out;
}

std::set<std::string> ImportedDlls(HMODULE m) {
    const auto& dir = Headers(m)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::set<std::string> out;
    for (auto d = At<IMAGE_IMPORT_DESCRIPTOR>(m, dir.VirtualAddress); d->Name; ++d) {
        std::string n = At<char>(m, d->Name);
        for (char& c : n) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        out.insert(n);
    }
    return out;
}

// Sets QRLINK00_DEVICE for one test and restores "unset" afterwards.
struct Device {
    explicit Device(const char* value) { SetEnvironmentVariableA("QRLINK00_DEVICE", value); }
    ~Device() { SetEnvironmentVariableA("QRLINK00_DEVICE", nullptr); }
};

}  // namespace

TEST(Exports, ExactlyTheUndecoratedNamesOfTheList) {
    HMODULE m = GetModuleHandleA("qrlink00.dll");
    ASSERT_NE(m, nullptr);
    std::set<std::string> want(std::begin(kExports), std::end(kExports));
    EXPECT_EQ(ExportNames(m), want);
    for (const char* name : kExports) EXPECT_NE(GetProcAddress(m, name), nullptr) << name;
    EXPECT_EQ(GetProcAddress(m, "AxFeed@8"), nullptr) << "no decorated aliases";
    for (const Linked& l : kLinked) EXPECT_NE(l.address, nullptr) << l.name;
}

// An application that imports by ordinal reaches the same function as one that
// imports by name: each export sits at the ordinal of the list.
TEST(Exports, EachAtTheOrdinalOfTheList) {
    HMODULE m = GetModuleHandleA("qrlink00.dll");
    ASSERT_NE(m, nullptr);
    for (const Linked& l : kLinked) {
        FARPROC by_ordinal = GetProcAddress(m, MAKEINTRESOURCEA(l.ordinal));
        EXPECT_NE(by_ordinal, nullptr) << l.name << " ordinal " << l.ordinal;
        EXPECT_EQ(by_ordinal, GetProcAddress(m, l.name)) << l.name << " ordinal " << l.ordinal;
    }
}

TEST(Exports, DependsOnSystemDllsOnly) {
    HMODULE m = GetModuleHandleA("qrlink00.dll");
    const std::set<std::string> system = {"kernel32.dll", "advapi32.dll", "setupapi.dll", "version.dll",
                                          "msvcrt.dll",   "user32.dll",   "ntdll.dll"};
    for (const std::string& dll : ImportedDlls(m)) EXPECT_TRUE(system.count(dll)) << dll;
}

TEST(Version, VerGetReadsTheRealResource) {
    EXPECT_EQ(VerGet(), 65536);
    char path[MAX_PATH];
    GetModuleFileNameA(GetModuleHandleA("qrlink00.dll"), path, MAX_PATH);
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00060005u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00010000u);
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\041104b0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &len));
    EXPECT_STREQ(text, "6, 5, 1, 0");
}

// The exported text is the header's, for every status a function can return:
// each named code, every driver code from well below -32770 to well above 0, and
// the extremes; copied whole into a buffer of its length + 1, cut (and still
// terminated) in a shorter one, and its length alone asked with no buffer.
TEST(StatusText, ExportedTextEqualsTheHeadersForEveryCode) {
    std::vector<int32_t> codes = {INT32_MIN, INT32_MIN + 1, -2000000, INT32_MAX, INT32_MAX - 1, 2000000};
    for (int32_t c = -33000; c <= 1000; ++c) codes.push_back(c);
    char buf[128];
    for (int32_t c : codes) {
        const std::string want = QrlStatusText(c);
        std::memset(buf, 'x', sizeof buf);
        ASSERT_EQ(QrlGetStatusText(c, buf, sizeof buf), static_cast<int32_t>(want.size())) << c;
        ASSERT_EQ(std::string(buf), want) << c;
        ASSERT_EQ(QrlGetStatusText(c, nullptr, 0), static_cast<int32_t>(want.size())) << c;
    }
    const std::string whole = QrlStatusText(QRL_E_NODEVICE);
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(QrlGetStatusText(QRL_E_NODEVICE, buf, 6), static_cast<int32_t>(whole.size()));
    EXPECT_EQ(std::string(buf), whole.substr(0, 5)) << "cut to size - 1 and terminated";
    EXPECT_EQ(buf[6], 'x') << "nothing written beyond size";
    buf[0] = 'x';
    EXPECT_EQ(QrlGetStatusText(QRL_OK, buf, 1), 7);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(QrlGetStatusText(QRL_OK, buf, -1), QRL_E_ARG);
    EXPECT_EQ(QrlGetStatusText(QRL_OK, nullptr, 10), QRL_E_ARG);
}

TEST(SimDevice, MixedNetworkComesUpInProcess) {
    Device dev("sim");
    ASSERT_EQ(InitDll(1), QRL_OK);
    int32_t types[15] = {0x01, 0x61, 0x41};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    EXPECT_EQ(types[0], 0x01);
    EXPECT_EQ(types[1], 0x61);
    EXPECT_EQ(types[2], 0x41);
    EXPECT_EQ(Config(-1), QRL_OK);
    char id[17];
    EXPECT_EQ(IdGet(1, 0, id), QRL_OK);
    EXPECT_EQ(std::strlen(id), 16u);
    EXPECT_EQ(BdClose(0), QRL_OK);
    EXPECT_EQ(Config(1), QRL_E_NOTOPEN);
}

// ---- named pipe ----

namespace {

// A board stand-in on a pipe of the test's own, serving a virtual board. Modes
// make it misbehave the ways a broken peer can.
class PipeServer {
public:
    enum Mode { kServe, kFailResult, kShortReply };

    explicit PipeServer(const std::string& name) : name_(name) {
        thread_ = std::thread([this] { Run(); });
        while (!listening_) Sleep(1);
    }
    ~PipeServer() {
        stop_ = true;
        // Wake a ConnectNamedPipe that waits for the next client.
        HANDLE h = CreateFileA(name_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        thread_.join();
    }
    std::atomic<int> mode{kServe};
    std::atomic<int> requests{0};
    std::atomic<uint32_t> last_code{0};
    std::atomic<DWORD> last_size{0};

private:
    void Run() {
        while (!stop_) {
            HANDLE pipe = CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_DUPLEX,
                                           PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 4096, 4096, 0,
                                           nullptr);
            if (pipe == INVALID_HANDLE_VALUE) return;
            listening_ = true;
            BOOL connected = ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
            while (connected && !stop_) {
                uint8_t msg[2048];
                DWORD got = 0;
                if (!ReadFile(pipe, msg, sizeof msg, &got, nullptr)) break;
                ++requests;
                last_size = got;
                last_code = qrl::GetU32(msg);
                uint8_t reply[4 + qrl::kBufferSize];
                bool ok = got == sizeof reply && board_.Exchange(qrl::GetU32(msg), msg + 4);
                qrl::PutU32(reply, ok && mode != kFailResult ? 1 : 0);
                std::memcpy(reply + 4, msg + 4, qrl::kBufferSize);
                DWORD len = mode == kShortReply ? 100 : sizeof reply, put = 0;
                if (!WriteFile(pipe, reply, len, &put, nullptr)) break;
            }
            DisconnectNamedPipe(pipe);
            CloseHandle(pipe);
        }
    }

    std::string name_;
    vboard::VirtualBoard board_;
    std::thread thread_;
    std::atomic<bool> stop_{false}, listening_{false};
};

std::string PipeName() { return "\\\\.\\pipe\\qrltest-" + std::to_string(GetCurrentProcessId()); }

}  // namespace

TEST(PipeDevice, MissingPipeGivesMinus4) {
    std::string name = PipeName() + "-none";
    Device dev(name.c_str());
    InitDll(1);
    int32_t types[15] = {1};
    EXPECT_EQ(BdOpen(0, 10, 0, types), QRL_E_NODEVICE);
}

TEST(PipeDevice, RequestsAreCodePlusBufferAndTheBoardComesUp) {
    std::string name = PipeName();
    PipeServer server(name);
    Device dev(name.c_str());
    InitDll(1);
    int32_t types[15] = {0x01, 0x61};
    ASSERT_EQ(BdOpen(0, 20, 1, types), QRL_OK);
    EXPECT_EQ(types[0], 1);
    EXPECT_EQ(server.last_size.load(), 4u + 1264u);
    const int before = server.requests;
    EXPECT_EQ(Config(1), QRL_OK);
    EXPECT_GT(server.requests.load(), before);
    EXPECT_EQ(server.last_code.load(), 0x222004u);
    EXPECT_EQ(BdClose(0), QRL_OK);
    EXPECT_EQ(server.last_code.load(), 0x222000u) << "the close ends with a direct write";
}

TEST(PipeDevice, ZeroResultOrShortReplyIsAFailedExchange) {
    std::string name = PipeName() + "-bad";
    PipeServer server(name);
    Device dev(name.c_str());
    InitDll(1);
    int32_t types[15] = {0x01};
    ASSERT_EQ(BdOpen(0, 10, 0, types), QRL_OK);
    server.mode = PipeServer::kFailResult;
    EXPECT_EQ(Config(1), QRL_E_IO);
    server.mode = PipeServer::kShortReply;
    EXPECT_EQ(Config(1), QRL_E_IO);
    server.mode = PipeServer::kServe;
    EXPECT_EQ(Config(1), QRL_OK) << "the channel recovers once the peer behaves";
    EXPECT_EQ(BdClose(0), QRL_OK);
}
