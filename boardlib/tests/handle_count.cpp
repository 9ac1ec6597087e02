#include "handle_count.h"

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

DWORD CountOwnHandlesInSystemTable() {
    auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<BYTE> buf(1 << 16);
    for (int tries = 0; tries < 8; ++tries) {
        ULONG len = 0;
        if (query(kSystemHandleInformation, buf.data(), static_cast<ULONG>(buf.size()), &len) == 0) {
            const auto* t = reinterpret_cast<const HandleTable*>(buf.data());
            DWORD n = 0;
            for (ULONG i = 0; i < t->count; ++i)
                if (t->entries[i].owner_pid == GetCurrentProcessId()) ++n;
            return n;
        }
        buf.resize(buf.size() * 4);
    }
    return 0;
}

}  // namespace

DWORD ProcessHandleCount() {
    DWORD n = 0;
    // Wine answers GetProcessHandleCount with 0 (no process is ever without a
    // handle); the system handle table then gives the real count.
    if (GetProcessHandleCount(GetCurrentProcess(), &n) && n > 0) return n;
    return CountOwnHandlesInSystemTable();
}

}  // namespace qrltest
