// Call log: a ring of hexadecimal text files recording the command exchanges,
// switched on and off through the registry while the application runs.
//
// The hooks are called by TransferCommands only (never by TransferDirect). None of
// them reports failure: registry and file problems leave logging off silently.
//
// The logging state is shared by every thread of the process. While logging is on,
// each operation below holds one lock for its whole run, so records from
// concurrent command calls never interleave and a file is never written after it
// was closed; the exchange with the driver happens between LogBefore and LogAfter,
// outside it. While logging is off, an exchange takes no lock: a change notification
// on the Dll key (armed at BdOpen) says whether the Logging switch may have changed,
// and only then is it read again. A change written by any process before an
// exchange begins is seen by that exchange. Where the notification cannot be
// armed, the switch is read on every logged exchange instead.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cmdbuf.h"

namespace qrl {

// BdOpen: arm the watch on the Dll key of the board family, read the log settings;
// when Logging is 1 open the next file of the ring and write its header.
void LogStart();
// BdClose: close the current log file and drop the watch; logging is off until the
// next exchange sees Logging = 1 again.
void LogClose();
// InitDll: the Dll key now lies elsewhere; a watch in place moves to it.
void LogFamilyChanged();

// What LogBefore found, for the LogAfter of the same exchange: whether the switch
// was current when the exchange began, so that LogAfter need not ask again.
struct LogPass {
    bool current;
};
// Around every TransferCommands exchange.
LogPass LogBefore(const CommandBuffer& b);
void LogAfter(const CommandBuffer& b, LogPass pass);

#ifdef VX_TEST_HOOKS
// Returns the logging state to its load-time zero, dropping any open file (tests only).
void ResetLogForTests();
// How often the call log's lock has been taken since the process started (tests only).
long LogLockCountForTests();
#endif

// Record layout constants shared by the writer and its tests.
namespace calllog {
constexpr int kItemCount = 10;        // item switches, numbered 1..10 in the header
constexpr int kCommandSwitchCount = 7;
constexpr size_t kEntryChars = 52;    // one entry with every item on
constexpr size_t kMaxRecordChars = 6 + 2 + kEntryCount * kEntryChars + 2 + 1;  // 1103, newline included
}  // namespace calllog

}  // namespace qrl
