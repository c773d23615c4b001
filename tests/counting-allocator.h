#pragma once
// Replaces the global allocator with one that counts, on the threads that ask
// it to. Include it in exactly one file of a binary (a replaced operator new
// may not be inline); the sanitisers replace it too, so their builds leave
// such a binary out.

#include <atomic>
#include <cstdlib>
#include <new>

namespace orvo::testing {
inline thread_local bool countAllocations = false;
inline std::atomic<long> allocationCount{0};
}  // namespace orvo::testing

// GCC sees malloc paired with free through the replaced operators and warns.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (orvo::testing::countAllocations) ++orvo::testing::allocationCount;
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
#pragma GCC diagnostic pop
