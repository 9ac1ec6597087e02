#include "calllog.h"

namespace qrl {

void LogStart() {}
void LogClose() {}
void LogBefore(const CommandBuffer&) {}
void LogAfter(const CommandBuffer&) {}

}  // namespace qrl
