#include "regkey.h"

namespace {
std::wstring Widen(const char* ascii) {
    std::wstring w;
    for (; *ascii; ++ascii) w.push_back(static_cast<unsigned char>(*ascii));
    return w;
}
}  // namespace

RegKey::~RegKey() {
    if (key_) RegCloseKey(key_);
}

bool RegKey::Open(const char* path) {
    if (key_) Close();
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return false;
    key_ = k;
    return true;
}

bool RegKey::ReadDword(const char* name, DWORD& value) {
    if (!key_) return false;
    DWORD buf = 0, size = sizeof buf, type = 0;
    if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&buf), &size) != ERROR_SUCCESS)
        return false;
    value = buf;
    return true;
}

bool RegKey::WriteDword(const char* name, DWORD value) {
    if (!key_) return false;
    return RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
}

bool RegKey::ReadString(const char* name, std::wstring& text, DWORD maxBytes) {
    if (!key_) return false;
    std::wstring buf(maxBytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = maxBytes, type = 0;
    if (RegQueryValueExW(key_, Widen(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buf[0]), &size) !=
        ERROR_SUCCESS)
        return false;
    // The stored data need not end with a zero; the extra element guarantees one.
    buf.resize(size / sizeof(wchar_t));
    size_t end = buf.find(L'\0');
    if (end != std::wstring::npos) buf.resize(end);
    text = buf;
    return true;
}

bool RegKey::WriteString(const char* name, const std::wstring& text) {
    if (!key_) return false;
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key_, Widen(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool RegKey::Close() {
    if (!key_) return false;
    HKEY k = key_;
    key_ = nullptr;
    return RegCloseKey(k) == ERROR_SUCCESS;
}

bool RegKeyExists(const char* path) {
    RegKey key;
    return key.Open(path) && key.Close();
}

bool RegReadDword(const char* path, const char* name, DWORD& value) {
    RegKey key;
    DWORD v = 0;
    if (!key.Open(path) || !key.ReadDword(name, v) || !key.Close()) return false;
    value = v;
    return true;
}

bool RegWriteDword(const char* path, const char* name, DWORD value) {
    RegKey key;
    return key.Open(path) && key.WriteDword(name, value) && key.Close();
}
