// The main and device settings dialogs against the driver stand-in vx710sim.exe run as
// the vx710s10 service: installed without its keys, Start makes the service publish
// Device0, and the utility shows the board it recorded.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "cfg_util.h"
#include "devdlg.h"
#include "device.h"
#include "maindlg.h"
#include "resource.h"
#include "settings_layout.h"

using namespace cfgtest;

namespace {

DWORD RunStandIn(const char* args) {
    std::string exe = VX710SIM_EXE;
    if (!exe.empty() && exe[0] == '/') exe = "Z:" + exe;  // a build path, seen from Wine
    std::string cmd = "\"" + exe + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 999;
    DWORD code = 998;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

std::wstring StateText(HWND dlg) {
    wchar_t buf[64] = L"";
    LVITEMW it{};
    it.iSubItem = 1;
    it.pszText = buf;
    it.cchTextMax = 64;
    SendDlgItemMessageW(dlg, IDC_MAIN_LIST, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&it));
    return buf;
}

int TreeCount(HWND dlg) { return static_cast<int>(SendDlgItemMessageW(dlg, IDC_MAIN_TREE, TVM_GETCOUNT, 0, 0)); }

std::wstring TreeText(HWND dlg) {
    wchar_t buf[64] = L"";
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.hItem = reinterpret_cast<HTREEITEM>(SendDlgItemMessageW(dlg, IDC_MAIN_TREE, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    it.pszText = buf;
    it.cchTextMax = 64;
    SendDlgItemMessageW(dlg, IDC_MAIN_TREE, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    return buf;
}

}  // namespace

TEST(StandIn, StartPublishesTheDeviceAndTheDialogsShowIt) {
    ASSERT_FALSE(KeyExists(vxreg::kServiceKey));
    ASSERT_EQ(RunStandIn("install --bare"), 0u);
    ASSERT_FALSE(KeyExists(vxreg::kDevice0Key));
    {
        ModalAnswerer boxes;
        HWND dlg = CreateDlg(IDD_MAIN, MainDialogProc);
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].caption, L"デバイスドライバ未起動");
        EXPECT_FALSE(Enabled(dlg, IDC_MAIN_PROPERTIES));
        EXPECT_EQ(StateText(dlg), L"（停止中）");

        // The service records the board while it starts; a Start that comes before the
        // record finds no device yet, and the next one tries again.
        for (int attempt = 0; attempt < 5 && TreeCount(dlg) == 0; ++attempt) {
            Click(dlg, IDC_MAIN_START);
            if (TreeCount(dlg) == 0) {
                Sleep(300);
                Click(dlg, IDC_MAIN_STOP);
                Sleep(300);
            }
        }
        ASSERT_EQ(TreeCount(dlg), 1);
        EXPECT_EQ(TreeText(dlg), DeviceLabelFromSerial(GetDword(vxreg::kDevice0Key, "SerialNumber")));
        EXPECT_TRUE(Enabled(dlg, IDC_MAIN_PROPERTIES));
        EXPECT_EQ(StateText(dlg), L"（起動済み）");

        // The device settings dialog shows the recorded board as running. It needs the
        // Settings keys an installation provides; the bare one made none.
        InstallSettingsTree(false);
        HWND dev = CreateDlg(IDD_DEVICE, DeviceSettingsDialogProc);
        EXPECT_EQ(Text(dev, IDC_DEV_STATUS), L"デバイスは正常に動作しています。");
        EXPECT_EQ(Text(dev, IDC_DEV_LABEL), TreeText(dlg));
        EXPECT_EQ(Text(dev, IDC_DEV_BUS), DecimalText(GetDword(vxreg::kDevice0Key, "BusNumber")));
        EXPECT_EQ(Text(dev, IDC_DEV_BASE), HexUpperText(GetDword(vxreg::kDevice0Key, "BaseAddress0")));
        DestroyWindow(dev);

        Click(dlg, IDC_MAIN_STOP);
        EXPECT_EQ(StateText(dlg), L"（停止中）");
        EXPECT_EQ(TreeCount(dlg), 1);
        DestroyWindow(dlg);
        Pump();
    }
    EXPECT_EQ(RunStandIn("uninstall"), 0u);
    DeleteTree(vxreg::kServiceKey);
    EXPECT_FALSE(KeyExists(vxreg::kServiceKey));
}
