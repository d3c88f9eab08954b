#include "tests/support/test_host.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace testing_support {
namespace {
TestHost* g_current = nullptr;
}

TestHost::TestHost() : previous_(crypto::GetHostCallback()) {
  g_current = this;
  crypto::SetHostCallback(&TestHost::Callback);
}

TestHost::~TestHost() {
  for (void* block : owned_) std::free(block);
  g_current = nullptr;
  crypto::SetHostCallback(previous_);
}

std::intptr_t CRYPTO_CALL TestHost::Callback(std::uint32_t code, std::intptr_t p1, std::intptr_t p2) {
  TestHost* host = g_current;
  if (host == nullptr || code != kHostAllocate || p2 != 0) return 0;
  host->requests_.push_back(p1);
  if (host->fail_ || p1 < 0 || p1 > 0x7FFFFFFF) return 0;
  void* block = std::malloc(p1 > 0 ? static_cast<std::size_t>(p1) : 1);
  if (block == nullptr) return 0;
  host->allocations_.push_back({block, static_cast<std::size_t>(p1)});
  host->owned_.push_back(block);
  ++host->live_;
  return reinterpret_cast<std::intptr_t>(block);
}

void TestHost::Free(void* block) {
  auto it = std::find(owned_.begin(), owned_.end(), block);
  if (it == owned_.end()) return;
  owned_.erase(it);
  std::free(block);
  --live_;
}

std::vector<std::uint8_t> MakeHostByteArray(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> block(8 + bytes.size());
  const std::int32_t dims = 1;
  const auto n = static_cast<std::int32_t>(bytes.size());
  std::memcpy(block.data(), &dims, 4);
  std::memcpy(block.data() + 4, &n, 4);
  if (!bytes.empty()) std::memcpy(block.data() + 8, bytes.data(), bytes.size());
  return block;
}

CommandArg BytesArg(const std::vector<std::uint8_t>& block) {
  return CommandArg{reinterpret_cast<std::uintptr_t>(block.data()), kTypeBytes};
}
CommandArg TextArg(const char* text) {
  return CommandArg{reinterpret_cast<std::uintptr_t>(text), kTypeText};
}
CommandArg IntArg(std::int32_t value) {
  return CommandArg{static_cast<std::uint32_t>(value), kTypeInteger};
}

std::vector<std::uint8_t> ResultBytes(const CommandResult& result) {
  const auto* block = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(result.value));
  if (block == nullptr) return {};
  std::int32_t n;
  std::memcpy(&n, block + 4, 4);
  return std::vector<std::uint8_t>(block + 8, block + 8 + n);
}

const char* ResultText(const CommandResult& result) {
  return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(result.value));
}

}  // namespace testing_support
