#include "devsettings.h"

#include "regkey.h"
#include "settings_layout.h"

const wchar_t kDefaultSysLogPath[] = L"C:\\vx710s10.log";
const wchar_t kDefaultDllLogPath[] = L"C:\\vx710d10.log";

namespace {
const wchar_t kWidePrefix[] = L"\\??\\";
}

SettingsRead ReadSettingsKey() {
    SettingsRead r;
    RegKey key;
    if (!key.Open(vxreg::kSettingsKey)) return r;
    r.deviceNumber.ok = key.ReadDword("DeviceNumber", r.deviceNumber.value);
    if (!r.deviceNumber.ok) return r;
    r.synchronizing.ok = key.ReadDword("synchronizing", r.synchronizing.value);
    if (!r.synchronizing.ok) return r;
    r.complete = key.Close();
    return r;
}

std::wstring ShownLogPath(const std::wstring& stored) {
    return stored.size() >= vxreg::kPathPrefixLen ? stored.substr(vxreg::kPathPrefixLen) : std::wstring();
}

std::wstring StoredLogPath(const std::wstring& entered) { return kWidePrefix + entered; }

LogKeyRead ReadLogKey(const char* keyPath) {
    LogKeyRead r;
    RegKey key;
    if (!key.Open(keyPath)) return r;
    std::wstring stored;
    r.pathOk = key.ReadString(vxreg::kLoggingPath, stored, 1024);
    if (!r.pathOk) return r;
    r.shownPath = ShownLogPath(stored);
    r.logging.ok = key.ReadDword(vxreg::kLogging, r.logging.value);
    if (!r.logging.ok) return r;
    r.complete = key.Close();
    return r;
}

bool StoreSettingsKey(DWORD deviceNumber, DWORD synchronizing) {
    RegKey key;
    return key.Open(vxreg::kSettingsKey) && key.WriteDword("DeviceNumber", deviceNumber) &&
           key.WriteDword("synchronizing", synchronizing) && key.Close();
}

bool StoreLogPath(const char* keyPath, const std::wstring& entered) {
    RegKey key;
    return key.Open(keyPath) && key.WriteString(vxreg::kLoggingPath, StoredLogPath(entered)) && key.Close();
}

bool StoreLogging(const char* keyPath, DWORD value) { return RegWriteDword(keyPath, vxreg::kLogging, value); }

bool ReadStartLogMessage(const char* keyPath, DWORD& value) {
    return RegReadDword(keyPath, vxreg::kStartLogMessage, value);
}

bool StoreStartLogMessage(const char* keyPath, DWORD value) {
    return RegWriteDword(keyPath, vxreg::kStartLogMessage, value);
}

bool StoreStandardLogCounters() {
    return RegWriteDword(vxreg::kDllKey, vxreg::kLogFileCnt, 0) &&
           RegWriteDword(vxreg::kDllKey, vxreg::kStartLogMessage, 1) &&
           RegWriteDword(vxreg::kSysKey, vxreg::kStartLogMessage, 1);
}
