// Registry side of the device settings dialog: the Settings key and the log switches
// and paths of the Sys and Dll keys. Every function opens what it needs, closes it on
// every path and reports whether the whole step succeeded.
#pragma once

#include <windows.h>
#include <string>

struct OptionalDword {
    bool ok = false;
    DWORD value = 0;
};

// Settings key: DeviceNumber, then synchronizing. `complete` when the key opened, both
// values were read and the key closed.
struct SettingsRead {
    OptionalDword deviceNumber, synchronizing;
    bool complete = false;
};
SettingsRead ReadSettingsKey();

// Sys or Dll key: LoggingPath (shown without its four-character prefix; a shorter
// stored text shows as empty), then Logging.
struct LogKeyRead {
    bool pathOk = false;
    std::wstring shownPath;
    OptionalDword logging;
    bool complete = false;
};
LogKeyRead ReadLogKey(const char* keyPath);

// Stored path of a text the user entered: the prefix "\??\" in front of it.
std::wstring StoredLogPath(const std::wstring& entered);
// What the edit shows of a stored path.
std::wstring ShownLogPath(const std::wstring& stored);

// OK, in its order; each false return means the step failed and the steps after it
// were not done.
bool StoreSettingsKey(DWORD deviceNumber, DWORD synchronizing);
bool StoreLogPath(const char* keyPath, const std::wstring& entered);

// Logging := value in the key (open, write, close).
bool StoreLogging(const char* keyPath, DWORD value);

// StartLogMessage of the key; false when it cannot be read.
bool ReadStartLogMessage(const char* keyPath, DWORD& value);
bool StoreStartLogMessage(const char* keyPath, DWORD value);

// The registry part of the standard settings button, before the controls change:
// Dll LogFileCnt := 0, Dll StartLogMessage := 1, Sys StartLogMessage := 1.
bool StoreStandardLogCounters();

extern const wchar_t kDefaultSysLogPath[];  // L"C:\\vx710s10.log"
extern const wchar_t kDefaultDllLogPath[];  // L"C:\\vx710d10.log"
