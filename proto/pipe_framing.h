// The driver stand-in's named-pipe framing, one message each way per exchange:
//   request = uint32 little-endian I/O-control code + the 1264-byte command buffer,
//   reply   = uint32 little-endian result (nonzero: processed) + the buffer as the
//             driver left it.
// The library's pipe channel writes requests and reads replies, the stand-in the
// other way round; both use these functions, so the framing exists once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cmdbuf.h"

namespace qrl {

constexpr size_t kPipeMessageSize = 4 + kBufferSize;
static_assert(kPipeMessageSize == 1268, "code or result, then the whole buffer");

// Client side. `message` holds kPipeMessageSize bytes.
void PutPipeRequest(uint8_t* message, uint32_t ioctl, const uint8_t* buffer);
// False when the reply is not exactly one message long (nothing is copied then).
bool GetPipeReply(const uint8_t* message, size_t len, uint32_t* result, uint8_t* buffer);

// Server side. False when the request is not exactly one message long; the code
// and buffer are then left as they were.
bool GetPipeRequest(const uint8_t* message, size_t len, uint32_t* ioctl, uint8_t* buffer);
void PutPipeReply(uint8_t* message, uint32_t result, const uint8_t* buffer);

}  // namespace qrl
