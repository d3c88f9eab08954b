// The library's information block, descriptors and entry points for a host.
//
// A host binds the library from the information block alone: LibraryEntry
// attaches it (building every record below), GetLibraryInfo answers the block,
// whose command table, command count and notify function are all a binding
// needs. Records are plain, 32-bit fields in the Windows build (sizes pinned
// below); pointer fields are pointer-sized natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/abi.h"

extern "C" {

// A command's argument descriptor.
struct ArgInfo {
  const char* name;
  const char* explanation;  // null where there is none
  std::int16_t picture_index;
  std::int16_t picture_count;
  std::uint32_t type;       // a type code of abi.h
  std::int32_t default_value;
  std::uint32_t flags;      // 0x10: receives the variable itself (commands 0 and 1)
};

struct CommandInfo {
  const char* chinese_name;
  const char* english_name;
  const char* explanation;
  std::int16_t category;    // 1-based index into the category list
  std::uint16_t state;
  std::uint32_t result_type;
  std::uint16_t reserved;
  std::int16_t level;
  std::int16_t picture_index;
  std::int16_t picture_count;
  std::int32_t arg_count;
  const ArgInfo* args;
};

struct ConstInfo {
  const char* chinese_name;
  const char* english_name;
  const char* explanation;
  std::int16_t marker;
  std::int16_t kind;        // 1: a number
  const char* text_value;
  std::uint32_t reserved;   // aligns the value to 8 bytes on the 32-bit layout
  double value;
};

struct LibraryInfo {
  std::uint32_t format;                // 20000101
  const char* guid;
  std::int32_t major_version;
  std::int32_t minor_version;
  std::int32_t build;
  std::int32_t host_major;
  std::int32_t host_minor;
  std::int32_t core_major;
  std::int32_t core_minor;
  const char* display_name;
  std::int32_t language;               // 1: Chinese, GBK
  const char* description;
  std::uint32_t state;
  const char* author;
  const char* postal_code;
  const char* address;
  const char* telephone;
  const char* fax;
  const char* email;
  const char* home_page;
  const char* notes;
  std::int32_t data_type_count;
  const void* data_types;
  std::int32_t category_count;
  const char* categories;              // NUL-separated, ended by one more NUL
  std::int32_t command_count;
  const CommandInfo* commands;
  const CommandFunction* command_functions;
  const void* addin_function;
  const char* addin_texts;
  NotifyFunction notify;
  const void* template_function;
  const char* template_texts;
  std::int32_t const_count;
  const ConstInfo* consts;
  const char* depends;
};

// reason 1 attaches (builds the records once), 0 detaches (releases what the
// attach allocated). The answer means nothing.
int CRYPTO_CALL LibraryEntry(void* instance, std::uint32_t reason, void* reserved);
// The block built at attach.
const LibraryInfo* CRYPTO_CALL GetLibraryInfo(void);

// Message 1: keeps p1 as the host callback and answers 0. Any other message
// answers -1 and changes nothing.
std::intptr_t CRYPTO_CALL LibNotify(std::uint32_t message, std::intptr_t p1, std::intptr_t p2);

}  // extern "C"

#if defined(_WIN32) && defined(__i386__)
static_assert(sizeof(LibraryInfo) == 144 && offsetof(LibraryInfo, notify) == 120 &&
                  offsetof(LibraryInfo, consts) == 136, "LibraryInfo layout");
static_assert(sizeof(CommandInfo) == 36 && offsetof(CommandInfo, result_type) == 16 &&
                  offsetof(CommandInfo, level) == 22 && offsetof(CommandInfo, args) == 32,
              "CommandInfo layout");
static_assert(sizeof(ArgInfo) == 24 && offsetof(ArgInfo, type) == 12 && offsetof(ArgInfo, flags) == 20,
              "ArgInfo layout");
static_assert(sizeof(ConstInfo) == 32 && offsetof(ConstInfo, text_value) == 16 &&
                  offsetof(ConstInfo, value) == 24, "ConstInfo layout");
#endif

namespace crypto {

inline constexpr int kCommandCount = 18;
inline constexpr int kConstCount = 31;
inline constexpr int kCategoryCount = 7;
extern const char kLibraryGuid[];
extern const char kLibraryName[];
extern const char kCipherConstantsText[];
extern const char kDigestConstantsText[];

// True from the attach that builds the records until the detach that
// releases them.
bool LibraryRecordsHeld();

// The command functions, slot n holding command n.
void CRYPTO_CALL GetdataAdd(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL Getadd(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL rol(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL ror(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL encodebin(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL decodebin(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL base64encode(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL base64decode(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL encodefile(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL decodefile(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL hashbin(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL hashfile(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL zipbin(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL unzipbin(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL rsaen(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL rsade(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL int2hex(CommandResult* result, std::int32_t argc, CommandArg* args);
void CRYPTO_CALL hex2int(CommandResult* result, std::int32_t argc, CommandArg* args);

}  // namespace crypto
