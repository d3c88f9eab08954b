#include "crypto/abi.h"

#include <atomic>
#include <cstring>

#include "crypto/bytes.h"

namespace crypto {
namespace {
// Written once by notification 1 before any command runs; commands on other
// threads only read it.
std::atomic<HostCallbackFunction> g_host_callback{nullptr};

// Asks the host for n + header bytes. The host takes a block size as a signed
// 32-bit count: a size beyond that, or a sum that would wrap, is asked for as
// -1, which no host allocates, so that it takes the host's run-time error path
// and never comes back as a smaller block. Null then, whatever the host says.
std::uint8_t* AllocateBlock(std::size_t n, std::size_t header) {
  constexpr std::size_t kLargestBlock = 0x7FFFFFFF;
  const bool fits = n <= kLargestBlock - header;
  const std::intptr_t size = fits ? static_cast<std::intptr_t>(n + header) : -1;
  auto* block = reinterpret_cast<std::uint8_t*>(NotifyHost(kHostAllocate, size, 0));
  return fits ? block : nullptr;
}
}  // namespace

void SetHostCallback(HostCallbackFunction callback) { g_host_callback.store(callback); }
HostCallbackFunction GetHostCallback() { return g_host_callback.load(); }

std::intptr_t NotifyHost(std::uint32_t code, std::intptr_t p1, std::intptr_t p2) {
  HostCallbackFunction callback = g_host_callback.load();
  if (callback == nullptr) return 0;
  return callback(code, p1, p2);
}

char* CloneText(const char* text, std::size_t length) {
  if (text == nullptr || length == 0) return nullptr;
  auto* block = reinterpret_cast<char*>(AllocateBlock(length, 1));
  if (block == nullptr) return nullptr;
  std::memcpy(block, text, length);
  block[length] = '\0';
  return block;
}

char* CloneText(const char* text) {
  if (text == nullptr) return nullptr;
  return CloneText(text, std::strlen(text));
}

std::uint8_t* NewHostByteArray(std::size_t count) {
  std::uint8_t* block = AllocateBlock(count, kByteArrayHeader);
  if (block == nullptr) return nullptr;
  const std::int32_t dims = 1;
  const auto n = static_cast<std::int32_t>(count);  // fits: the block size did
  std::memcpy(block, &dims, 4);
  std::memcpy(block + 4, &n, 4);
  return block;
}

void* CloneBytes(const void* data, std::size_t n) {
  if (n == 0) return nullptr;
  std::uint8_t* block = NewHostByteArray(n);
  if (block == nullptr) return nullptr;
  std::memcpy(block + kByteArrayHeader, data, n);
  return block;
}

const std::uint8_t* GetArrayData(const void* block, std::int32_t* count) {
  const auto* p = static_cast<const std::uint8_t*>(block);
  std::int32_t dims;
  std::memcpy(&dims, p, 4);
  p += 4;
  std::int32_t c = 1;
  for (; dims > 0; --dims) {
    std::int32_t size;
    std::memcpy(&size, p, 4);
    // Wraps like the host's own 32-bit arithmetic; never undefined.
    c = static_cast<std::int32_t>(static_cast<std::uint32_t>(c) * static_cast<std::uint32_t>(size));
    p += 4;
  }
  *count = c;
  return p;
}

std::int32_t GetWordAt(const void* buffer, std::int32_t n) {
  const auto* p = static_cast<const std::uint8_t*>(buffer) + 4 * (static_cast<std::ptrdiff_t>(n) - 1);
  return static_cast<std::int32_t>(LoadLe32(p));
}

const char* ArgText(const CommandArg& arg) {
  const auto* text = static_cast<const char*>(ArgPointer(arg));
  if (text == nullptr || text[0] == '\0') return nullptr;
  return text;
}

const std::uint8_t* ArgBytes(const CommandArg& arg, std::size_t* count) {
  *count = 0;
  const void* block = ArgPointer(arg);
  if (block == nullptr) return nullptr;
  std::int32_t dims;
  std::memcpy(&dims, block, 4);
  if (dims == 0) return nullptr;
  std::int32_t n;
  const std::uint8_t* data = GetArrayData(block, &n);
  // A negative count is no array the host can hold; treat it as empty rather
  // than read past the block.
  if (n <= 0) return nullptr;
  *count = static_cast<std::size_t>(n);
  return data;
}

}  // namespace crypto
