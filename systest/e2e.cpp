// The whole system on one machine, as a customer's installation runs it: the
// driver stand-in installed as the vx710s10 service, the utility and the applet in
// the system directory, the library where the compatibility check looks for it and
// beside the sample. The test then plays the service engineer and the application:
//
//   applet -> utility; utility Start -> service running; sample through the pipe;
//   utility's device settings switch the library log on and off while the
//   application runs; the decoded log holds exactly the exchanges made meanwhile;
//   utility Stop -> service stopped -> BdOpen -4; compatibility check passes.
//
// Everything it installs it removes again. Every wait is bounded.
#include <windows.h>

#include <cpl.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "logformat.h"
#include "qrlink00.h"

namespace {

int g_failures = 0;
std::string g_here;  // folder of this program, holding the build's deliverables

void Check(bool ok, const char* what) {
    std::printf("  [%s] %s\n", ok ? " ok " : "FAIL", what);
    std::fflush(stdout);
    if (!ok) ++g_failures;
}

bool WaitFor(const std::function<bool()>& done, DWORD limit_ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limit_ms) return false;
        Sleep(50);
    }
    return true;
}

std::string SystemDir() {
    char buf[MAX_PATH];
    GetSystemDirectoryA(buf, MAX_PATH);
    return buf;
}

const std::string kPf = "C:\\Program Files\\zrn\\vx7105";
const std::string kLibDir = kPf + "\\qrlink00\\Release";
const std::string kSampleDir = kPf + "\\samples";
const std::string kToolsDir = kPf + "\\tools";
const char* const kPipe = "\\\\.\\pipe\\vx710s10";
const char* const kDllKey = "SYSTEM\\CurrentControlSet\\Services\\vx710s10\\Parameters\\Device0\\Settings\\Dll";
const char* const kLogPath = "C:\\vx710d10.log";

bool Copy(const std::string& from, const std::string& to) { return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0; }

// Runs a program to its end (bounded); returns its exit code, or -1.
int Run(const std::string& cmdline, DWORD limit_ms, std::string* output = nullptr) {
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE rd = nullptr, wr = nullptr;
    if (output && !CreatePipe(&rd, &wr, &sa, 0)) return -1;
    if (rd) SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = wr;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION pi = {};
    std::vector<char> cmd(cmdline.begin(), cmdline.end());
    cmd.push_back(0);
    BOOL ok = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &si, &pi);
    if (wr) CloseHandle(wr);
    if (!ok) {
        if (rd) CloseHandle(rd);
        return -1;
    }
    if (output) {
        char buf[4096];
        DWORD n;
        while (ReadFile(rd, buf, sizeof buf, &n, nullptr) && n) output->append(buf, n);
        CloseHandle(rd);
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, limit_ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 9);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

DWORD ServiceState() {
    SC_HANDLE m = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!m) return 0;
    SC_HANDLE s = OpenServiceA(m, "vx710s10", SERVICE_QUERY_STATUS);
    SERVICE_STATUS st = {};
    DWORD state = 0;
    if (s && QueryServiceStatus(s, &st)) state = st.dwCurrentState;
    if (s) CloseServiceHandle(s);
    CloseServiceHandle(m);
    return state;
}

bool ReadDword(const char* key, const char* name, DWORD& v) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h)) return false;
    DWORD size = sizeof v, type = 0;
    LONG r = RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size);
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
}

// ---- the utility, driven from outside its process ----

struct Found {
    DWORD pid;
    const wchar_t* caption;
    HWND hwnd;
};

BOOL CALLBACK FindTopLevel(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    wchar_t text[256] = L"";
    GetWindowTextW(h, text, 256);
    if ((f->pid == 0 || pid == f->pid) && wcscmp(text, f->caption) == 0) {
        f->hwnd = h;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialog(const wchar_t* caption, DWORD pid = 0, DWORD limit_ms = 15000) {
    Found f{pid, caption, nullptr};
    WaitFor([&] {
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&f));
        return f.hwnd != nullptr;
    }, limit_ms);
    return f.hwnd;
}

