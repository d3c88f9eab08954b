#include "tests/support/allocation_limit.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);
std::atomic<std::size_t> g_largest{kNoLimit};
std::atomic<std::size_t> g_refused{0};

void* Allocate(std::size_t size) {
  if (size > g_largest.load(std::memory_order_relaxed)) {
    g_refused.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
  }
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

namespace testing_support {

AllocationLimit::AllocationLimit(std::size_t largest) {
  g_refused.store(0);
  g_largest.store(largest);
}

AllocationLimit::~AllocationLimit() { g_largest.store(kNoLimit); }

std::size_t AllocationLimit::Refused() { return g_refused.load(); }

}  // namespace testing_support

// Over-aligned requests are not made by the code under test; they keep the
// library's own operators.
void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
