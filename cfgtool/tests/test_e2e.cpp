// End to end: an application keeps issuing commands through qrlink00.dll (in-process
// virtual board) while the utility's DLL log dialog chooses the items and the device
// settings dialog's Start and Stop buttons switch the library's call log on and off.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cfg_util.h"
#include "devdlg.h"
#include "device.h"
#include "dlllogdlg.h"
#include "qrlink00.h"
#include "resource.h"
#include "settings_layout.h"

using namespace cfgtest;

namespace {

std::vector<std::string> Lines(const std::wstring& path) {
    std::ifstream in(Narrow(path), std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// A record as the library writes it: type, byte count, fields, checksum.
std::string Record(const char* type, const std::string& fields) {
    char count[8];
    snprintf(count, sizeof count, "%04x", static_cast<unsigned>(fields.size()));
    std::string body = std::string(count) + fields;
    unsigned sum = 0;
    for (char c : body) sum += static_cast<unsigned char>(c);
    char check[4];
    snprintf(check, sizeof check, "%02x", ~sum & 0xFFu);
    return type + body + check;
}

bool WaitFor(const std::function<bool()>& cond, DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (cond()) return true;
        Pump();
        Sleep(20);
    }
    return cond();
}

}  // namespace

TEST(EndToEnd, DllLogDialogAndStartButtonSwitchTheLibraryLogOn) {
    ServiceKeyOnly key;
    InstallSettingsTree();
    SetCurrentDeviceLabel(L"VX-7105 / SN-0001");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring logPath = std::wstring(temp) + L"vx710cfg_e2e.log";
    DeleteFileW(logPath.c_str());
    ModalAnswerer boxes;  // answers the log start confirmation with OK

    // The application: board open on the virtual board, one feed command after another.
    SetEnvironmentVariableA("QRLINK00_DEVICE", "sim");
    int32_t types[15] = {1};
    ASSERT_EQ(InitDll(1), 0);
    ASSERT_EQ(BdOpen(0, 10, 0, types), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> issued{0};
    std::thread app([&] {
        while (!stop) {
            AxFeed(1, 1000);
            ++issued;
            Sleep(5);
        }
    });

    // Choose the items: command count, select code and offset only.
    HWND dll = CreateDlg(IDD_DLLLOG, DllLogDialogProc);
    ASSERT_TRUE(dll);
    for (int id = IDC_LOG_COMMANDCOUNT; id <= IDC_LOG_SOURCEADD; ++id)
        SetCheck(dll, id, id == IDC_LOG_COMMANDCOUNT || id == IDC_LOG_SELECTCODE || id == IDC_LOG_OFFSET);
    Click(dll, IDOK);
    EXPECT_EQ(GetDword(vxreg::kDllLogItemsKey, "DeviceNumber"), 0u);
    DestroyWindow(dll);

    // The path, through OK of the device settings dialog.
    HWND dev = CreateDlg(IDD_DEVICE, DeviceSettingsDialogProc);
    SetText(dev, IDC_DEV_DLL_PATH, logPath);
    Click(dev, IDOK);
    DestroyWindow(dev);
    EXPECT_EQ(GetString(vxreg::kDllKey, "LoggingPath"), L"\\??\\" + logPath);
    Sleep(100);
    EXPECT_EQ(GetFileAttributesW(logPath.c_str()), INVALID_FILE_ATTRIBUTES) << "no log before Start";

    dev = CreateDlg(IDD_DEVICE, DeviceSettingsDialogProc);
    Click(dev, IDC_DEV_DLL_START);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].caption, L"ログ開始の確認");
    EXPECT_EQ(GetDword(vxreg::kDllKey, "Logging"), 1u);
    EXPECT_TRUE(WaitFor([&] { return Lines(logPath).size() >= 5; }, 10000)) << "records appear while it runs";

    Click(dev, IDC_DEV_DLL_STOP);
    EXPECT_EQ(GetDword(vxreg::kDllKey, "Logging"), 0u);
    int before = issued;
    WaitFor([&] { return issued > before + 5; }, 5000);  // the library has seen Logging 0
    size_t lines = Lines(logPath).size();
    before = issued;
    WaitFor([&] { return issued > before + 20; }, 5000);
    EXPECT_EQ(Lines(logPath).size(), lines) << "no records after Stop";
    stop = true;
    app.join();
    EXPECT_EQ(BdClose(0), 0);
    SetEnvironmentVariableA("QRLINK00_DEVICE", nullptr);
    DestroyWindow(dev);

    // Header: item numbers of ByteCount (as installed), the three chosen, CheckSum (as installed).
    std::vector<std::string> log = Lines(logPath);
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[0], Record("00", "01" "01" "02" "04" "05" "0a"));
    // Each feed to station 1: count 01, select code 02, offset 0040.
    EXPECT_EQ(Record("01", "01" "02" "0040"), "01000801020040b0");
    for (size_t i = 1; i < log.size(); ++i) EXPECT_EQ(log[i], "01000801020040b0") << "line " << i;
    EXPECT_EQ(GetDword(vxreg::kDllKey, "LogFileCnt"), 1u);  // the first file of the ring
    EXPECT_TRUE(DeleteFileW(logPath.c_str()));
    RemoveSettingsTree();
}
