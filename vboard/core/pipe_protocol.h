// The stand-in's side of the pipe protocol (framing in proto/pipe_framing.h): what
// the board makes of one request. Kept portable so that malformed input is tested
// natively under the sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pipe_framing.h"
#include "virtual_board.h"

namespace vboard {

using qrl::kPipeMessageSize;

struct PipeOutcome {
    bool stop = false;  // a stop control request arrived (honoured in `serve` mode)
};

// Answers one request of `len` bytes into `reply` (always kPipeMessageSize bytes).
// A request of the wrong size or with an unknown code gets result 0 and is not
// given to the board; the reply then carries the request's buffer (or zeros).
PipeOutcome HandlePipeRequest(VirtualBoard& board, const uint8_t* request, size_t len, uint8_t* reply,
                              bool allow_stop);

}  // namespace vboard
