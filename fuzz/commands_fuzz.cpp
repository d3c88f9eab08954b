// The command interface: each of the 18 commands fed CommandArg arrays of the
// types its descriptors name, with host-shaped values built from the input.
// Only unzipbin may let a library error escape; every block the library
// allocates must be the result.
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "crypto/errors.h"
#include "crypto/library.h"
#include "fuzz/fuzz_common.h"
#include "tests/support/test_host.h"

using namespace testing_support;

namespace {

constexpr int kUnzipbin = 13;

const LibraryInfo* Info() {
  static const LibraryInfo* info = [] {
    LibraryEntry(nullptr, 1, nullptr);
    return GetLibraryInfo();
  }();
  return info;
}

// A scratch directory for the file commands: they only see paths inside it.
const std::string& Scratch() {
  static const std::string dir = [] {
    const auto path = std::filesystem::temp_directory_path() / ("qelmar_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return dir;
}

// encodefile, decodefile and hashfile.
bool IsFileCommand(int command) { return command == 8 || command == 9 || command == 11; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const LibraryInfo* info = Info();
  fuzz::Input in(data, size);
  const int command = in.Byte() % crypto::kCommandCount;
  const CommandInfo& ci = info->commands[command];
  FUZZ_CHECK(ci.arg_count >= 0 && ci.arg_count <= 8);

  // Storage that outlives the call: texts, byte arrays, by-reference variables.
  std::vector<std::string> texts;
  std::vector<std::vector<std::uint8_t>> blocks;
  texts.reserve(16);
  blocks.reserve(16);
  std::uint64_t cells[8] = {};
  CommandArg args[8] = {};
  for (int i = 0; i < ci.arg_count; ++i) {
    const std::uint32_t type = ci.args[i].type;
    const std::uint8_t shape = in.Byte();
    if (type == kTypeInteger || type == kTypeLogical) {
      args[i] = CommandArg{in.Word(), type};
    } else if (type == kTypeText) {
      if (IsFileCommand(command) && i < 2) {
        const std::string path = Scratch() + "/f" + std::to_string(shape % 3);
        if (i == 0 && shape % 2 == 0) std::ofstream(path, std::ios::binary) << in.Piece();
        texts.push_back(path);
      } else {
        const std::string piece = in.Piece();
        texts.push_back(piece.substr(0, piece.find('\0')));
      }
      const bool absent = (shape & 0x80) != 0;
      args[i] = CommandArg{absent ? 0 : reinterpret_cast<std::uintptr_t>(texts.back().c_str()), type};
    } else if (type == kTypeBytes) {
      const std::string piece = in.Piece();
      blocks.push_back(MakeHostByteArray(std::vector<std::uint8_t>(piece.begin(), piece.end())));
      if (shape & 0x40) {  // a zero-dimension block, as an empty host variable may be
        blocks.back().assign(4, 0);
      }
      const bool absent = (shape & 0x80) != 0;
      args[i] = CommandArg{absent ? 0 : reinterpret_cast<std::uintptr_t>(blocks.back().data()), type};
    } else {
      // A variable passed by reference: the value is its storage's address.
      static const std::uint32_t kTypes[] = {kTypeInteger, kTypeLogical, kTypeText, kTypeBytes,
                                             0x80000601u, 0x40000000u, 0u};
      const std::uint32_t held = kTypes[shape % (sizeof kTypes / sizeof kTypes[0])];
      if (held == kTypeText) {
        texts.push_back(in.Piece());
        const char* p = texts.back().c_str();
        std::memcpy(&cells[i], &p, sizeof p);
      } else if (held == kTypeBytes) {
        const std::string piece = in.Piece();
        blocks.push_back(MakeHostByteArray(std::vector<std::uint8_t>(piece.begin(), piece.end())));
        const std::uint8_t* p = blocks.back().data();
        std::memcpy(&cells[i], &p, sizeof p);
      } else {
        cells[i] = static_cast<std::uint64_t>(in.Word()) | static_cast<std::uint64_t>(in.Word()) << 32;
      }
      args[i] = CommandArg{reinterpret_cast<std::uintptr_t>(&cells[i]), held};
    }
  }

  TestHost host;
  CommandResult result{};
  const CommandFunction entry = info->command_functions[command];
  if (command == kUnzipbin) {
    try {
      entry(&result, ci.arg_count, args);
    } catch (const crypto::Exception&) {
      FUZZ_CHECK(host.live_blocks() == 0);
      return 0;
    }
  } else {
    entry(&result, ci.arg_count, args);  // anything escaping ends the run
  }
  const bool allocated_result = ci.result_type == kTypeText || ci.result_type == kTypeBytes;
  if (allocated_result && result.value != 0) {
    FUZZ_CHECK(host.live_blocks() == 1);
    FUZZ_CHECK(reinterpret_cast<void*>(static_cast<std::uintptr_t>(result.value)) == host.allocations().back().block);
    if (ci.result_type == kTypeText) {
      const char* text = ResultText(result);
      FUZZ_CHECK(std::strlen(text) + 1 <= host.allocations().back().size && text[0] != '\0');
    } else {
      std::int32_t dims, n;
      std::memcpy(&dims, host.allocations().back().block, 4);
      std::memcpy(&n, static_cast<const char*>(host.allocations().back().block) + 4, 4);
      FUZZ_CHECK(dims == 1 && n > 0 && static_cast<std::size_t>(n) + 8 == host.allocations().back().size);
    }
  } else {
    FUZZ_CHECK(host.live_blocks() == 0);
  }
  return 0;
}
