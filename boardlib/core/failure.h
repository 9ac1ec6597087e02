// The detail of each thread's last failed call (QrlGetLastFailure): which export
// failed, its status, and where the failure came from.
//
// The layer that sees a failure's cause notes it for the calling thread, in one
// place per origin:
//   - a Windows function that failed: the device channels of the Win32 layer
//     (NoteSystemError, through win32/win32_error.h), turned into the failure of an
//     exchange, an open or a close by the core (NoteDeviceFailure);
//   - the driver's answer: every exchange whose entry 0 comes back with a non-zero
//     ReturnCode (NoteDriverCode, transfer.cpp), and exchanges the device refused
//     without a Windows error (NoteDeviceRefusal);
//   - a time limit of a polling loop (NoteTimeout, transfer.cpp and status.cpp);
//   - the station's own answer (-15, status.cpp);
//   - the argument and state checks: every export makes them first and returns
//     -2, -3 or -5 before anything is sent, so the frame attributes those statuses
//     to them when no lower layer noted the same status.
// Each export runs inside a CallFrame (QRL_API in export.h). When the outermost
// frame of a thread returns a non-zero status, the newest note that produced that
// status becomes the thread's last failure. All of it lives in the calling thread's
// own storage: nothing here takes a lock or can see another thread's failures.
#pragma once

#include <cstdint>

#include "cmdbuf.h"
#include "qrlink00.h"

namespace qrl {

// ---- From the device channels (any layer that talks to the system) -----------

// A system function `function` (a string literal) failed with `code` during the
// current device call of this thread.
void NoteSystemError(const char* function, uint32_t code);
// The device answered, but refused or garbled the exchange without a system error;
// `what` (a string literal) says how.
void NoteDeviceRefusal(const char* what);

// ---- From the core ---------------------------------------------------------------

// Forgets what the channels noted for this thread: called right before every call
// into a device channel (open, exchange, close), so that an error the channel met
// and recovered from earlier is not taken for the cause of a later failure.
void BeginDeviceCall();
// A device call failed and its caller returns `status` (-1 exchange, -4 open, -6
// close): the Windows error or the refusal the channel noted since BeginDeviceCall
// becomes a note, with entry 0 of `b` (null for an open or a close).
void NoteDeviceFailure(int32_t status, const CommandBuffer* b);
// An exchange was attempted with no open device (the board not open): -1.
void NoteNoDevice(const CommandBuffer& b);
// Entry 0 of an exchange came back with a non-zero ReturnCode.
void NoteDriverCode(const CommandBuffer& b);
// A polling loop gave up: `status` is its timeout code, `station` the station it
// waited for; `b` the command retried (SendCommand), else null (a wait's reads).
void NoteTimeout(int32_t status, int station, const CommandBuffer* b);
// The station's answer itself is the failure (-15, no monitor data).
void NoteStationAnswer(int32_t status, int station);

// ---- The export frame ------------------------------------------------------------

// One per export call, on its stack. Frames nest (an export calling another, such
// as StdtGet calling StdtStGet); only the outermost records, so the detail names
// the function the application called.
class CallFrame {
public:
    // `ordinal`: the export's ordinal in proto/qrl_exports.h. The outermost frame
    // forgets the notes of earlier calls.
    explicit CallFrame(int ordinal);
    ~CallFrame();
    CallFrame(const CallFrame&) = delete;
    CallFrame& operator=(const CallFrame&) = delete;
    // The export's result: recorded as the thread's last failure when it is not 0
    // and this is the outermost frame. Returns `status` unchanged.
    int32_t Return(int32_t status);

private:
    int ordinal_;
};

// The name of the export with this ordinal, "" for none.
const char* ExportName(int ordinal);

// The thread's last failure as QrlGetLastFailure gives it.
QRL_FAILURE LastFailure();
// One line of English describing `f` into `out` (always terminated); its length.
size_t DescribeFailure(const QRL_FAILURE& f, char* out, size_t size);
// Copies `text` for the exported text functions: at most size - 1 characters and a
// zero when size > 0. Returns the whole text's length, or -2 when size < 0 or text
// is null while size is not 0.
int32_t CopyText(const char* text, char* out, int32_t size);

}  // namespace qrl
