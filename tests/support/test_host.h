// A host for library tests: its callback allocates through malloc and records
// every request and allocation, so a test can check sizes, shapes and leaks,
// or make the next allocations fail. Like the programs' host it gives no block
// for a size that is no signed 32-bit count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "crypto/abi.h"

namespace testing_support {

class TestHost {
 public:
  // Installs this host's callback in the library (as notification 1 does);
  // the destructor removes it and frees what the library allocated.
  TestHost();
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  struct Allocation {
    void* block;
    std::size_t size;
  };
  const std::vector<Allocation>& allocations() const { return allocations_; }
  // The size of every allocation request, granted or not, in order.
  const std::vector<std::intptr_t>& requests() const { return requests_; }
  std::size_t live_blocks() const { return live_; }
  // From now on the callback answers null.
  void FailAllocations(bool fail) { fail_ = fail; }
  // Frees a block the library handed back (as the host frees its values).
  void Free(void* block);

  static std::intptr_t CRYPTO_CALL Callback(std::uint32_t code, std::intptr_t p1, std::intptr_t p2);

 private:
  std::vector<Allocation> allocations_;
  std::vector<std::intptr_t> requests_;
  std::vector<void*> owned_;
  std::size_t live_ = 0;
  bool fail_ = false;
  HostCallbackFunction previous_;
};

// Builds a HostByteArray (1, n, bytes) that a test passes as an argument.
std::vector<std::uint8_t> MakeHostByteArray(const std::vector<std::uint8_t>& bytes);
CommandArg BytesArg(const std::vector<std::uint8_t>& block);
CommandArg TextArg(const char* text);
CommandArg IntArg(std::int32_t value);

// Reads a byte-array result (null = empty) as a vector.
std::vector<std::uint8_t> ResultBytes(const CommandResult& result);
const char* ResultText(const CommandResult& result);

}  // namespace testing_support
