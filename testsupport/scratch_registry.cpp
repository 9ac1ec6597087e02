#include "scratch_registry.h"

#include <cstring>

namespace qrltest {

bool ScratchRegistry::Ensure(const std::string& path) {
    size_t at = 0;
    while (at != std::string::npos) {
        at = path.find('\\', at + 1);
        const std::string part = path.substr(0, at);
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, part.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
            RegCloseKey(h);
            continue;
        }
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, part.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) !=
            ERROR_SUCCESS)
            return false;
        RegCloseKey(h);
        created_.push_back(part);
    }
    return true;
}

bool ScratchRegistry::Raw(const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
    Save(key, name);
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return false;
    const bool ok = RegSetValueExA(h, name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    RegCloseKey(h);
    return ok;
}

void ScratchRegistry::Restore() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        HKEY h = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, it->key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) continue;
        if (it->existed)
            RegSetValueExA(h, it->name.c_str(), 0, it->type, it->data.data(), static_cast<DWORD>(it->data.size()));
        else
            RegDeleteValueA(h, it->name.c_str());
        RegCloseKey(h);
    }
    saved_.clear();
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) RegDeleteKeyA(HKEY_LOCAL_MACHINE, it->c_str());
    created_.clear();
}

bool ScratchRegistry::Read(const std::string& key, const char* name, DWORD& v, DWORD& type, DWORD& size) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    BYTE buf[16] = {};
    size = sizeof buf;
    const bool ok = RegQueryValueExA(h, name, nullptr, &type, buf, &size) == ERROR_SUCCESS;
    RegCloseKey(h);
    std::memcpy(&v, buf, sizeof v);
    return ok;
}

void ScratchRegistry::Save(const std::string& key, const char* name) {
    for (auto& s : saved_)
        if (s.key == key && s.name == name) return;
    Saved s;
    s.key = key;
    s.name = name;
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
        DWORD size = 0;
        if (RegQueryValueExA(h, name, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
            s.data.resize(size);
            s.existed = RegQueryValueExA(h, name, nullptr, &s.type, s.data.data(), &size) == ERROR_SUCCESS;
        }
        RegCloseKey(h);
    }
    saved_.push_back(s);
}

}  // namespace qrltest
