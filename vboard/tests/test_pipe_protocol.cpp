// The stand-in's message framing, natively under the sanitizers: sizes, codes,
// the control request and the stop request.
#include <cstring>
#include <vector>

#include "board_fixture.h"
#include "pipe_protocol.h"

namespace vbt {
namespace {

using vboard::kPipeMessageSize;

struct Case {
    const char* what;
    size_t len;
    uint32_t code;
    uint32_t result;
};

TEST(PipeProtocol, SizesAndCodes) {
    vboard::VirtualBoard board([] { return int64_t{0}; });
    const Case cases[] = {
        {"command", kPipeMessageSize, qrl::kIoctlCommand, 1}, {"direct", kPipeMessageSize, qrl::kIoctlDirect, 1},
        {"empty", 0, 0, 0}, {"code only", 4, qrl::kIoctlCommand, 0}, {"short", kPipeMessageSize - 1, qrl::kIoctlCommand, 0},
        {"long", kPipeMessageSize + 1, qrl::kIoctlCommand, 0}, {"unknown code", kPipeMessageSize, 0x222008, 0},
        {"control, unknown op", kPipeMessageSize, vboard::kIoctlControl, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> req(kPipeMessageSize + 8, 0x5A);
        qrl::PutU32(req.data(), c.code);
        qrl::PutI32(req.data() + 4, 1);  // one entry: a 1-byte write to 2048
        qrl::PutI32(req.data() + 4 + 4 + qrl::kSelectCode, qrl::kSelWrite);
        qrl::PutI32(req.data() + 4 + 4 + qrl::kSize, 1);
        qrl::PutI32(req.data() + 4 + 4 + qrl::kOffset, 2048);
        if (c.code == vboard::kIoctlControl) qrl::PutU32(req.data() + 4, 99);
        uint8_t reply[kPipeMessageSize];
        std::memset(reply, 0xCC, sizeof reply);
        vboard::PipeOutcome o = vboard::HandlePipeRequest(board, req.data(), c.len, reply, true);
        EXPECT_FALSE(o.stop);
        EXPECT_EQ(qrl::GetU32(reply), c.result);
        if (c.result) {
            EXPECT_EQ(qrl::GetI32(reply + 4 + 4 + qrl::kReturnCode), 0);
        }
    }
    EXPECT_EQ(board.Memory(2048, 1)[0], 0x5A) << "only the proper requests reached the board";
    uint8_t reply[kPipeMessageSize];
    std::memset(reply, 0xCC, sizeof reply);
    vboard::HandlePipeRequest(board, nullptr, 100, reply, true);
    EXPECT_EQ(qrl::GetU32(reply), 0u) << "a missing request is malformed too";
}

TEST(PipeProtocol, ControlAndStop) {
    vboard::VirtualBoard board([] { return int64_t{0}; });
    uint8_t req[kPipeMessageSize] = {}, reply[kPipeMessageSize];
    qrl::PutU32(req, vboard::kIoctlControl);
    qrl::PutU32(req + 4, vboard::ctl::kSetInputs);
    qrl::PutI32(req + 12, 0), qrl::PutI32(req + 16, 1);
    req[4 + 16] = 0x99;
    EXPECT_FALSE(vboard::HandlePipeRequest(board, req, sizeof req, reply, true).stop);
    EXPECT_EQ(qrl::GetU32(reply), 1u);
    EXPECT_EQ(board.Inputs(0)[0], 0x99);

    qrl::PutU32(req + 4, vboard::ctl::kStop);
    EXPECT_FALSE(vboard::HandlePipeRequest(board, req, sizeof req, reply, false).stop) << "the service ignores it";
    EXPECT_EQ(qrl::GetU32(reply), 0u);
    EXPECT_TRUE(vboard::HandlePipeRequest(board, req, sizeof req, reply, true).stop);
    EXPECT_EQ(qrl::GetU32(reply), 1u);
}

}  // namespace
}  // namespace vbt