void Click(HWND dlg, int id) {
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

std::wstring Text(HWND dlg, int id) {
    wchar_t buf[512] = L"";
    SendMessageTimeoutW(GetDlgItem(dlg, id), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return buf;
}

const wchar_t kMainCaption[] = L"VX-7105 ｺﾝﾄﾛｰﾗ";
const wchar_t kSettingsCaption[] = L"ﾃﾞﾊﾞｲｽの設定";
const wchar_t kConfirmCaption[] = L"ログ開始の確認";
const wchar_t kCompatCaption[] = L"VX-7105ソフトウェア互換状況";
const wchar_t kCompatOk[] = L"各ファイル間での互換性が確認されました。";

// ---- installation ----

bool Install() {
    const std::string sys = SystemDir();
    CreateDirectoryA("C:\\Program Files\\zrn", nullptr);
    CreateDirectoryA(kPf.c_str(), nullptr);
    CreateDirectoryA((kPf + "\\qrlink00").c_str(), nullptr);
    for (const std::string& d : {kLibDir, kSampleDir, kToolsDir}) CreateDirectoryA(d.c_str(), nullptr);
    CreateDirectoryA((sys + "\\drivers").c_str(), nullptr);
    bool ok = Copy(g_here + "\\vx710cfg.exe", sys + "\\vx710cfg.exe") &&
              Copy(g_here + "\\vx710cpl.cpl", sys + "\\vx710cpl.cpl") &&
              Copy(g_here + "\\vx710s10.sys", sys + "\\drivers\\vx710s10.sys") &&
              Copy(g_here + "\\qrlink00.dll", kLibDir + "\\qrlink00.dll") &&
              Copy(g_here + "\\qrlink00.dll", kSampleDir + "\\qrlink00.dll") &&
              Copy(g_here + "\\vx_demo.exe", kSampleDir + "\\vx_demo.exe") &&
              Copy(g_here + "\\vx710sim.exe", kToolsDir + "\\vx710sim.exe");
    // The driver's installation: the service and its keys; then the values the
    // driver published when it last ran (the board was found before).
    ok = ok && Run("\"" + kToolsDir + "\\vx710sim.exe\" install", 30000) == 0;
    ok = ok && Run("\"" + kToolsDir + "\\vx710sim.exe\" publish", 30000) == 0;
    DeleteFileA(kLogPath);
    return ok;
}

void Uninstall() {
    const std::string sys = SystemDir();
    SC_HANDLE m = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (m) {
        SC_HANDLE s = OpenServiceA(m, "vx710s10", SERVICE_ALL_ACCESS);
        SERVICE_STATUS st;
        if (s) {
            ControlService(s, SERVICE_CONTROL_STOP, &st);
            CloseServiceHandle(s);
        }
        CloseServiceHandle(m);
    }
    WaitFor([] { return ServiceState() != SERVICE_RUNNING && ServiceState() != SERVICE_STOP_PENDING; }, 10000);
    Run("\"" + kToolsDir + "\\vx710sim.exe\" uninstall", 30000);
    for (const std::string& f : {sys + "\\vx710cfg.exe", sys + "\\vx710cpl.cpl", sys + "\\drivers\\vx710s10.sys",
                                 kLibDir + "\\qrlink00.dll", kSampleDir + "\\qrlink00.dll",
                                 kSampleDir + "\\vx_demo.exe", kToolsDir + "\\vx710sim.exe", std::string(kLogPath)})
        DeleteFileA(f.c_str());
    for (const std::string& d : {kLibDir, kPf + "\\qrlink00", kSampleDir, kToolsDir, kPf, std::string("C:\\Program Files\\zrn")})
        RemoveDirectoryA(d.c_str());
}

// The utility's process: found through its main dialog.
DWORD UtilityPid(HWND main) {
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    return pid;
}

// Writes `count` distinct values to port 1 of I/O station 2: one logged exchange each.
bool WriteSeries(int first, int count) {
    for (int i = 0; i < count; ++i)
        if (D16out(2, 1, first + i, 0, 0) != QRL_OK) return false;
    return true;
}

// The log must hold the header and exactly the `count` writes of values first..first+count-1.
void CheckLog(int first, int count) {
    std::ifstream f(kLogPath, std::ios::binary);
    Check(static_cast<bool>(f), "the library wrote its call log to the path of the Dll key");
    if (!f) return;
    std::stringstream ss;
    ss << f.rdbuf();
    qrlog::Log log = qrlog::ReadLog(ss.str());
    Check(log.problems.empty(), "every line of the log decodes (byte counts and checksums)");
    size_t headers = 0;
    std::vector<int> values;
    bool only_writes = true;
    for (const qrlog::Record& r : log.records) {
        if (r.type == 0) {
            ++headers;
            continue;
        }
        for (const qrlog::Entry& e : r.entries) {
            if (e.select != 2 || e.offset != 2 * 64 + 1 || e.size != 2) only_writes = false;
            values.push_back(e.data[0] | (e.data[1] << 8));
        }
    }
    std::vector<int> want;
    for (int i = 0; i < count; ++i) want.push_back(first + i);
    Check(headers == 1, "one log start while the application ran");
    Check(only_writes, "the log holds only the port writes made while it was on");
    Check(values == want, "exactly the exchanges made while the log was on, in order");
    std::printf("      %zu records: header + %zu writes (values %d..%d expected)\n", log.records.size(),
                values.size(), first, first + count - 1);
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    g_here = self;
    g_here.resize(g_here.find_last_of('\\'));

    std::printf("system test: install\n");
    Uninstall();  // whatever an interrupted earlier run left
    Check(Install(), "stand-in service, utility, applet, driver file, library and sample installed");

    std::printf("system test: the applet starts the utility\n");
    HMODULE cpl = LoadLibraryA((SystemDir() + "\\vx710cpl.cpl").c_str());
    auto applet = cpl ? reinterpret_cast<APPLET_PROC>(reinterpret_cast<void*>(GetProcAddress(cpl, "CPlApplet"))) : nullptr;
    Check(applet != nullptr, "vx710cpl.cpl loads and exports CPlApplet");
    HWND main = nullptr;
    if (applet) {
        Check(applet(nullptr, CPL_INIT, 0, 0) == 1 && applet(nullptr, CPL_GETCOUNT, 0, 0) == 1, "CPL_INIT, CPL_GETCOUNT");
        applet(nullptr, CPL_DBLCLK, 0, 0);
        main = FindDialog(kMainCaption);
        applet(nullptr, CPL_STOP, 0, 0);
        applet(nullptr, CPL_EXIT, 0, 0);
    }
    if (cpl) FreeLibrary(cpl);
    Check(main != nullptr, "the utility's main dialog is up");
    const DWORD pid = main ? UtilityPid(main) : 0;

    std::printf("system test: the utility starts the driver service\n");
    Check(ServiceState() == SERVICE_STOPPED, "the service is installed and stopped");
    if (main) Click(main, 1130);
    Check(WaitFor([] { return ServiceState() == SERVICE_RUNNING; }, 15000), "Start: the service runs");
    Check(WaitFor([] {
        HANDLE h = CreateFileA(kPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_PIPE_BUSY;
        CloseHandle(h);
        return true;
    }, 10000), "the board is reachable on \\\\.\\pipe\\vx710s10");

    std::printf("system test: the sample application through the pipe\n");
    SetEnvironmentVariableA("QRLINK00_DEVICE", kPipe);
    std::string out;
    int rc = Run("\"" + kSampleDir + "\\vx_demo.exe\" all", 120000, &out);
    Check(rc == 0 && out.find("done, 0 call(s) reported a failure") != std::string::npos,
          "vx_demo: motion, I/O and parameter sequence, every call 0");
    if (rc != 0) std::printf("%s\n", out.c_str());

    std::printf("system test: the utility switches the library log while the application runs\n");
    InitDll(1);
    int32_t types[15] = {0x01, 0x61};
    Check(BdOpen(0, 10, 0, types) == QRL_OK, "BdOpen through the pipe");
    Check(WriteSeries(5000, 10), "writes before the log is on");
    HWND settings = nullptr;
    if (main) {
        Click(main, 1133);
        settings = FindDialog(kSettingsCaption, pid);
    }
    Check(settings != nullptr, "Properties opens the device settings");
    if (settings) {
        Click(settings, 1198);  // library log: Start
        HWND confirm = FindDialog(kConfirmCaption, pid);
        Check(confirm != nullptr, "the log start is confirmed first");
        if (confirm) Click(confirm, IDOK);
    }
    DWORD logging = 0;
    Check(WaitFor([&] { return ReadDword(kDllKey, "Logging", logging) && logging == 1; }, 10000),
          "Start: Logging = 1 in the Dll key");
    Check(WriteSeries(1, 20), "writes while the log is on");
    if (settings) Click(settings, 1199);  // library log: Stop
    Check(WaitFor([&] { return ReadDword(kDllKey, "Logging", logging) && logging == 0; }, 10000),
          "Stop: Logging = 0 in the Dll key");
    Check(WriteSeries(7000, 10), "writes after the log is off");
    if (settings) {
        Click(settings, 2);
        Check(WaitFor([&] { return !IsWindow(settings); }, 10000), "the device settings close");
    }
    Check(BdClose(0) == QRL_OK, "BdClose");
    CheckLog(1, 20);

    std::printf("system test: the utility stops the driver service\n");
    if (main) Click(main, 1131);
    Check(WaitFor([] { return ServiceState() == SERVICE_STOPPED; }, 15000), "Stop: the service is stopped");
    Check(BdOpen(0, 10, 0, types) == QRL_E_NODEVICE, "the next BdOpen returns -4");

    std::printf("system test: the compatibility check of the installed versions\n");
    HWND compat = nullptr;
    if (main) {
        Click(main, 1203);
        compat = FindDialog(kCompatCaption, pid);
    }
    Check(compat != nullptr, "the compatibility dialog opens");
    if (compat) {
        Click(compat, 1130);
        Check(WaitFor([&] { return Text(compat, 1187) == kCompatOk; }, 10000),
              "the check passes: driver 6.3.0.1, library 6.5.1.0, utility 6.3.0.1");
        Click(compat, 2);
        WaitFor([&] { return !IsWindow(compat); }, 10000);
    }

    std::printf("system test: close and uninstall\n");
    if (main) {
        Click(main, 2);
        HANDLE proc = OpenProcess(SYNCHRONIZE, FALSE, pid);
        Check(proc && WaitForSingleObject(proc, 15000) == WAIT_OBJECT_0, "the utility ends with its Close button");
        if (proc) CloseHandle(proc);
    }
    Uninstall();
    Check(GetFileAttributesA((SystemDir() + "\\vx710cfg.exe").c_str()) == INVALID_FILE_ATTRIBUTES &&
              GetFileAttributesA(kPf.c_str()) == INVALID_FILE_ATTRIBUTES,
          "nothing left behind");
    std::printf("system test: %d failure(s)\n", g_failures);
    return g_failures ? 1 : 0;
}
