// Counts the heap allocations of the whole benchmark process, the module's
// included: the executable replaces the global operator new.
#pragma once

#include <cstdint>

namespace talvenor::bench {

uint64_t AllocationCount();

}  // namespace talvenor::bench
