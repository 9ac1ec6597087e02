// Helpers of the fault-injection tests: a stand-in process serving a pipe of the
// test's own, control requests to it, the library's registry keys made and removed
// by the test, scratch folders, and a millisecond stopwatch.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stopwatch.h"

namespace flt {

using qrltest::NowMs;

// Handles the process holds now.
DWORD HandleCount();

// Sets QRLINK00_DEVICE for one test and removes it afterwards.
class DeviceEnv {
public:
    explicit DeviceEnv(const std::string& value);
    ~DeviceEnv();
};

// A pipe name nobody else uses: the process id and a per-process counter.
std::string UniquePipeName(const char* tag);

// vx710sim.exe beside the test executable (the build copies it there), or VX_SIM.
std::string SimExePath();

// `vx710sim serve` in a child process of its own. Its standard input is a pipe
// whose write end only this object holds, so the server also ends when the test
// process dies. Stop() (and the destructor) kill it and wait, bounded.
class SimProcess {
public:
    explicit SimProcess(const std::string& pipe) : pipe_(pipe) {}
    ~SimProcess() { Stop(); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the server and polls the pipe until an instance is listening, at most
    // `limit_ms`. False when it did not come up (the process is then stopped).
    bool Start(DWORD limit_ms = 10000);
    // TerminateProcess, then waits at most 5 s for the process to be gone.
    bool Kill();
    void Stop() { Kill(); }
    bool running() const { return process_ != nullptr; }
    // Handles this object holds while the server runs (process, standard input).
    DWORD handles_held() const { return (process_ ? 1 : 0) + (stdin_write_ ? 1 : 0); }

private:
    std::string pipe_;
    HANDLE process_ = nullptr;
    HANDLE stdin_write_ = nullptr;
};

// True once an instance of `pipe` is free to connect, polling at most `limit_ms`.
bool WaitForPipe(const std::string& pipe, DWORD limit_ms);

// One control request (I/O-control code 0x2220F0) on the stand-in's pipe. False
// when the pipe cannot be opened, the transaction fails, or the board refused it.
bool Control(const std::string& pipe, uint32_t op, int32_t station, int32_t arg1, int32_t arg2);

// Control ops of the stand-in.
enum ControlOp : uint32_t {
    kOpSilence = 3,
    kOpFailExchanges = 7,
    kOpInjectCode = 8,
};

// ---- registry ----------------------------------------------------------------

// The library's Dll keys of board family 1, as this test needs them. The keys
// above them (service, Parameters, Device0, Settings) are made when missing and
// removed again if this object made them; values already present in the two Dll
// keys before the test are kept aside and put back at the end.
class LogKeys {
public:
    static const char* DllKey();
    static const char* ItemsKey();

    LogKeys();
    ~LogKeys();
    LogKeys(const LogKeys&) = delete;
    LogKeys& operator=(const LogKeys&) = delete;

    // Creates both Dll keys with Logging 1, the given path ("\??\" + drive path),
    // LogSize in units of 1000 characters, LogFileMax, LogFileCnt, no trigger, and
    // every item and per-command switch on.
    bool Create(const std::string& drive_path, DWORD log_size, DWORD file_max, DWORD file_cnt);
    // RegDeleteKey on the items key, then the Dll key.
    bool DeleteDllKeys();
    bool SetDword(const char* name, DWORD value);
    bool SetString(const char* name, const std::string& value);
    // False when the Dll key or the value does not exist.
    bool GetDword(const char* name, DWORD* value);

private:
    struct SavedValue {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    struct SavedKey {
        bool existed = false;
        std::vector<SavedValue> values;
    };
    static SavedKey Save(const char* path);
    static void Restore(const char* path, const SavedKey& k);

    SavedKey dll_, items_;
    std::vector<std::string> made_parents_;  // deepest last
};

// ---- files -------------------------------------------------------------------

// A scratch folder below the temporary folder, removed with all it holds at the end.
class ScratchDir {
public:
    explicit ScratchDir(const char* tag);
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Removes a file or a folder tree; missing is fine.
void RemoveTree(const std::string& path);
// -1 when the file does not exist.
int64_t FileSize(const std::string& path);
bool IsDirectory(const std::string& path);
// Names of the entries of a folder (not "." and "..").
std::vector<std::string> ListDir(const std::string& dir);
std::vector<std::string> ReadLines(const std::string& path);
// A log line whose checksum (the last two digits) matches the characters from
// position 2 on, and whose byte count matches its length.
bool LineIsWellFormed(const std::string& line);

// The log ring's file names for a base path: suffix 0 is the path itself.
std::string RingFile(const std::string& base, int suffix);

}  // namespace flt
