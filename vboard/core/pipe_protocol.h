// The stand-in's pipe protocol, one message each way per exchange:
//   request = uint32 little-endian I/O-control code + the 1264-byte buffer,
//   reply   = uint32 little-endian result (nonzero processed, 0 failed) + 1264 bytes.
// Kept portable so that malformed input is tested natively under the sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "virtual_board.h"

namespace vboard {

constexpr size_t kPipeMessageSize = 4 + 1264;

struct PipeOutcome {
    bool stop = false;  // a stop control request arrived (honoured in `serve` mode)
};

// Answers one request of `len` bytes into `reply` (always kPipeMessageSize bytes).
// A request of the wrong size or with an unknown code gets result 0 and is not
// given to the board; the reply then carries the request's buffer (or zeros).
PipeOutcome HandlePipeRequest(VirtualBoard& board, const uint8_t* request, size_t len, uint8_t* reply,
                              bool allow_stop);

}  // namespace vboard
