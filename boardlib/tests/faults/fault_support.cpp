// Helpers of the fault-injection tests (see fault_support.h).
#include "fault_support.h"

#include "handle_count.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace flt {

namespace {

constexpr uint32_t kIoctlControl = 0x2220F0;
constexpr DWORD kBlockSize = 1264;

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

std::string Dir(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

}  // namespace

DWORD HandleCount() { return qrltest::ProcessHandleCount(); }

DeviceEnv::DeviceEnv(const std::string& value) { SetEnvironmentVariableA("QRLINK00_DEVICE", value.c_str()); }
DeviceEnv::~DeviceEnv() { SetEnvironmentVariableA("QRLINK00_DEVICE", nullptr); }

std::string UniquePipeName(const char* tag) {
    static std::atomic<int> counter{0};
    return "\\\\.\\pipe\\qrlflt-" + std::string(tag) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
}

std::string SimExePath() {
    char buf[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("VX_SIM", buf, sizeof buf);
    if (n > 0 && n < sizeof buf) return buf;
    GetModuleFileNameA(nullptr, buf, sizeof buf);
    return Dir(buf) + "\\vx710sim.exe";
}

bool WaitForPipe(const std::string& pipe, DWORD limit_ms) {
    const double end = NowMs() + limit_ms;
    for (;;) {
        if (WaitNamedPipeA(pipe.c_str(), 50)) return true;
        if (NowMs() > end) return false;
        Sleep(20);
    }
}

bool SimProcess::Start(DWORD limit_ms) {
    if (process_) return false;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE in_read = nullptr;
    if (!CreatePipe(&in_read, &stdin_write_, &sa, 0)) return false;
    SetHandleInformation(stdin_write_, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in_read;
    si.hStdOutput = nul;
    si.hStdError = nul;
    std::string cmd = "\"" + SimExePath() + "\" serve --pipe " + pipe_;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    PROCESS_INFORMATION pi{};
    BOOL ok = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    CloseHandle(in_read);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!ok) {
        CloseHandle(stdin_write_);
        stdin_write_ = nullptr;
        return false;
    }
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;

    const double end = NowMs() + limit_ms;
    while (NowMs() < end) {
        if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) break;  // it gave up
        if (WaitNamedPipeA(pipe_.c_str(), 50)) return true;
        Sleep(20);
    }
    Kill();
    return false;
}

bool SimProcess::Kill() {
    bool gone = true;
    if (process_) {
        TerminateProcess(process_, 1);
        gone = WaitForSingleObject(process_, 5000) == WAIT_OBJECT_0;
        CloseHandle(process_);
        process_ = nullptr;
    }
    if (stdin_write_) {
        CloseHandle(stdin_write_);
        stdin_write_ = nullptr;
    }
    return gone;
}

bool Control(const std::string& pipe, uint32_t op, int32_t station, int32_t arg1, int32_t arg2) {
    HANDLE h = CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY && WaitNamedPipeA(pipe.c_str(), 2000))
        h = CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
    static uint8_t request[4 + kBlockSize], reply[4 + kBlockSize];
    std::memset(request, 0, sizeof request);
    PutU32(request, kIoctlControl);
    PutU32(request + 4, op);
    PutU32(request + 8, static_cast<uint32_t>(station));
    PutU32(request + 12, static_cast<uint32_t>(arg1));
    PutU32(request + 16, static_cast<uint32_t>(arg2));
    DWORD got = 0;
    BOOL ok = TransactNamedPipe(h, request, sizeof request, reply, sizeof reply, &got, nullptr);
    CloseHandle(h);
    return ok && got == sizeof reply && GetU32(reply) != 0;
}

// ---- registry ----------------------------------------------------------------

namespace {

const char* const kParents[] = {
    "SYSTEM\\CurrentControlSet\\Services\\vx710s10",
    "SYSTEM\\CurrentControlSet\\Services\\vx710s10\\Parameters",
    "SYSTEM\\CurrentControlSet\\Services\\vx710s10\\Parameters\\Device0",
    "SYSTEM\\CurrentControlSet\\Services\\vx710s10\\Parameters\\Device0\\Settings",
};

const char* const kItemSwitchNames[] = {
    "ByteCount", "CommandCount", "DeviceNumber", "SelectCode", "Offset", "Size", "ReturnCode", "AxisBitNumber",
    "Sourceadd", "CheckSum", "SmonOut", "DinOut", "InterporateNumOut", "InterporateSetOut", "SmonIn",
    "InterporateNumIn", "DinIn",
};

bool KeyExists(const char* path) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

bool WriteDword(const char* path, const char* name, DWORD v) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return false;
    LONG r = RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
}

bool MakeKey(const char* path) {
    HKEY h;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_QUERY_VALUE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

}  // namespace

const char* LogKeys::DllKey() {
    return "SYSTEM\\CurrentControlSet\\Services\\vx710s10\\Parameters\\Device0\\Settings\\Dll";
}
const char* LogKeys::ItemsKey() {
    return "SYSTEM\\CurrentControlSet\\Services\\vx710s10\\Parameters\\Device0\\Settings\\Dll\\LogSetting";
}

