#include "AllocationLimit.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> g_allocationsLeft{-1};  // negative: no limit
}

namespace corvel::test {
void LimitAllocations(long allowed) { g_allocationsLeft = allowed; }
}  // namespace corvel::test

void* operator new(std::size_t size) {
  if (g_allocationsLeft.load() >= 0 && g_allocationsLeft.fetch_sub(1) == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
