// Scratch registry keys and values under HKEY_LOCAL_MACHINE for the Win32 tests,
// the soak and the benchmark: every value set is first saved, every missing key
// created is remembered, and Restore (or destruction) puts everything back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qrltest {

class ScratchRegistry {
public:
    ScratchRegistry() = default;
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;
    ~ScratchRegistry() { Restore(); }

    // Creates the key and every missing key above it.
    bool Ensure(const std::string& path);
    bool Raw(const std::string& key, const char* name, DWORD type, const void* data, DWORD size);
    bool Dword(const std::string& key, const char* name, DWORD v) { return Raw(key, name, REG_DWORD, &v, sizeof v); }
    bool String(const std::string& key, const char* name, const std::string& v) {
        return Raw(key, name, REG_SZ, v.c_str(), static_cast<DWORD>(v.size() + 1));
    }
    // Values back as they were, created keys removed (deepest first).
    void Restore();

    // Reads a value's first four bytes with its type and size.
    static bool Read(const std::string& key, const char* name, DWORD& v, DWORD& type, DWORD& size);

private:
    struct Saved {
        std::string key, name;
        bool existed = false;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    void Save(const std::string& key, const char* name);

    std::vector<std::string> created_;
    std::vector<Saved> saved_;
};

}  // namespace qrltest
