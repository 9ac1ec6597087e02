// The number of handles this process holds, for the leak checks of the Win32
// tests and the soak.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace qrltest {

DWORD ProcessHandleCount();

// Every handle this process holds, by value, as "type name" where the system tells
// (from its handle table; empty where the system has no such table).
using HandleSet = std::map<uintptr_t, std::string>;
HandleSet OwnHandles();
// The handles held now that `before` did not hold, one per line: what a leak check
// prints when its count differs.
std::string NewHandles(const HandleSet& before);

}  // namespace qrltest
