#include "logsettings.h"

#include "regkey.h"
#include "resource.h"
#include "settings_layout.h"

namespace {
const wchar_t* const kFileMaxItems[] = {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7"};
const wchar_t* const kTypeItems[] = {L"受信領域", L"送信領域"};
const wchar_t* const kLogicItems[] = {L"!=", L"==", L">", L">=", L"<=", L"<", L"AND", L"XOR"};
const wchar_t* const kChannelItems[] = {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8",
                                        L"9", L"10", L"11", L"12", L"13", L"14", L"15"};
const wchar_t* const kOffsetItems[] = {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7",
                                       L"8", L"9", L"10", L"11", L"12", L"13", L"14", L"15"};
const wchar_t* const kSizeItems[] = {L"1", L"2", L"3", L"4"};

DWORD StoredChoice(const ChoiceField& f, int index) { return (index < 0 ? 0u : static_cast<DWORD>(index)) + f.first; }
}  // namespace

const LogItemRow kLogItemRows[kDllRowCount] = {
    {IDC_LOG_COMMANDCOUNT, "CommandCount", 1}, {IDC_LOG_DEVICENUMBER, "DeviceNumber", 1},
    {IDC_LOG_SELECTCODE, "SelectCode", 1},     {IDC_LOG_OFFSET, "Offset", 1},
    {IDC_LOG_SIZE, "Size", 1},                 {IDC_LOG_RETURNCODE, "ReturnCode", 1},
    {IDC_LOG_AXISBITNUMBER, "AxisBitNumber", 1}, {IDC_LOG_SOURCEADD, "Sourceadd", 1},
    {IDC_LOG_SMONOUT, "SmonOut", 0},           {IDC_LOG_DINOUT, "DinOut", 0},
    {IDC_LOG_IPNUMOUT, "InterporateNumOut", 0}, {IDC_LOG_IPSETOUT, "InterporateSetOut", 0},
    {IDC_LOG_SMONIN, "SmonIn", 1},             {IDC_LOG_IPNUMIN, "InterporateNumIn", 0},
    {IDC_LOG_DININ, "DinIn", 0},
};

const NumericField kDllNumericFields[kDllNumericCount] = {
    {IDC_LOG_SIZE_EDIT, "LogSize", false, 10, 1000},
    {IDC_LOG_TRIGDATA, "TrigData", true, 16, 0x99},
    {IDC_LOG_AFTERSIZE, "AfterTrigDataSize", false, 10, 1},
};

const ChoiceField kDllChoiceFields[kDllChoiceCount] = {
    {IDC_LOG_FILEMAX, "LogFileMax", 0, 8, kFileMaxItems, 7},
    {IDC_LOG_TARGETTYPE, "TargetType", 0, 2, kTypeItems, 0},
    {IDC_LOG_TRIGLOGIC, "TrigLogic", 0, 8, kLogicItems, 0},
    {IDC_LOG_TARGETCH, "TargetCH", 1, 15, kChannelItems, 1},
    {IDC_LOG_TARGETOFFSET, "TargetOffset", 0, 16, kOffsetItems, 2},
    {IDC_LOG_TARGETSIZE, "TargetSize", 1, 4, kSizeItems, 1},
};
const ChoiceField& kFileMaxField = kDllChoiceFields[0];

SysLogRead ReadSysLogSettings() {
    SysLogRead r;
    if (!RegReadDword(vxreg::kSysKey, vxreg::kLogSize, r.logSize)) return r;
    ++r.count;
    for (int i = 0; i < kSysRowCount; ++i) {
        if (!RegReadDword(vxreg::kSysLogItemsKey, kLogItemRows[i].name, r.items[i])) return r;
        ++r.count;
    }
    if (!RegReadDword(vxreg::kSysKey, vxreg::kLogFileMax, r.fileMax)) return r;
    ++r.count;
    return r;
}

bool StoreSysLogSettings(const SysLogForm& form) {
    if (!RegWriteDword(vxreg::kSysKey, vxreg::kLogSize, static_cast<DWORD>(form.logSize))) return false;
    for (int i = 0; i < kSysRowCount; ++i)
        if (!RegWriteDword(vxreg::kSysLogItemsKey, kLogItemRows[i].name, form.items[i] ? 1 : 0)) return false;
    return RegWriteDword(vxreg::kSysKey, vxreg::kLogFileMax, StoredChoice(kFileMaxField, form.fileMaxIndex));
}

DllLogRead ReadDllLogSettings() {
    DllLogRead r;
    if (!RegReadDword(vxreg::kDllKey, "TrigChk", r.trigChk)) return r;
    ++r.count;
    for (int i = 0; i < kDllNumericCount; ++i) {
        if (!RegReadDword(vxreg::kDllKey, kDllNumericFields[i].name, r.numeric[i])) return r;
        ++r.count;
    }
    for (int i = 0; i < kDllRowCount; ++i) {
        if (!RegReadDword(vxreg::kDllLogItemsKey, kLogItemRows[i].name, r.items[i])) return r;
        ++r.count;
    }
    RegKey key;
    if (!key.Open(vxreg::kDllKey)) return r;
    for (int i = 0; i < kDllChoiceCount; ++i) {
        if (!key.ReadDword(kDllChoiceFields[i].name, r.choice[i])) return r;
        ++r.count;
    }
    key.Close();
    return r;
}

bool StoreDllLogSettings(const DllLogForm& form) {
    if (!RegWriteDword(vxreg::kDllKey, "TrigChk", form.trigChk ? 1 : 0)) return false;
    for (int i = 0; i < kDllNumericCount; ++i)
        if (!RegWriteDword(vxreg::kDllKey, kDllNumericFields[i].name, form.numeric[i])) return false;
    for (int i = 0; i < kDllRowCount; ++i)
        if (!RegWriteDword(vxreg::kDllLogItemsKey, kLogItemRows[i].name, form.items[i] ? 1 : 0)) return false;
    RegKey key;
    if (!key.Open(vxreg::kDllKey)) return false;
    for (int i = 0; i < kDllChoiceCount; ++i)
        if (!key.WriteDword(kDllChoiceFields[i].name, StoredChoice(kDllChoiceFields[i], form.choiceIndex[i])))
            return false;
    return key.Close();
}
