#include "host/binding.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "crypto/library.h"
#include "host/process.h"

namespace host {
namespace {

constexpr int kSlots = 18;

// Written on the window thread at start-up, before any worker exists, and only
// read afterwards.
struct Binding {
  void* instance = nullptr;
  CommandFunction table[kSlots] = {};
  NotifyFunction library_notify = nullptr;
  bool detached = false;
};
Binding g_binding;

void DefaultFatalBox(const std::string& caption, const std::string& text) { ShowErrorBox(caption, text); }
FatalBox g_fatal_box = &DefaultFatalBox;
HostHeap g_heap = &std::malloc;

}  // namespace

std::intptr_t CRYPTO_CALL cryptolib_notify(std::uint32_t message, std::intptr_t p1, std::intptr_t p2) {
  Binding& b = g_binding;
  if (b.instance == nullptr) {
    b.instance = ProgramInstance();
    LibraryEntry(b.instance, 1, nullptr);
    const LibraryInfo* info = GetLibraryInfo();
    const int count = info->command_count < kSlots ? info->command_count : kSlots;
    for (int i = 0; i < count; ++i) b.table[i] = info->command_functions[i];
    b.library_notify = info->notify;
    return b.library_notify(message, p1, p2);
  }
  if (message == 6) {
    const std::intptr_t answer = b.library_notify(6, p1, p2);
    if (!b.detached) {
      b.detached = true;
      LibraryEntry(b.instance, 0, nullptr);
    }
    return answer;
  }
  return b.library_notify(message, p1, p2);
}

void CRYPTO_CALL encodebin_stub(CommandResult* result, std::int32_t argc, CommandArg* args) {
  g_binding.table[4](result, argc, args);
}

void CRYPTO_CALL decodebin_stub(CommandResult* result, std::int32_t argc, CommandArg* args) {
  g_binding.table[5](result, argc, args);
}

CommandResult DispatchCommand(CommandFunction entry, int /*library_index*/, CommandArg* args, std::int32_t count) {
  CommandResult result;
  std::memset(&result, 0, sizeof result);
  entry(&result, count, args);
  return result;
}

std::intptr_t CRYPTO_CALL HostCallback(std::uint32_t code, std::intptr_t p1, std::intptr_t /*p2*/) {
  if (code != kHostAllocate) return 0;
  // A block size is a signed 32-bit count: a negative one (or, natively, a
  // larger one) asks for no block the heap can give, not for a small one.
  constexpr std::intptr_t kLargestBlock = 0x7FFFFFFF;
  void* block = p1 >= 0 && p1 <= kLargestBlock ? g_heap(p1 > 0 ? static_cast<std::size_t>(p1) : 1) : nullptr;
  if (block == nullptr) FatalRuntimeError("分配 " + std::to_string(p1) + " 字节内存失败!");
  return reinterpret_cast<std::intptr_t>(block);
}

void FreeHostMemory(const void* block) { std::free(const_cast<void*>(block)); }

std::string TakeText(const CommandResult& result) {
  const auto* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(result.value));
  if (text == nullptr) return {};
  std::string s(text);
  FreeHostMemory(text);
  return s;
}

std::string TakeBytes(const CommandResult& result) {
  const auto* block = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(result.value));
  if (block == nullptr) return {};
  std::int32_t dims, n;
  std::memcpy(&dims, block, 4);
  std::memcpy(&n, block + 4, 4);
  std::string s;
  if (dims == 1 && n > 0) s.assign(reinterpret_cast<const char*>(block + crypto::kByteArrayHeader), static_cast<std::size_t>(n));
  FreeHostMemory(block);
  return s;
}

void SetFatalBox(FatalBox box) { g_fatal_box = box != nullptr ? box : &DefaultFatalBox; }
void SetHostHeap(HostHeap heap) { g_heap = heap != nullptr ? heap : &std::malloc; }

void FatalRuntimeError(const std::string& message) {
  g_fatal_box("错误", "运行时出错!\r\n\r\n错误信息：" + message + "\r\n");
  std::exit(-1);
}

CommandFunction BoundCommand(int slot) {
  return slot >= 0 && slot < kSlots ? g_binding.table[slot] : nullptr;
}
bool LibraryBound() { return g_binding.instance != nullptr; }
bool LibraryDetached() { return g_binding.detached; }

void ResetBindingForTests() {
  if (g_binding.instance != nullptr && !g_binding.detached) LibraryEntry(g_binding.instance, 0, nullptr);
  g_binding = Binding{};
}

}  // namespace host
