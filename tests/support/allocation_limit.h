// A switchable limit on allocations through operator new, for tests of what
// the programs do when memory runs out (a 32-bit process finds no room for a
// large block long before the machine is out of memory). A runner that links
// allocation_limit.cpp replaces the global operator new; without a limit set
// it only passes through to malloc.
#pragma once

#include <cstddef>

namespace testing_support {

// While it lives, every operator new of more than `largest` bytes, on any
// thread, throws std::bad_alloc (the nothrow forms answer null).
class AllocationLimit {
 public:
  explicit AllocationLimit(std::size_t largest);
  ~AllocationLimit();
  AllocationLimit(const AllocationLimit&) = delete;
  AllocationLimit& operator=(const AllocationLimit&) = delete;

  // How many allocations were refused since this limit was set.
  static std::size_t Refused();
};

}  // namespace testing_support
