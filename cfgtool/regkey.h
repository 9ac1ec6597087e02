// Registry access of the utility: every key under HKEY_LOCAL_MACHINE, opened with
// full access and never created. A key that cannot be opened, a value that cannot be
// read or written, and a key that cannot be closed all count as failure; callers give
// up silently at the first one.
#pragma once

#include <windows.h>
#include <string>

class RegKey {
public:
    RegKey() = default;
    ~RegKey();  // closes a key still open, so no early return leaks it
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool Open(const char* path);
    bool IsOpen() const { return key_ != nullptr; }
    // Reads into a 4-byte buffer whatever the registry type says.
    bool ReadDword(const char* name, DWORD& value);
    bool WriteDword(const char* name, DWORD value);
    // REG_SZ text; reads at most maxBytes bytes of data.
    bool ReadString(const char* name, std::wstring& text, DWORD maxBytes = 1024);
    // Stores the text as REG_SZ with its terminating zero counted in the size.
    bool WriteString(const char* name, const std::wstring& text);
    bool Close();

private:
    HKEY key_ = nullptr;
};

// Whether the key exists (opened with full access, closed again).
bool RegKeyExists(const char* path);
// One value in one open-read/write-close round; false when any of the three fails.
bool RegReadDword(const char* path, const char* name, DWORD& value);
bool RegWriteDword(const char* path, const char* name, DWORD value);
