#include "handle_count.h"

#include <cstdio>
#include <vector>

namespace qrltest {

namespace {

// The system's handle table, as NtQuerySystemInformation(SystemHandleInformation)
// returns it on 32-bit Windows.
struct HandleEntry {
    ULONG owner_pid;
    BYTE object_type;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};
struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemHandleInformation = 16;

using QueryObject = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kObjectNameInformation = 1, kObjectTypeInformation = 2;

template <typename F>
F Ntdll(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// The values of this process's handles in the system table; false without one.
bool OwnHandleValues(std::vector<uintptr_t>& out) {
    auto query = Ntdll<QuerySystemInformation>("NtQuerySystemInformation");
    if (!query) return false;
    std::vector<BYTE> buf(1 << 16);
    for (int tries = 0; tries < 8; ++tries) {
        ULONG len = 0;
        if (query(kSystemHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), &len) == 0) {
            const auto* t = reinterpret_cast<const HandleTable*>(buf.data());
            for (ULONG i = 0; i < t->count; ++i)
                if (t->entries[i].owner_pid == GetCurrentProcessId()) out.push_back(t->entries[i].value);
            return true;
        }
        buf.resize(buf.size() * 4);
    }
    return false;
}

DWORD CountOwnHandlesInSystemTable() {
    std::vector<uintptr_t> values;
    return OwnHandleValues(values) ? static_cast<DWORD>(values.size()) : 0;
}

// The UNICODE_STRING that NtQueryObject puts first in both its answers, as UTF-8.
std::string ObjectText(HANDLE h, ULONG what) {
    auto query = Ntdll<QueryObject>("NtQueryObject");
    alignas(8) BYTE buf[2048];
    ULONG len = 0;
    if (!query || query(h, what, buf, sizeof buf, &len) != 0) return "?";
    struct Text {
        USHORT length, maximum;
        PWSTR chars;
    };
    const auto* t = reinterpret_cast<const Text*>(buf);
    if (!t->chars || t->length == 0) return "";
    char out[1024];
    int n = WideCharToMultiByte(CP_UTF8, 0, t->chars, t->length / 2, out, sizeof out - 1, nullptr, nullptr);
    return std::string(out, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace

HandleSet OwnHandles() {
    HandleSet out;
    std::vector<uintptr_t> values;
    if (!OwnHandleValues(values)) return out;
    for (uintptr_t v : values) {
        HANDLE h = reinterpret_cast<HANDLE>(v);
        std::string what = ObjectText(h, kObjectTypeInformation) + " " + ObjectText(h, kObjectNameInformation);
        if (what.rfind("Thread", 0) == 0) {
            // Which thread: a leak check must tell the caller's own thread from a
            // thread it started and forgot.
            const DWORD id = GetThreadId(h);
            what += "thread " + std::to_string(id) + (id == GetCurrentThreadId() ? " (the checking thread)" : "");
        }
        out[v] = what;
    }
    return out;
}

std::string NewHandles(const HandleSet& before) {
    std::string text;
    char head[32];
    for (const auto& [value, what] : OwnHandles()) {
        if (before.count(value)) continue;
        std::snprintf(head, sizeof head, "  handle 0x%llx: ", static_cast<unsigned long long>(value));
        text += head + what + "\n";
    }
    return text.empty() ? "  no new handle in the system table\n" : text;
}

DWORD ProcessHandleCount() {
    DWORD n = 0;
    // Wine answers GetProcessHandleCount with 0 (no process is ever without a
    // handle); the system handle table then gives the real count.
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n > 0) return n;
    return CountOwnHandlesInSystemTable();
}

}  // namespace qrltest
