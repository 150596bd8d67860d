#include "bench/allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace talvenor::bench {
namespace {

std::atomic<uint64_t> allocations{0};

}  // namespace

uint64_t AllocationCount() { return allocations.load(std::memory_order_relaxed); }

namespace {

void* CountedAllocate(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}

}  // namespace
}  // namespace talvenor::bench

void* operator new(std::size_t size) { return talvenor::bench::CountedAllocate(size); }
void* operator new[](std::size_t size) { return talvenor::bench::CountedAllocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
