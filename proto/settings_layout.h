// The registry layout shared by the library, the configuration utility and the
// driver stand-in: every key path, value name, type and default, in one place.
//
// All keys live under HKEY_LOCAL_MACHINE. The library and the utility open them
// (full access) and never create them; the driver's installation does.
// Portable header: no <windows.h>.
#pragma once

#include <cstdint>

namespace vxreg {

// Service names of the two board families (InitDll 1 and 2).
constexpr const char* kService710 = "vx710s10";
constexpr const char* kService880 = "vx880s10";

#define VXREG_SVC(s) "SYSTEM\\CurrentControlSet\\Services\\" s
#define VXREG_DEV(s) VXREG_SVC(s) "\\Parameters\\Device0"
constexpr const char* kServiceKey = VXREG_SVC("vx710s10");
constexpr const char* kParametersKey = VXREG_SVC("vx710s10") "\\Parameters";
constexpr const char* kDevice0Key = VXREG_DEV("vx710s10");
constexpr const char* kSettingsKey = VXREG_DEV("vx710s10") "\\Settings";
constexpr const char* kSysKey = VXREG_DEV("vx710s10") "\\Settings\\Sys";
constexpr const char* kSysLogItemsKey = VXREG_DEV("vx710s10") "\\Settings\\Sys\\LogSetting";
constexpr const char* kDllKey = VXREG_DEV("vx710s10") "\\Settings\\Dll";
constexpr const char* kDllLogItemsKey = VXREG_DEV("vx710s10") "\\Settings\\Dll\\LogSetting";
constexpr const char* kDllKey880 = VXREG_DEV("vx880s10") "\\Settings\\Dll";
constexpr const char* kDllLogItemsKey880 = VXREG_DEV("vx880s10") "\\Settings\\Dll\\LogSetting";
constexpr const char* kServiceKey880 = VXREG_SVC("vx880s10");
constexpr const char* kParametersKey880 = VXREG_SVC("vx880s10") "\\Parameters";
#undef VXREG_DEV
#undef VXREG_SVC

// The library's Dll keys by board family (1 = vx710s10, 2 = vx880s10); nullptr otherwise.
constexpr const char* DllKeyFor(int32_t family) {
    return family == 1 ? kDllKey : family == 2 ? kDllKey880 : nullptr;
}
constexpr const char* DllLogItemsKeyFor(int32_t family) {
    return family == 1 ? kDllLogItemsKey : family == 2 ? kDllLogItemsKey880 : nullptr;
}

enum class Type { Dword, String };

struct Value {
    const char* name;
    Type type;
    uint32_t def;          // default for DWORD values (as the utility's standard settings set it)
    const char* def_text;  // default for string values (stored form, prefix included)
};

// The object-manager prefix stored in front of every log path.
constexpr const char* kPathPrefix = "\\??\\";
constexpr unsigned kPathPrefixLen = 4;
constexpr unsigned kMaxPathChars = 259;  // including the prefix

// Device0: written by the driver, read by the utility, in this order.
constexpr const char* kDevice0Values[9] = {
    "BusNumber", "BaseAddress0", "BaseAddress1", "BaseAddress2", "IRQ",
    "AddressSize0", "AddressSize1", "AddressSize2", "SerialNumber",
};

// Settings key.
constexpr Value kSettingsValues[] = {
    {"DeviceNumber", Type::Dword, 1, nullptr},
    {"synchronizing", Type::Dword, 0, nullptr},
};

// Sys key (driver log).
constexpr Value kSysValues[] = {
    {"Logging", Type::Dword, 0, nullptr},
    {"LoggingPath", Type::String, 0, "\\??\\C:\\vx710s10.log"},
    {"StartLogMessage", Type::Dword, 1, nullptr},
    {"LogSize", Type::Dword, 1000, nullptr},
    {"LogFileMax", Type::Dword, 7, nullptr},
};

// Dll key (library log).
constexpr Value kDllValues[] = {
    {"Logging", Type::Dword, 0, nullptr},
    {"LoggingPath", Type::String, 0, "\\??\\C:\\vx710d10.log"},
    {"StartLogMessage", Type::Dword, 1, nullptr},
    {"LogSize", Type::Dword, 1000, nullptr},
    {"LogFileMax", Type::Dword, 7, nullptr},
    {"LogFileCnt", Type::Dword, 0, nullptr},
    {"TrigChk", Type::Dword, 0, nullptr},
    {"TrigData", Type::Dword, 0x99, nullptr},
    {"AfterTrigDataSize", Type::Dword, 1, nullptr},
    {"TargetType", Type::Dword, 0, nullptr},
    {"TrigLogic", Type::Dword, 0, nullptr},
    {"TargetCH", Type::Dword, 1, nullptr},
    {"TargetOffset", Type::Dword, 2, nullptr},
    {"TargetSize", Type::Dword, 1, nullptr},
};

// Value names used by the library's call log.
constexpr const char* kLogging = "Logging";
constexpr const char* kLoggingPath = "LoggingPath";
constexpr const char* kStartLogMessage = "StartLogMessage";
constexpr const char* kLogSize = "LogSize";
constexpr const char* kLogFileMax = "LogFileMax";
constexpr const char* kLogFileCnt = "LogFileCnt";
constexpr const char* kAfterTrigDataSize = "AfterTrigDataSize";

// The ten trigger and file settings the library reads at log start, in this order.
constexpr const char* kTriggerAndFileValues[10] = {
    "TrigChk", "TrigData", "TargetOffset", "TargetSize", "TargetCH",
    "TrigLogic", "TargetType", "LogFileCnt", "LogFileMax", "LogSize",
};

// Log item switches (LogSetting keys). Items 1..10 appear in the log header by number.
constexpr const char* kItemSwitches[10] = {
    "ByteCount", "CommandCount", "DeviceNumber", "SelectCode", "Offset",
    "Size", "ReturnCode", "AxisBitNumber", "Sourceadd", "CheckSum",
};
// Per-command switches (Dll log items key only).
constexpr const char* kCommandSwitches[7] = {
    "SmonOut", "DinOut", "InterporateNumOut", "InterporateSetOut",
    "SmonIn", "InterporateNumIn", "DinIn",
};

// Dll log items as the utility's dialog lists them (rows 1..15), with the standard state.
struct Switch {
    const char* name;
    uint32_t standard;
};
constexpr Switch kDllLogItems[15] = {
    {"CommandCount", 1}, {"DeviceNumber", 1}, {"SelectCode", 1}, {"Offset", 1},
    {"Size", 1}, {"ReturnCode", 1}, {"AxisBitNumber", 1}, {"Sourceadd", 1},
    {"SmonOut", 0}, {"DinOut", 0}, {"InterporateNumOut", 0}, {"InterporateSetOut", 0},
    {"SmonIn", 1}, {"InterporateNumIn", 0}, {"DinIn", 0},
};
// Sys log items: the first eight rows, all on by default.
constexpr unsigned kSysLogItemCount = 8;
// ByteCount and CheckSum exist in the Dll log items key as installed (1) but no
// dialog writes them.
constexpr Switch kDllLogItemsInstalledOnly[2] = {{"ByteCount", 1}, {"CheckSum", 1}};

}  // namespace vxreg
