// The number of handles this process holds, for the leak checks of the Win32
// tests and the soak.
#pragma once

#include <windows.h>

namespace qrltest {

DWORD ProcessHandleCount();

}  // namespace qrltest
