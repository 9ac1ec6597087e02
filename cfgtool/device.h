// What the driver records about the board (the Device0 key) and the texts made from it.
#pragma once

#include <windows.h>
#include <string>

// Result of the driver presence check at start-up.
enum class DriverPresence {
    NotInstalled,  // service key missing
    NotStarted,    // service key there, Device0 key missing
    DevicePresent, // both there
};
DriverPresence CheckDriverPresence();

// "VX-7105 / SN-%04d" of the stored serial value: (0 - value) reduced to 16 bits.
std::wstring DeviceLabelFromSerial(DWORD stored);

// Reads SerialNumber from Device0 and builds the label; false when the key cannot be
// opened, the value cannot be read or the key cannot be closed.
bool ReadDeviceLabel(std::wstring& label);

// The process-wide device label: empty until a device entry has been added.
const std::wstring& CurrentDeviceLabel();
void SetCurrentDeviceLabel(const std::wstring& label);

// The nine Device0 values in the order they are read; reading stops at the first
// missing value. `count` tells how many were read; `complete` also needs the key
// opened and closed.
enum DeviceValue {
    kBusNumber, kBaseAddress0, kBaseAddress1, kBaseAddress2, kIrq,
    kAddressSize0, kAddressSize1, kAddressSize2, kSerialNumber, kDeviceValueCount
};
struct DeviceInfo {
    DWORD values[kDeviceValueCount] = {};
    int count = 0;
    bool complete = false;
};
DeviceInfo ReadDeviceInfo();

std::wstring DecimalText(DWORD v);       // "%d"
std::wstring HexUpperText(DWORD v);      // "%X"
std::wstring AddressRangeText(DWORD base, DWORD size);  // "%X - %X", end = base + size
