// Call log: a ring of hexadecimal text files recording the command exchanges,
// switched on and off through the registry while the application runs.
//
// The hooks are called by TransferCommands only (never by TransferDirect). None of
// them reports failure: registry and file problems leave logging off silently.
//
// The logging state is shared by every thread of the process. Each of the four
// operations below holds one lock for its whole run, so records from concurrent
// command calls never interleave and a file is never written after it was closed;
// the exchange with the driver happens between LogBefore and LogAfter, outside it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cmdbuf.h"

namespace qrl {

// BdOpen: read the log settings; when Logging is 1 open the next file of the ring
// and write its header.
void LogStart();
// BdClose: close the current log file; logging is off until the next exchange
// sees Logging = 1 again.
void LogClose();
// Around every TransferCommands exchange.
void LogBefore(const CommandBuffer& b);
void LogAfter(const CommandBuffer& b);

// Returns the logging state to its load-time zero, dropping any open file (tests only).
void ResetLogForTests();

// Record layout constants shared by the writer and its tests.
namespace calllog {
constexpr int kItemCount = 10;        // item switches, numbered 1..10 in the header
constexpr int kCommandSwitchCount = 7;
constexpr size_t kEntryChars = 52;    // one entry with every item on
constexpr size_t kMaxRecordChars = 6 + 2 + kEntryCount * kEntryChars + 2 + 1;  // 1103, newline included
}  // namespace calllog

}  // namespace qrl
