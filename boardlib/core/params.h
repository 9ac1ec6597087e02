// Parameter width lookup, shared by the parameter commands and their tests.
#pragma once

#include <cstdint>

namespace qrl {

// Width in bytes (2 or 4) that parameter number `prm` (0..2073) travels with.
// Numbers without an entry in the width table get 2; the lookup never reads
// outside the table.
uint8_t ParamWidth(int32_t prm);

}  // namespace qrl
