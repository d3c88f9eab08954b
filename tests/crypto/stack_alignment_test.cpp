// A 32-bit Windows host may call the library's commands with the stack aligned
// to 4 bytes only (threads and callbacks get no more). The commands that reach
// SHA-1 and SHA-256, whose SSE code keeps 16-byte values on the stack, and RC5
// decryption, whose AVX2 code keeps 32-byte ones there, must give the same
// results called so as called from an aligned stack.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "crypto/library.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

#if defined(__i386__)
// Calls fn(arg) with the stack pointer at 8 mod 16 at the call, as a worker
// thread of 32-bit Windows may have it. Uses only registers a cdecl call
// clobbers anyway.
asm(R"(
  .text
  .globl _CallAtStack8Mod16
_CallAtStack8Mod16:
  pushl %ebp
  movl %esp, %ebp
  movl 8(%ebp), %eax
  movl 12(%ebp), %ecx
  andl $-16, %esp
  subl $4, %esp
  pushl %ecx
  call *%eax
  movl %ebp, %esp
  popl %ebp
  ret
)");
extern "C" void CallAtStack8Mod16(void (*fn)(void*), void* arg);
#endif

namespace {

namespace fs = std::filesystem;
using testing_support::BytesArg;
using testing_support::IntArg;
using testing_support::MakeHostByteArray;
using testing_support::ResultBytes;
using testing_support::ResultText;
using testing_support::TestHost;
using testing_support::TextArg;

constexpr int kRc5 = 14, kAes = 16, kSha1 = 26, kSha256 = 27;

enum class Result { kText, kBytes, kLogical };

// The command's result as text: the text, the bytes in hex, or the logical.
std::string Call(CommandFunction f, std::vector<CommandArg> args, Result kind) {
  CommandResult r;
  std::memset(&r, 0, sizeof r);
  f(&r, static_cast<std::int32_t>(args.size()), args.data());
  switch (kind) {
    case Result::kText:
      return ResultText(r) ? ResultText(r) : "";
    case Result::kBytes: {
      const std::vector<std::uint8_t> bytes = ResultBytes(r);
      return testing_support::ToHex(bytes.data(), bytes.size());
    }
    case Result::kLogical:
      break;
  }
  return std::to_string(static_cast<std::int32_t>(r.value));
}

void RunWork(void* work) { (*static_cast<std::function<std::string()>*>(work))(); }

// The work's result from a misaligned stack (where the build is 32-bit x86).
std::string Misaligned(std::function<std::string()> work) {
  std::string result;
  std::function<std::string()> store = [&] { return result = work(); };
#if defined(__i386__)
  CallAtStack8Mod16(&RunWork, &store);
#else
  RunWork(&store);
#endif
  return result;
}

TEST(StackAlignment, ShaCommandsGiveTheSameResultsFromAMisalignedStack) {
  TestHost host;
  const fs::path dir = fs::temp_directory_path() / ("qelmar_alignment_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  const std::string plain = (dir / "plain.bin").string();
  {
    std::ofstream f(plain, std::ios::binary);
    f << std::string(20000, 'q') << "tail";
  }
  const auto data = MakeHostByteArray(testing_support::RandomBytes(1000, 5));
  const std::string stored = Call(&crypto::encodebin, {BytesArg(data), TextArg("key"), IntArg(kRc5)}, Result::kText);
  ASSERT_FALSE(stored.empty());

  int file_number = 0;
  // A file command's answer and the bytes it wrote.
  const auto file_command = [&](CommandFunction f, const std::string& source, int algorithm) {
    const std::string out = (dir / ("out" + std::to_string(++file_number))).string();
    const std::string answer = Call(f, {TextArg(source.c_str()), TextArg(out.c_str()), TextArg("key"), IntArg(algorithm)}, Result::kLogical);
    std::ifstream in(out, std::ios::binary);
    return answer + "/" + std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string encrypted = (dir / "encrypted.bin").string();
  Call(&crypto::encodefile, {TextArg(plain.c_str()), TextArg(encrypted.c_str()), TextArg("key"), IntArg(kRc5)}, Result::kLogical);

  const std::vector<std::pair<const char*, std::function<std::string()>>> cases = {
      {"encodebin RC5", [&] { return Call(&crypto::encodebin, {BytesArg(data), TextArg("key"), IntArg(kRc5)}, Result::kText); }},
      {"encodebin AES", [&] { return Call(&crypto::encodebin, {BytesArg(data), TextArg("key"), IntArg(kAes)}, Result::kText); }},
      {"decodebin", [&] { return Call(&crypto::decodebin, {TextArg(stored.c_str()), TextArg("key"), IntArg(kRc5)}, Result::kBytes); }},
      {"encodefile", [&] { return file_command(&crypto::encodefile, plain, kRc5); }},
      {"decodefile", [&] { return file_command(&crypto::decodefile, encrypted, kRc5); }},
      {"hashbin SHA-1", [&] { return Call(&crypto::hashbin, {BytesArg(data), IntArg(kSha1)}, Result::kText); }},
      {"hashbin SHA-256", [&] { return Call(&crypto::hashbin, {BytesArg(data), IntArg(kSha256)}, Result::kText); }},
      {"hashfile SHA-1", [&] { return Call(&crypto::hashfile, {TextArg(plain.c_str()), IntArg(kSha1)}, Result::kText); }},
      {"hashfile SHA-256", [&] { return Call(&crypto::hashfile, {TextArg(plain.c_str()), IntArg(kSha256)}, Result::kText); }},
  };
  for (const auto& [name, work] : cases) {
    const std::string aligned = work();
    EXPECT_FALSE(aligned.empty()) << name;
    // The file commands write a fresh file each time: compare what they wrote.
    EXPECT_EQ(Misaligned(work), aligned) << name;
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

}  // namespace
