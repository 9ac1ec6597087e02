#include "cfg_util.h"

#include <commctrl.h>

#include <algorithm>

#include "help.h"
#include "settings_layout.h"

namespace cfgtest {

// ---- registry ----

void CreateKey(const char* path) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(k);
}

void DeleteTree(const char* path) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    char name[256];
    for (;;) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(k, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteTree((std::string(path) + "\\" + name).c_str());
    }
    RegCloseKey(k);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path);
}

bool KeyExists(const char* path) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

namespace {
bool Query(const char* path, const char* name, DWORD* type, std::vector<BYTE>& data) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(k, name, nullptr, type, nullptr, &size);
    if (rc == ERROR_SUCCESS) {
        data.resize(size);
        rc = RegQueryValueExA(k, name, nullptr, type, data.data(), &size);
    }
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}
std::wstring Widen(const char* s) { return std::wstring(s, s + strlen(s)); }
}  // namespace

void SetDword(const char* path, const char* name, DWORD v) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    RegCloseKey(k);
}

void SetString(const char* path, const char* name, const std::wstring& v) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    RegSetValueExW(k, Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                   static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

void DeleteValue(const char* path, const char* name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    RegDeleteValueA(k, name);
    RegCloseKey(k);
}

bool HasValue(const char* path, const char* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    return Query(path, name, &type, data);
}

DWORD GetDword(const char* path, const char* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!Query(path, name, &type, data) || data.size() != 4) return 0xDEADBEEF;
    DWORD v;
    memcpy(&v, data.data(), 4);
    return v;
}

