#include "sim_registry.h"

#include <string>

#include "settings_layout.h"

namespace vxsim {

namespace {

HKEY Create(const char* path) {
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &h, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return h;
}

bool Missing(HKEY h, const char* name) {
    return RegQueryValueExA(h, name, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS;
}

// Installation never overwrites what the utility or a person has set since.
bool Default(HKEY h, const char* name, DWORD v) {
    if (!Missing(h, name)) return true;
    return RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v) == ERROR_SUCCESS;
}

bool Default(HKEY h, const vxreg::Value& v) {
    if (v.type == vxreg::Type::Dword) return Default(h, v.name, v.def);
    if (!Missing(h, v.name)) return true;
    std::string text = v.def_text;
    return RegSetValueExA(h, v.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

template <size_t N>
bool KeyWith(const char* path, const vxreg::Value (&values)[N]) {
    HKEY h = Create(path);
    if (!h) return false;
    bool ok = true;
    for (const auto& v : values) ok = Default(h, v) && ok;
    RegCloseKey(h);
    return ok;
}

bool DllLogItems(const char* path) {
    HKEY h = Create(path);
    if (!h) return false;
    bool ok = true;
    for (const auto& s : vxreg::kDllLogItems) ok = Default(h, s.name, s.standard) && ok;
    for (const auto& s : vxreg::kDllLogItemsInstalledOnly) ok = Default(h, s.name, s.standard) && ok;
    RegCloseKey(h);
    return ok;
}

bool SysLogItems(const char* path) {
    HKEY h = Create(path);
    if (!h) return false;
    bool ok = true;
    // The Sys items are the eight entry fields, item numbers 2..9 of the header.
    for (unsigned i = 1; i <= vxreg::kSysLogItemCount; ++i) ok = Default(h, vxreg::kItemSwitches[i], 1) && ok;
    RegCloseKey(h);
    return ok;
}

bool Empty(HKEY root, const char* path) {
    HKEY h;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    DWORD keys = 0, values = 0;
    LONG r = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr, nullptr,
                              nullptr, nullptr);
    RegCloseKey(h);
    return r == ERROR_SUCCESS && keys == 0 && values == 0;
}

bool Exists(HKEY root, const char* path) {
    HKEY h;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

}  // namespace

DeviceResources DefaultResources() {
    // Bus 2, memory window of the board's 8 KiB, IRQ 0x11, serial 0042 (stored
    // negated, as the driver does).
    return DeviceResources{{2, 0xFEB00000u, 0xFEB02000u, 0, 0x11, 0x2000, 0x100, 0,
                            static_cast<uint32_t>(-42)}};
}

bool CreateSettingsKeys() {
    bool ok = true;
    HKEY h = Create(vxreg::kDevice0Key);  // parent of Settings; its values come from the service
    if (h) RegCloseKey(h); else ok = false;
    ok = KeyWith(vxreg::kSettingsKey, vxreg::kSettingsValues) && ok;
    ok = KeyWith(vxreg::kSysKey, vxreg::kSysValues) && ok;
    ok = SysLogItems(vxreg::kSysLogItemsKey) && ok;
    ok = KeyWith(vxreg::kDllKey, vxreg::kDllValues) && ok;
    ok = DllLogItems(vxreg::kDllLogItemsKey) && ok;
    ok = KeyWith(vxreg::kDllKey880, vxreg::kDllValues) && ok;
    ok = DllLogItems(vxreg::kDllLogItemsKey880) && ok;
    return ok;
}

bool DeleteTree(HKEY root, const char* path) {
    HKEY h;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return !Exists(root, path);
    char name[256];
    for (;;) {
        DWORD len = sizeof name;
        // Always the first child: the list shrinks as children go.
        if (RegEnumKeyExA(h, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::string child = std::string(path) + "\\" + name;
        if (!DeleteTree(root, child.c_str())) break;
    }
    RegCloseKey(h);
    RegDeleteKeyA(root, path);
    return !Exists(root, path);
}

bool DeleteSettingsKeys() {
    bool ok = DeleteTree(HKEY_LOCAL_MACHINE, vxreg::kParametersKey);
    ok = DeleteTree(HKEY_LOCAL_MACHINE, vxreg::kParametersKey880) && ok;
    // The vx880s10 key exists only as the parent of its Dll keys.
    if (Empty(HKEY_LOCAL_MACHINE, vxreg::kServiceKey880)) RegDeleteKeyA(HKEY_LOCAL_MACHINE, vxreg::kServiceKey880);
    return ok;
}

bool PublishDevice0(const DeviceResources& r) {
    HKEY h = Create(vxreg::kDevice0Key);
    if (!h) return false;
    bool ok = true;
    for (int i = 0; i < 9; ++i) {
        DWORD v = r.values[i];
        ok = RegSetValueExA(h, vxreg::kDevice0Values[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                            sizeof v) == ERROR_SUCCESS && ok;
    }
    RegCloseKey(h);
    return ok;
}

}  // namespace vxsim
