// Registry side of the two log output data dialogs: which value each control edits,
// the standard values, and the reading and storing orders (the first failure ends
// either; what was stored before it stays stored).
#pragma once

#include <windows.h>
#include <cstdint>

// Check boxes of the log items (rows 1..8 in both dialogs, 9..15 in the DLL dialog only).
struct LogItemRow {
    int id;
    const char* name;
    DWORD standard;  // DLL dialog; the SYS dialog's standard is all ticked
};
constexpr int kSysRowCount = 8;
constexpr int kDllRowCount = 15;
extern const LogItemRow kLogItemRows[kDllRowCount];

struct NumericField {
    int id;
    const char* name;
    bool hex;       // displayed "%x", else "%d"
    int base;       // conversion base when stored
    DWORD standard;
};
constexpr int kDllNumericCount = 3;
extern const NumericField kDllNumericFields[kDllNumericCount];

struct ChoiceField {
    int id;
    const char* name;
    DWORD first;  // value of item 0
    int itemCount;
    const wchar_t* const* items;
    DWORD standard;
};
constexpr int kDllChoiceCount = 6;
extern const ChoiceField kDllChoiceFields[kDllChoiceCount];
extern const ChoiceField& kFileMaxField;  // LogFileMax, the one choice of the SYS dialog

// SYS dialog: LogSize, the eight rows, LogFileMax. `count` values were read, in this
// order, before the first failure (10 when all were).
struct SysLogRead {
    DWORD logSize = 0;
    DWORD items[kSysRowCount] = {};
    DWORD fileMax = 0;
    int count = 0;
};
SysLogRead ReadSysLogSettings();

struct SysLogForm {
    int32_t logSize = 0;
    DWORD items[kSysRowCount] = {};
    int fileMaxIndex = -1;  // selected index, -1 when nothing is selected
};
bool StoreSysLogSettings(const SysLogForm& form);

// DLL dialog: TrigChk, the three numbers, the fifteen rows, the six choices
// (25 values when all were read).
struct DllLogRead {
    DWORD trigChk = 0;
    DWORD numeric[kDllNumericCount] = {};
    DWORD items[kDllRowCount] = {};
    DWORD choice[kDllChoiceCount] = {};
    int count = 0;
};
constexpr int kDllReadTotal = 1 + kDllNumericCount + kDllRowCount + kDllChoiceCount;
DllLogRead ReadDllLogSettings();

struct DllLogForm {
    DWORD trigChk = 0;
    DWORD numeric[kDllNumericCount] = {};
    DWORD items[kDllRowCount] = {};
    int choiceIndex[kDllChoiceCount] = {-1, -1, -1, -1, -1, -1};
};
bool StoreDllLogSettings(const DllLogForm& form);
