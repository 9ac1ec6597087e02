#include "pipe_protocol.h"

#include <cstring>

#include "pipe_framing.h"

namespace vboard {

PipeOutcome HandlePipeRequest(VirtualBoard& board, const uint8_t* request, size_t len, uint8_t* reply,
                              bool allow_stop) {
    PipeOutcome out;
    uint32_t code = 0;
    uint8_t buf[qrl::kBufferSize] = {};
    if (!qrl::GetPipeRequest(request, len, &code, buf)) {
        // Result 0, malformed; the reply carries what there was of the buffer.
        if (request && len > 4) std::memcpy(buf, request + 4, len - 4 < qrl::kBufferSize ? len - 4 : qrl::kBufferSize);
        qrl::PutPipeReply(reply, 0, buf);
        return out;
    }
    bool ok = false;
    if (code == qrl::kIoctlCommand || code == qrl::kIoctlDirect) {
        ok = board.Exchange(code, buf);
    } else if (code == kIoctlControl) {
        if (qrl::GetU32(buf) == ctl::kStop) {
            ok = allow_stop;
            out.stop = allow_stop;
        } else {
            ok = board.Control(buf);
        }
    }
    qrl::PutPipeReply(reply, ok ? 1u : 0u, buf);
    return out;
}

}  // namespace vboard
