// Call log: a ring of hexadecimal text files recording the command exchanges,
// switched on and off through the registry while the application runs.
//
// The hooks are called by TransferCommands only (never by TransferDirect). None of
// them reports failure: registry and file problems leave logging off silently.
#pragma once

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

}  // namespace qrl
