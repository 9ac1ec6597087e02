// The one place where the device channels turn a failed Windows call into the cause
// of the caller's failure (failure.h): the error is read once with GetLastError,
// noted for the calling thread with the function's name, and left in place, so a
// caller that looks at GetLastError itself still sees it.
#pragma once

#include <windows.h>

#include "failure.h"

namespace qrl::win32 {

// Call right after `function` (a string literal: "CreateFile") reported failure.
// Returns the error.
inline DWORD NoteFailedCall(const char* function) {
    const DWORD error = GetLastError();
    NoteSystemError(function, error);
    SetLastError(error);
    return error;
}

}  // namespace qrl::win32
