// Records that cross between a host program and the cryptography library.
//
// Plain C-compatible structs with fixed layouts. Where a field holds a pointer it
// is pointer-sized, so the native 64-bit test build works; the Windows build pins
// every record to the 32-bit layout a host expects.
#pragma once

#include <cstddef>
#include <cstdint>

// Callbacks and commands use the calling convention Windows callback interfaces
// use; natively there is only one convention.
#if defined(_WIN32) && defined(__i386__)
#define CRYPTO_CALL __stdcall
#else
#define CRYPTO_CALL
#endif

extern "C" {

// Type codes of a CommandArg (and of descriptors).
enum : std::uint32_t {
  kTypeAny = 0x80000000u,      // descriptors only: a variable of any type
  kTypeLogical = 0x80000002u,  // 0 false; the library writes -1 for true
  kTypeText = 0x80000004u,     // pointer to NUL-terminated GBK bytes, or null
  kTypeBytes = 0x80000005u,    // pointer to a HostByteArray, or null
  kTypeInteger = 0x80000301u,  // signed 32-bit integer
};

// The one allocation code the library sends to the host: p1 bytes, p2 = 0.
enum : std::uint32_t { kHostAllocate = 2024 };

// One argument: the value sits in the low bytes (low 4 on a 32-bit host), then
// the type code. 12 bytes on both builds.
#pragma pack(push, 4)
struct CommandArg {
  std::uint64_t value;
  std::uint32_t type;
};

// Zeroed by the host before every call; the command writes one value at its
// start (4 bytes on a 32-bit host, a whole pointer natively) or nothing.
struct CommandResult {
  std::uint64_t value;
  std::uint32_t reserved;
};
#pragma pack(pop)

static_assert(sizeof(CommandArg) == 12 && offsetof(CommandArg, type) == 8, "CommandArg layout");
static_assert(sizeof(CommandResult) == 12, "CommandResult layout");

// Host service and notify functions share one shape: (code, p1, p2) -> answer.
// p1, p2 and the answer are pointer-sized because p1 carries the callback and
// the allocation answer is an address.
typedef std::intptr_t(CRYPTO_CALL* HostCallbackFunction)(std::uint32_t code, std::intptr_t p1,
                                                 std::intptr_t p2);
typedef std::intptr_t(CRYPTO_CALL* NotifyFunction)(std::uint32_t message, std::intptr_t p1,
                                                   std::intptr_t p2);

// A command: zeroed result, argument count (not consulted), first argument.
typedef void(CRYPTO_CALL* CommandFunction)(CommandResult* result, std::int32_t argc,
                                          CommandArg* args);

}  // extern "C"

#if defined(_WIN32) && defined(__i386__)
static_assert(sizeof(void*) == 4 && sizeof(std::intptr_t) == 4, "32-bit host");
#endif

namespace crypto {

// The array block every array value points to: int32 dimension count, one int32
// size per dimension, then the elements, packed. A HostByteArray is the block
// (1, n, n bytes): 8 + n bytes in all; (1, 0) is the empty byte array.
constexpr std::size_t kByteArrayHeader = 8;

// Library state: the host callback (null until notification 1).
void SetHostCallback(HostCallbackFunction callback);
HostCallbackFunction GetHostCallback();

// Calls the stored host callback; answers 0 when none is stored.
std::intptr_t NotifyHost(std::uint32_t code, std::intptr_t p1, std::intptr_t p2);

// Copies a NUL-terminated text into host memory. Null for a null or empty text,
// and when the host gives no memory; nothing is allocated then. A block of
// more than 2^31 - 1 bytes, which a 32-bit size cannot carry, is asked for as
// -1 (the host's run-time error), never as a wrapped, smaller size.
char* CloneText(const char* text);
// The same for a text of known length (it must hold no NUL).
char* CloneText(const char* text, std::size_t length);

// A new HostByteArray of `count` bytes in host memory, its header (1, count)
// written, its bytes left to the caller. Null when the host gives no memory;
// asked for as -1 when the block would exceed 2^31 - 1 bytes.
std::uint8_t* NewHostByteArray(std::size_t count);

// Copies n bytes into a new HostByteArray in host memory. Null when n is 0 (nothing
// is allocated) or when the host gives no memory.
void* CloneBytes(const void* data, std::size_t n);

// Stores the block's element count (product of the sizes; 1 for 0 dimensions)
// and answers where the elements begin.
const std::uint8_t* GetArrayData(const void* block, std::int32_t* count);

// The n-th (from 1) 32-bit little-endian word of a buffer.
std::int32_t GetWordAt(const void* buffer, std::int32_t n);

// Reading arguments: integers are the low 32 bits; pointers the low pointer bits.
inline std::int32_t ArgInteger(const CommandArg& arg) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(arg.value));
}
inline const void* ArgPointer(const CommandArg& arg) {
  return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(arg.value));
}
// A text argument's bytes, or null for an absent or empty text.
const char* ArgText(const CommandArg& arg);
// A byte-array argument's bytes and count; null (count 0) when it is absent, has
// no dimensions or holds no elements.
const std::uint8_t* ArgBytes(const CommandArg& arg, std::size_t* count);

// Writing results.
inline void SetResultInteger(CommandResult* result, std::int32_t value) {
  result->value = static_cast<std::uint32_t>(value);
}
inline void SetResultLogical(CommandResult* result, bool value) {
  SetResultInteger(result, value ? -1 : 0);
}
inline void SetResultPointer(CommandResult* result, const void* pointer) {
  result->value = reinterpret_cast<std::uintptr_t>(pointer);
}

}  // namespace crypto
