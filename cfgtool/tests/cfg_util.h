// Test helpers of the configuration utility: registry set-up and inspection under the
// vx710s10 service key, a scratch vx710s10 service, answering modal boxes from a CBT
// hook, and reading dialog controls back.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace cfgtest {

// ---- registry ----
constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
void CreateKey(const char* path);
void DeleteTree(const char* path);  // the key and everything below it; no error when absent
bool KeyExists(const char* path);
void SetDword(const char* path, const char* name, DWORD v);
void SetString(const char* path, const char* name, const std::wstring& v);
void DeleteValue(const char* path, const char* name);
bool HasValue(const char* path, const char* name);
DWORD GetDword(const char* path, const char* name);       // 0xDEADBEEF when missing
std::wstring GetString(const char* path, const char* name);  // L"<missing>" when missing
DWORD GetValueType(const char* path, const char* name);
DWORD GetValueSize(const char* path, const char* name);

struct DeviceValues {
    DWORD bus = 3, base0 = 0xE0100000, base1 = 0xE0200000, base2 = 0, irq = 10;
    DWORD size0 = 0x20000, size1 = 0x100, size2 = 0, serial = 0xFFFFFFFF;
};
// The keys a driver installation provides, with the installation defaults:
// Parameters\Device0 (with the nine values when `deviceValues`), Settings, Sys,
// Sys\LogSetting, Dll, Dll\LogSetting. The service key must exist already.
void InstallSettingsTree(bool deviceValues = true, const DeviceValues& dv = DeviceValues());
// Removes Parameters and everything below it.
void RemoveSettingsTree();

// The whole vx710s10 key made by hand (no service behind it), removed on destruction.
struct ServiceKeyOnly {
    ServiceKeyOnly();
    ~ServiceKeyOnly();
};

// ---- scratch service vx710s10 (cfg_testsvc.exe beside the test program) ----
class ScratchService {
public:
    ScratchService();   // creates it (own process, demand start)
    ~ScratchService();  // stops and deletes it, and removes what is left of its key
    bool ok() const { return ok_; }
    DWORD State();      // SERVICE_* state, 0 when it cannot be queried
    bool Start();       // and waits until it runs
    bool Stop();        // and waits until it has stopped
    bool Control(DWORD code, DWORD expectState);
    bool WaitState(DWORD state, DWORD ms = 5000);

private:
    bool ok_ = false;
};

// ---- modal boxes ----
struct SeenBox {
    std::wstring caption;
    std::wstring text;  // static 0xFFFF of a message box
    HWND hwnd;
};
// Answers every dialog box (class #32770) activated on this thread. Each box takes the
// next queued action; with none queued it gets `defaultId` clicked.
class ModalAnswerer {
public:
    explicit ModalAnswerer(int defaultId = IDOK);
    ~ModalAnswerer();
    void Queue(std::function<void(HWND)> action);
    void QueueClick(int id);
    std::vector<SeenBox> seen;

private:
    friend LRESULT CALLBACK CbtProc(int, WPARAM, LPARAM);
    void OnActivate(HWND h);
    int defaultId_;
    std::vector<std::function<void(HWND)>> actions_;
    std::vector<HWND> handled_;
    HHOOK hook_ = nullptr;
};
void PostClick(HWND dlg, int id);

// ---- dialogs ----
HWND CreateDlg(int templateId, DLGPROC proc, LPARAM param = 0);
void Pump();
void Click(HWND dlg, int id);  // WM_COMMAND BN_CLICKED sent directly
std::wstring Text(HWND dlg, int id);
std::wstring WindowText(HWND h);
bool Enabled(HWND dlg, int id);
bool Visible(HWND dlg, int id);
bool Checked(HWND dlg, int id);
void SetCheck(HWND dlg, int id, bool on);
void SetText(HWND dlg, int id, const std::wstring& text);
int ComboSel(HWND dlg, int id);
int ComboCount(HWND dlg, int id);
std::wstring ComboItem(HWND dlg, int id, int index);
void ComboSelect(HWND dlg, int id, int index);
void SelectTab(HWND dlg, int index);  // selects and sends the selection-changed notice
void SendHelp(HWND dlg);
RECT ChildRect(HWND dlg, int id);     // in the dialog's client coordinates
// A pixel value of the layout given for the reference font (1.5 pixels per dialog unit),
// in this dialog's real units.
int RefX(HWND dlg, int px);
int RefY(HWND dlg, int px);

// Topics asked for through ShowHelpTopic while the recorder lives.
struct HelpRecorder {
    HelpRecorder();
    ~HelpRecorder();
    static std::vector<unsigned> topics;
};

std::wstring ModuleDir();  // directory of the running test program, with trailing '\'
std::string Narrow(const std::wstring& w);

}  // namespace cfgtest
