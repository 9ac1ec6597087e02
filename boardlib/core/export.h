// How the core defines an export of the board API: QRL_API wraps the body in the
// thread's CallFrame (failure.h), so that every failed call records its detail.
//
//   QRL_API(AxFeed, (int32_t station, int32_t value), (station, value)) {
//       ...the body, returning a status...
//   }
//
// defines the exported `AxFeed` (extern "C", QRL_CALL) and a static `AxFeed_Body`
// holding the body. The name must be in proto/qrl_exports.h: its ordinal labels the
// failure detail, and a name missing from the list does not compile.
#pragma once

#include <cstdint>

#include "failure.h"
#include "qrlink00.h"

namespace qrl {

// The ordinal of every export, by name: kOrdinal_AxFeed == 8.
enum ExportOrdinal : int {
#define QRL_EXPORT(name, argbytes, ordinal) kOrdinal_##name = ordinal,
#include "qrl_exports.h"
#undef QRL_EXPORT
};

}  // namespace qrl

#define QRL_API(name, params, args)                              \
    static int32_t name##_Body params;                           \
    extern "C" int32_t QRL_CALL name params {                    \
        ::qrl::CallFrame frame(::qrl::kOrdinal_##name);          \
        return frame.Return(name##_Body args);                   \
    }                                                            \
    static int32_t name##_Body params
