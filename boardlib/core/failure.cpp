// The per-thread failure detail (failure.h) and the exports that read it, with the
// exported status text.
#include "failure.h"

#include <cstdio>
#include <cstring>

#include "board.h"

namespace qrl {

namespace {

// One cause, as the layer that saw it noted it. `where` is a string literal.
struct Note {
    int32_t status;
    int32_t origin;
    uint32_t windows_error;
    int32_t driver_code;
    int32_t station;
    int32_t select_code;
    int32_t command;
    const char* where;
};

// The newest notes of the current call. A call that fails usually stops at its
// first failure, but a few note more than one cause before they return (BdClose:
// the final write fails, then the close); the frame looks for the newest with the
// status returned, so a handful suffices.
constexpr unsigned kNotes = 4;

struct ThreadFailures {
    int depth;                 // export frames open on this thread
    Note notes[kNotes];        // ring, newest at notes[(next - 1) % kNotes]
    unsigned next, count;
    // What the device channel noted during the current device call.
    const char* system_function;  // null: no system error noted
    uint32_t system_error;
    const char* refusal;          // null: no refusal noted
    QRL_FAILURE last;
};

// Zero-initialised storage of each thread (constant initialisation: no constructor
// runs, in the DLL or elsewhere).
thread_local ThreadFailures t_failures;

void Push(const Note& n) {
    ThreadFailures& t = t_failures;
    t.notes[t.next % kNotes] = n;
    ++t.next;
    if (t.count < kNotes) ++t.count;
}

// The station, SelectCode and command code of entry 0: the entry the library judges.
void Describe(const CommandBuffer& b, Note& n) {
    n.select_code = b.Field(0, kSelectCode);
    const int station = StationOfEntry(n.select_code, b.Field(0, kOffset));
    n.station = station < 0 ? 0 : station;
    const uint8_t* d = b.Data(0);
    n.command = n.select_code == kSelWrite && station > 0 &&
                        b.Field(0, kOffset) == CommandArea(station) && d[0] == 0x03
                    ? d[1]
                    : 0;
}

Note Make(int32_t status, int32_t origin) {
    Note n{};
    n.status = status;
    n.origin = origin;
    n.station = -1;
    n.where = "";
    return n;
}

void CopyName(char* out, size_t size, const char* text) {
    std::strncpy(out, text, size - 1);
    out[size - 1] = '\0';
}

}  // namespace

void NoteSystemError(const char* function, uint32_t code) {
    t_failures.system_function = function;
    t_failures.system_error = code;
}

void NoteDeviceRefusal(const char* what) { t_failures.refusal = what; }

void BeginDeviceCall() {
    t_failures.system_function = nullptr;
    t_failures.system_error = 0;
    t_failures.refusal = nullptr;
}

void NoteDeviceFailure(int32_t status, const CommandBuffer* b) {
    const ThreadFailures& t = t_failures;
    Note n = Make(status, QRL_ORIGIN_DRIVER);
    if (t.system_function) {
        n.origin = QRL_ORIGIN_WINDOWS;
        n.windows_error = t.system_error;
        n.where = t.system_function;
    } else {
        // No system error: the device (a stand-in, the virtual board, a test's
        // double) said no, or gave no reason at all.
        n.where = t.refusal ? t.refusal : "device failed without a reason";
    }
    if (b) Describe(*b, n);
    Push(n);
}

void NoteNoDevice(const CommandBuffer& b) {
    Note n = Make(QRL_E_IO, QRL_ORIGIN_ARGUMENT);
    n.where = "no open device";
    Describe(b, n);
    Push(n);
}

void NoteDriverCode(const CommandBuffer& b) {
    const int32_t rc = b.ReturnCode(0);
    Note n = Make(rc, QRL_ORIGIN_DRIVER);
    n.driver_code = rc;
    Describe(b, n);
    Push(n);
}

void NoteTimeout(int32_t status, int station, const CommandBuffer* b) {
    Note n = Make(status, QRL_ORIGIN_TIMEOUT);
    if (b) {
        Describe(*b, n);
    } else {
        n.station = station;
        n.select_code = kSelRead;  // a wait reads the station's response area
    }
    Push(n);
}

void NoteStationAnswer(int32_t status, int station) {
    Note n = Make(status, QRL_ORIGIN_STATION);
    n.station = station;
    n.select_code = kSelRead;
    Push(n);
}

CallFrame::CallFrame(int ordinal) : ordinal_(ordinal) {
    ThreadFailures& t = t_failures;
    if (t.depth++ == 0) t.count = 0;
}

CallFrame::~CallFrame() { --t_failures.depth; }

int32_t CallFrame::Return(int32_t status) {
    ThreadFailures& t = t_failures;
    if (status == QRL_OK || t.depth != 1) return status;
    Note cause = Make(status, QRL_ORIGIN_NONE);
    bool found = false;
    for (unsigned i = 1; i <= t.count && !found; ++i) {
        const Note& n = t.notes[(t.next - i) % kNotes];
        if (n.status == status) cause = n, found = true;
    }
    // Nothing below noted this status: the export's own checks refused the call
    // (arguments, no family, not open), which every export makes before it sends
    // anything.
    if (!found && (status == QRL_E_ARG || status == QRL_E_NOFAMILY || status == QRL_E_NOTOPEN))
        cause.origin = QRL_ORIGIN_ARGUMENT;
    QRL_FAILURE f;
    std::memset(&f, 0, sizeof f);
    f.status = status;
    f.origin = cause.origin;
    f.windows_error = cause.windows_error;
    f.driver_code = cause.driver_code;
    f.station = cause.station;
    f.select_code = cause.select_code;
    f.command = cause.command;
    f.ordinal = ordinal_;
    f.sequence = t.last.sequence + 1;
    if (f.sequence == 0) f.sequence = 1;  // 0 means "none yet"
    CopyName(f.function, sizeof f.function, ExportName(ordinal_));
    CopyName(f.where, sizeof f.where, cause.where);
    t.last = f;
    return status;
}

const char* ExportName(int ordinal) {
    switch (ordinal) {
#define QRL_EXPORT(name, argbytes, ordinal) \
    case ordinal: return #name;
#include "qrl_exports.h"
#undef QRL_EXPORT
    default: return "";
    }
}

QRL_FAILURE LastFailure() { return t_failures.last; }

size_t DescribeFailure(const QRL_FAILURE& f, char* out, size_t size) {
    if (f.sequence == 0) return static_cast<size_t>(std::snprintf(out, size, "no failed call on this thread"));
    char cause[128];
    switch (f.origin) {
    case QRL_ORIGIN_ARGUMENT:
        std::snprintf(cause, sizeof cause, "refused by the argument and state checks%s%s", f.where[0] ? ", " : "",
                      f.where);
        break;
    case QRL_ORIGIN_DRIVER:
        if (f.driver_code != 0)
            std::snprintf(cause, sizeof cause, "the driver answered %ld", static_cast<long>(f.driver_code));
        else
            std::snprintf(cause, sizeof cause, "the device refused the exchange (%s)", f.where);
        break;
    case QRL_ORIGIN_WINDOWS:
        std::snprintf(cause, sizeof cause, "Windows error %lu in %s", static_cast<unsigned long>(f.windows_error),
                      f.where);
        break;
    case QRL_ORIGIN_TIMEOUT: std::snprintf(cause, sizeof cause, "the time limit ran out"); break;
    case QRL_ORIGIN_STATION: std::snprintf(cause, sizeof cause, "the station's answer"); break;
    default: std::snprintf(cause, sizeof cause, "cause not recorded"); break;
    }
    char about[64] = "";
    if (f.station >= 0 && f.select_code != 0 && f.command != 0)
        std::snprintf(about, sizeof about, " (station %ld, SelectCode %ld, command 0x%02lX)",
                      static_cast<long>(f.station), static_cast<long>(f.select_code),
                      static_cast<unsigned long>(f.command));
    else if (f.station >= 0 && f.select_code != 0)
        std::snprintf(about, sizeof about, " (station %ld, SelectCode %ld)", static_cast<long>(f.station),
                      static_cast<long>(f.select_code));
    else if (f.station >= 0)
        std::snprintf(about, sizeof about, " (station %ld)", static_cast<long>(f.station));
    const int n = std::snprintf(out, size, "%s returned %ld (%s): %s%s", f.function, static_cast<long>(f.status),
                                QrlStatusText(f.status), cause, about);
    return n < 0 ? 0 : static_cast<size_t>(n);
}

int32_t CopyText(const char* text, char* out, int32_t size) {
    if (size < 0 || (out == nullptr && size != 0)) return QRL_E_ARG;
    const size_t len = std::strlen(text);
    if (size > 0) {
        const size_t n = len < static_cast<size_t>(size) - 1 ? len : static_cast<size_t>(size) - 1;
        std::memcpy(out, text, n);
        out[n] = '\0';
    }
    return static_cast<int32_t>(len);
}

}  // namespace qrl

using namespace qrl;

// The header's QrlStatusText, for callers that cannot compile the header: the same
// texts, copied. Returns the text's length or -2; never touches the failure detail.
extern "C" int32_t QRL_CALL QrlGetStatusText(int32_t status, char* text, int32_t size) {
    return CopyText(QrlStatusText(status), text, size);
}

// The calling thread's last failure (all zero before the first). 0, or -2 for NULL.
extern "C" int32_t QRL_CALL QrlGetLastFailure(QRL_FAILURE* failure) {
    if (failure == nullptr) return QRL_E_ARG;
    *failure = LastFailure();
    return QRL_OK;
}

// The same as one line of text. Its length, or -2.
extern "C" int32_t QRL_CALL QrlGetLastFailureText(char* text, int32_t size) {
    char line[256];
    DescribeFailure(LastFailure(), line, sizeof line);
    return CopyText(line, text, size);
}
