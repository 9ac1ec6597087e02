#include "device.h"

#include <cwchar>

#include "regkey.h"
#include "settings_layout.h"

namespace {
std::wstring g_deviceLabel;

std::wstring Format(const wchar_t* fmt, DWORD a, DWORD b = 0) {
    wchar_t buf[64];
    swprintf(buf, 64, fmt, a, b);
    return buf;
}
}  // namespace

DriverPresence CheckDriverPresence() {
    if (!RegKeyExists(vxreg::kServiceKey)) return DriverPresence::NotInstalled;
    if (!RegKeyExists(vxreg::kDevice0Key)) return DriverPresence::NotStarted;
    return DriverPresence::DevicePresent;
}

std::wstring DeviceLabelFromSerial(DWORD stored) {
    unsigned serial = (0u - stored) & 0xFFFFu;
    wchar_t buf[32];
    swprintf(buf, 32, L"VX-7105 / SN-%04u", serial);
    return buf;
}

bool ReadDeviceLabel(std::wstring& label) {
    RegKey key;
    DWORD serial = 0;
    if (!key.Open(vxreg::kDevice0Key) || !key.ReadDword("SerialNumber", serial) || !key.Close()) return false;
    label = DeviceLabelFromSerial(serial);
    return true;
}

const std::wstring& CurrentDeviceLabel() { return g_deviceLabel; }
void SetCurrentDeviceLabel(const std::wstring& label) { g_deviceLabel = label; }

DeviceInfo ReadDeviceInfo() {
    DeviceInfo info;
    RegKey key;
    if (!key.Open(vxreg::kDevice0Key)) return info;
    for (int i = 0; i < kDeviceValueCount; ++i) {
        if (!key.ReadDword(vxreg::kDevice0Values[i], info.values[i])) return info;
        info.count = i + 1;
    }
    info.complete = key.Close();
    return info;
}

std::wstring DecimalText(DWORD v) { return Format(L"%d", v); }
std::wstring HexUpperText(DWORD v) { return Format(L"%X", v); }
std::wstring AddressRangeText(DWORD base, DWORD size) { return Format(L"%X - %X", base, base + size); }