std::wstring GetString(const char* path, const char* name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return L"<missing>";
    wchar_t buf[1024] = L"";
    DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
    LONG rc = RegQueryValueExW(k, Widen(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS ? std::wstring(buf) : L"<missing>";
}

DWORD GetValueType(const char* path, const char* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    return Query(path, name, &type, data) ? type : 0xFFFFFFFF;
}

DWORD GetValueSize(const char* path, const char* name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return 0;
    DWORD size = 0;
    RegQueryValueExW(k, Widen(name).c_str(), nullptr, nullptr, nullptr, &size);
    RegCloseKey(k);
    return size;
}

void InstallSettingsTree(bool deviceValues, const DeviceValues& dv) {
    CreateKey(vxreg::kDevice0Key);
    if (deviceValues) {
        const DWORD v[9] = {dv.bus, dv.base0, dv.base1, dv.base2, dv.irq, dv.size0, dv.size1, dv.size2, dv.serial};
        for (int i = 0; i < 9; ++i) SetDword(vxreg::kDevice0Key, vxreg::kDevice0Values[i], v[i]);
    }
    CreateKey(vxreg::kSettingsKey);
    for (const auto& s : vxreg::kSettingsValues) SetDword(vxreg::kSettingsKey, s.name, s.def);
    for (const char* key : {vxreg::kSysKey, vxreg::kDllKey}) CreateKey(key);
    for (const auto& s : vxreg::kSysValues)
        s.type == vxreg::Type::Dword ? SetDword(vxreg::kSysKey, s.name, s.def)
                                     : SetString(vxreg::kSysKey, s.name, Widen(s.def_text));
    for (const auto& s : vxreg::kDllValues)
        s.type == vxreg::Type::Dword ? SetDword(vxreg::kDllKey, s.name, s.def)
                                     : SetString(vxreg::kDllKey, s.name, Widen(s.def_text));
    CreateKey(vxreg::kSysLogItemsKey);
    for (unsigned i = 0; i < vxreg::kSysLogItemCount; ++i)
        SetDword(vxreg::kSysLogItemsKey, vxreg::kDllLogItems[i].name, 1);
    CreateKey(vxreg::kDllLogItemsKey);
    for (const auto& s : vxreg::kDllLogItems) SetDword(vxreg::kDllLogItemsKey, s.name, s.standard);
    for (const auto& s : vxreg::kDllLogItemsInstalledOnly) SetDword(vxreg::kDllLogItemsKey, s.name, s.standard);
}

void RemoveSettingsTree() { DeleteTree(vxreg::kParametersKey); }

ServiceKeyOnly::ServiceKeyOnly() { CreateKey(vxreg::kServiceKey); }
ServiceKeyOnly::~ServiceKeyOnly() { DeleteTree(vxreg::kServiceKey); }

// ---- scratch service ----

namespace {
struct Scm {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = nullptr;
    bool OpenSvc() {
        service = manager ? ::OpenServiceW(manager, L"vx710s10", SERVICE_ALL_ACCESS) : nullptr;
        return service != nullptr;
    }
    ~Scm() {
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
    }
};
}  // namespace

ScratchService::ScratchService() {
    Scm scm;
    if (!scm.manager) return;
    std::wstring bin = L"\"" + ModuleDir() + L"cfg_testsvc.exe\"";
    SC_HANDLE s = CreateServiceW(scm.manager, L"vx710s10", L"vx710s10", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                 SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, bin.c_str(), nullptr, nullptr, nullptr,
                                 nullptr, nullptr);
    if (!s) return;
    CloseServiceHandle(s);
    ok_ = true;
}

ScratchService::~ScratchService() {
    {
        Scm scm;
        if (scm.OpenSvc()) {
            SERVICE_STATUS st{};
            if (QueryServiceStatus(scm.service, &st) && st.dwCurrentState != SERVICE_STOPPED) {
                ControlService(scm.service, SERVICE_CONTROL_STOP, &st);
                WaitState(SERVICE_STOPPED);
            }
            DeleteService(scm.service);
        }
    }
    // The manager drops the key of a deleted service once the last handle has gone.
    for (int i = 0; i < 100 && KeyExists(vxreg::kServiceKey); ++i) {
        if (i == 50) DeleteTree(vxreg::kServiceKey);
        Sleep(20);
    }
    DeleteTree(vxreg::kServiceKey);
}

DWORD ScratchService::State() {
    Scm scm;
    SERVICE_STATUS st{};
    if (!scm.OpenSvc() || !QueryServiceStatus(scm.service, &st)) return 0;
    return st.dwCurrentState;
}

bool ScratchService::WaitState(DWORD state, DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (State() == state) return true;
        Sleep(20);
    }
    return State() == state;
}

bool ScratchService::Start() {
    {
        Scm scm;
        if (!scm.OpenSvc() || !StartServiceW(scm.service, 0, nullptr)) return false;
    }
    return WaitState(SERVICE_RUNNING);
}

bool ScratchService::Stop() { return Control(SERVICE_CONTROL_STOP, SERVICE_STOPPED); }

bool ScratchService::Control(DWORD code, DWORD expectState) {
    {
        Scm scm;
        SERVICE_STATUS st{};
        if (!scm.OpenSvc() || !ControlService(scm.service, code, &st)) return false;
    }
    return WaitState(expectState);
}

// ---- modal boxes ----

namespace {
ModalAnswerer* g_answerer = nullptr;
bool g_creatingOwn = false;
std::vector<HWND> g_ownDialogs;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_ACTIVATE && g_answerer) {
        HWND h = reinterpret_cast<HWND>(wp);
        wchar_t cls[32] = L"";
        GetClassNameW(h, cls, 32);
        if (wcscmp(cls, L"#32770") == 0 && std::find(g_ownDialogs.begin(), g_ownDialogs.end(), h) == g_ownDialogs.end())
            g_answerer->OnActivate(h);
    }
    if (code == HCBT_CREATEWND && g_creatingOwn) {
        // The first dialog window made inside CreateDlg is the one under test, driven
        // directly; every later one is a box or a modal dialog it opens.
        HWND h = reinterpret_cast<HWND>(wp);
        wchar_t cls[32] = L"";
        GetClassNameW(h, cls, 32);
        if (wcscmp(cls, L"#32770") == 0) {
            g_ownDialogs.push_back(h);
            g_creatingOwn = false;
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

ModalAnswerer::ModalAnswerer(int defaultId) : defaultId_(defaultId) {
    g_answerer = this;
    hook_ = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}

ModalAnswerer::~ModalAnswerer() {
    if (hook_) UnhookWindowsHookEx(hook_);
    g_answerer = nullptr;
}

void ModalAnswerer::Queue(std::function<void(HWND)> action) { actions_.push_back(std::move(action)); }
void ModalAnswerer::QueueClick(int id) {
    Queue([id](HWND h) { PostClick(h, id); });
}

void ModalAnswerer::OnActivate(HWND h) {
    if (std::find(handled_.begin(), handled_.end(), h) != handled_.end()) return;
    handled_.push_back(h);
    wchar_t text[1024] = L"";
    GetDlgItemTextW(h, 0xFFFF, text, 1024);
    seen.push_back({WindowText(h), text, h});
    if (!actions_.empty()) {
        auto action = actions_.front();
        actions_.erase(actions_.begin());
        action(h);
    } else {
        PostClick(h, defaultId_);
    }
}

void PostClick(HWND dlg, int id) {
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

// ---- dialogs ----

HWND CreateDlg(int templateId, DLGPROC proc, LPARAM param) {
    static bool initialised = false;
    if (!initialised) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        initialised = true;
    }
    g_creatingOwn = true;
    HWND h = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), nullptr, proc, param);
    g_creatingOwn = false;
    return h;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Click(HWND dlg, int id) {
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

std::wstring WindowText(HWND h) {
    wchar_t buf[1024] = L"";
    GetWindowTextW(h, buf, 1024);
    return buf;
}

std::wstring Text(HWND dlg, int id) { return WindowText(GetDlgItem(dlg, id)); }
bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != FALSE; }
bool Visible(HWND dlg, int id) {
    return (GetWindowLongW(GetDlgItem(dlg, id), GWL_STYLE) & WS_VISIBLE) != 0;
}
bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
void SetCheck(HWND dlg, int id, bool on) { CheckDlgButton(dlg, id, on ? BST_CHECKED : BST_UNCHECKED); }
void SetText(HWND dlg, int id, const std::wstring& text) { SetDlgItemTextW(dlg, id, text.c_str()); }
int ComboSel(HWND dlg, int id) { return static_cast<int>(SendDlgItemMessageW(dlg, id, CB_GETCURSEL, 0, 0)); }
int ComboCount(HWND dlg, int id) { return static_cast<int>(SendDlgItemMessageW(dlg, id, CB_GETCOUNT, 0, 0)); }
std::wstring ComboItem(HWND dlg, int id, int index) {
    wchar_t buf[256] = L"";
    if (SendDlgItemMessageW(dlg, id, CB_GETLBTEXTLEN, index, 0) >= 256) return L"<long>";
    SendDlgItemMessageW(dlg, id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buf));
    return buf;
}
void ComboSelect(HWND dlg, int id, int index) { SendDlgItemMessageW(dlg, id, CB_SETCURSEL, index, 0); }

void SelectTab(HWND dlg, int index) {
    HWND tab = GetDlgItem(dlg, 1006);
    SendMessageW(tab, TCM_SETCURSEL, index, 0);
    NMHDR hdr{tab, 1006, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(dlg, WM_NOTIFY, 1006, reinterpret_cast<LPARAM>(&hdr));
}

void SendHelp(HWND dlg) {
    HELPINFO hi{};
    hi.cbSize = sizeof hi;
    hi.iContextType = HELPINFO_WINDOW;
    hi.hItemHandle = dlg;
    SendMessageW(dlg, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
}

RECT ChildRect(HWND dlg, int id) {
    RECT rc{};
    GetWindowRect(GetDlgItem(dlg, id), &rc);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

int RefX(HWND dlg, int px) {
    RECT units = {0, 0, 400, 800};  // 100 horizontal base units, 100 vertical ones
    MapDialogRect(dlg, &units);
    return static_cast<int>((static_cast<long long>(px) * units.right + 300) / 600);
}

int RefY(HWND dlg, int px) {
    RECT units = {0, 0, 400, 800};
    MapDialogRect(dlg, &units);
    return static_cast<int>((static_cast<long long>(px) * units.bottom + 600) / 1200);
}

std::vector<unsigned> HelpRecorder::topics;
namespace {
void RecordTopic(unsigned t) { HelpRecorder::topics.push_back(t); }
}  // namespace
HelpRecorder::HelpRecorder() {
    topics.clear();
    SetHelpTopicObserver(RecordTopic);
}
HelpRecorder::~HelpRecorder() { SetHelpTopicObserver(nullptr); }

std::wstring ModuleDir() {
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::string Narrow(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    return s;
}

}  // namespace cfgtest
