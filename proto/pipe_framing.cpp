#include "pipe_framing.h"

#include <cstring>

namespace qrl {

void PutPipeRequest(uint8_t* message, uint32_t ioctl, const uint8_t* buffer) {
    PutU32(message, ioctl);
    std::memcpy(message + 4, buffer, kBufferSize);
}

bool GetPipeReply(const uint8_t* message, size_t len, uint32_t* result, uint8_t* buffer) {
    if (len != kPipeMessageSize) return false;
    *result = GetU32(message);
    std::memcpy(buffer, message + 4, kBufferSize);
    return true;
}

bool GetPipeRequest(const uint8_t* message, size_t len, uint32_t* ioctl, uint8_t* buffer) {
    if (message == nullptr || len != kPipeMessageSize) return false;
    *ioctl = GetU32(message);
    std::memcpy(buffer, message + 4, kBufferSize);
    return true;
}

void PutPipeReply(uint8_t* message, uint32_t result, const uint8_t* buffer) {
    PutU32(message, result);
    std::memcpy(message + 4, buffer, kBufferSize);
}

}  // namespace qrl
