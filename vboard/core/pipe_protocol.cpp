#include "pipe_protocol.h"

#include <cstring>

#include "cmdbuf.h"

namespace vboard {

PipeOutcome HandlePipeRequest(VirtualBoard& board, const uint8_t* request, size_t len, uint8_t* reply,
                              bool allow_stop) {
    PipeOutcome out;
    std::memset(reply, 0, kPipeMessageSize);
    if (!request || len != kPipeMessageSize) {
        if (request && len > 4) std::memcpy(reply + 4, request + 4, len - 4 < 1264 ? len - 4 : 1264);
        return out;  // result 0: malformed
    }
    uint32_t code = qrl::GetU32(request);
    uint8_t* buf = reply + 4;
    std::memcpy(buf, request + 4, 1264);
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
    qrl::PutU32(reply, ok ? 1u : 0u);
    return out;
}

}  // namespace vboard