LogKeys::SavedKey LogKeys::Save(const char* path) {
    SavedKey k;
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &h) != ERROR_SUCCESS) return k;
    k.existed = true;
    for (DWORD i = 0;; ++i) {
        char name[256];
        BYTE data[1024];
        DWORD nlen = sizeof name, dlen = sizeof data, type = 0;
        if (RegEnumValueA(h, i, name, &nlen, nullptr, &type, data, &dlen) != ERROR_SUCCESS) break;
        k.values.push_back({std::string(name, nlen), type, std::vector<BYTE>(data, data + dlen)});
    }
    RegCloseKey(h);
    return k;
}

void LogKeys::Restore(const char* path, const SavedKey& k) {
    if (!k.existed) return;
    HKEY h;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const SavedValue& v : k.values)
        RegSetValueExA(h, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    RegCloseKey(h);
}

LogKeys::LogKeys() {
    for (const char* p : kParents)
        if (!KeyExists(p) && MakeKey(p)) made_parents_.push_back(p);
    dll_ = Save(DllKey());
    items_ = Save(ItemsKey());
}

LogKeys::~LogKeys() {
    DeleteDllKeys();
    Restore(DllKey(), dll_);
    Restore(ItemsKey(), items_);
    for (auto it = made_parents_.rbegin(); it != made_parents_.rend(); ++it)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, it->c_str());
}

bool LogKeys::Create(const std::string& drive_path, DWORD log_size, DWORD file_max, DWORD file_cnt) {
    if (!MakeKey(DllKey()) || !MakeKey(ItemsKey())) return false;
    bool ok = SetString("LoggingPath", "\\??\\" + drive_path);
    const struct {
        const char* name;
        DWORD value;
    } dwords[] = {
        {"LogSize", log_size}, {"LogFileMax", file_max}, {"LogFileCnt", file_cnt}, {"TrigChk", 0},
        {"TrigData", 0},       {"TargetOffset", 0},      {"TargetSize", 1},        {"TargetCH", 1},
        {"TrigLogic", 0},      {"TargetType", 0},        {"AfterTrigDataSize", 1}, {"Logging", 1},
    };
    for (const auto& d : dwords) ok = ok && SetDword(d.name, d.value);
    for (const char* s : kItemSwitchNames) ok = ok && WriteDword(ItemsKey(), s, 1);
    return ok;
}

bool LogKeys::DeleteDllKeys() {
    LONG a = RegDeleteKeyA(HKEY_LOCAL_MACHINE, ItemsKey());
    LONG b = RegDeleteKeyA(HKEY_LOCAL_MACHINE, DllKey());
    return (a == ERROR_SUCCESS || a == ERROR_FILE_NOT_FOUND) && b == ERROR_SUCCESS;
}

bool LogKeys::SetDword(const char* name, DWORD value) { return WriteDword(DllKey(), name, value); }

bool LogKeys::SetString(const char* name, const std::string& value) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, DllKey(), 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return false;
    LONG r = RegSetValueExA(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
}

bool LogKeys::GetDword(const char* name, DWORD* value) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, DllKey(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    DWORD size = sizeof *value, type = 0;
    LONG r = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(h);
    return r == ERROR_SUCCESS && type == REG_DWORD;
}

// ---- files -------------------------------------------------------------------

ScratchDir::ScratchDir(const char* tag) {
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    std::string base = tmp;
    if (!base.empty() && base.back() == '\\') base.pop_back();
    path_ = base + "\\qrlflt-" + tag + "-" + std::to_string(GetCurrentProcessId());
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

bool IsDirectory(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return out;
    do {
        if (std::strcmp(fd.cFileName, ".") && std::strcmp(fd.cFileName, "..")) out.push_back(fd.cFileName);
    } while (FindNextFileA(f, &fd));
    FindClose(f);
    std::sort(out.begin(), out.end());
    return out;
}

void RemoveTree(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if (a & FILE_ATTRIBUTE_DIRECTORY) {
        for (const std::string& n : ListDir(path)) RemoveTree(path + "\\" + n);
        RemoveDirectoryA(path.c_str());
    } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
}

int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
    return (static_cast<int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> out;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

bool LineIsWellFormed(const std::string& line) {
    if (line.size() < 8) return false;
    for (char c : line)
        if (!std::isxdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c)))
            return false;
    const unsigned count = static_cast<unsigned>(std::stoul(line.substr(2, 4), nullptr, 16));
    if (count != line.size() - 8) return false;
    unsigned sum = 0;
    for (size_t i = 2; i + 2 < line.size(); ++i) sum += static_cast<unsigned char>(line[i]);
    return (~sum & 0xFFu) == std::stoul(line.substr(line.size() - 2), nullptr, 16);
}

std::string RingFile(const std::string& base, int suffix) {
    return suffix == 0 ? base : base + "." + std::to_string(suffix);
}

}  // namespace flt
