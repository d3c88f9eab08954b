// Commands 0 to 7 called as a host calls them: CommandArg records in, a zeroed
// result record out, results allocated through the host callback.
#include <gtest/gtest.h>

#include <cstring>

#include "crypto/base64.h"
#include "crypto/library.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

using crypto::Bytes;
using testing_support::BytesArg;
using testing_support::IntArg;
using testing_support::MakeHostByteArray;
using testing_support::RandomBytes;
using testing_support::ResultBytes;
using testing_support::ResultText;
using testing_support::TestHost;
using testing_support::TextArg;

namespace {

CommandResult Call(CommandFunction f, std::vector<CommandArg> args) {
  CommandResult r;
  std::memset(&r, 0, sizeof r);
  f(&r, static_cast<std::int32_t>(args.size()), args.data());
  return r;
}

std::string Encode(const Bytes& data, const char* key, int algorithm) {
  const auto block = MakeHostByteArray(data);
  const CommandResult r = Call(&crypto::encodebin, {BytesArg(block), TextArg(key), IntArg(algorithm)});
  const char* t = ResultText(r);
  return t == nullptr ? std::string() : std::string(t);
}

Bytes Decode(const std::string& text, const char* key, int algorithm) {
  const CommandResult r = Call(&crypto::decodebin, {TextArg(text.c_str()), TextArg(key), IntArg(algorithm)});
  return ResultBytes(r);
}

TEST(Commands, Rotations) {
  struct Case {
    CommandFunction f;
    std::int32_t x, n, expected;
  };
  const Case cases[] = {
      {&crypto::rol, 1, 33, 2},
      {&crypto::rol, 0x12345678, 0, 0x12345678},
      {&crypto::ror, 1, 1, INT32_MIN},
      {&crypto::rol, INT32_MIN, 1, 1},
      {&crypto::rol, 1, -1, INT32_MIN},
      {&crypto::ror, 2, -1, 4},
      {&crypto::ror, 0x12345678, 32, 0x12345678},
      {&crypto::rol, 0x12345678, 8, 0x34567812},
      {&crypto::ror, 0x12345678, 8, 0x78123456},
  };
  for (const auto& c : cases) {
    const CommandResult r = Call(c.f, {IntArg(c.x), IntArg(c.n)});
    EXPECT_EQ(crypto::GetWordAt(&r, 1), c.expected) << c.x << " by " << c.n;
    EXPECT_EQ(r.reserved, 0u);
  }
}

TEST(Commands, EncodebinRoundTripsAndIsDeterministic) {
  TestHost host;
  for (int algorithm : {14, 16}) {
    for (std::size_t n : {1u, 2u, 3u, 7u, 8u, 9u, 16u, 17u, 1000u}) {
      const Bytes data = RandomBytes(n, static_cast<std::uint32_t>(n));
      const std::string text = Encode(data, "key text", algorithm);
      EXPECT_EQ(text.size(), crypto::Base64EncodedLength(n));
      EXPECT_EQ(Encode(data, "key text", algorithm), text) << "same input, same text";
      EXPECT_EQ(Decode(text, "key text", algorithm), data) << algorithm << " n=" << n;
      const Bytes wrong = Decode(text, "other key", algorithm);
      EXPECT_EQ(wrong.size(), n);
      if (n >= 8) {
        EXPECT_NE(wrong, data);
      }
    }
    EXPECT_EQ(Encode({0x41}, "", algorithm).substr(2), "==");
    EXPECT_EQ(Encode({0x41, 0x42}, "", algorithm).substr(3), "=");
    EXPECT_EQ(Decode(Encode({1, 2, 3}, "", algorithm), "", algorithm), (Bytes{1, 2, 3}));
  }
}

TEST(Commands, EmptyInputsAndUnknownAlgorithmsGiveEmptyResults) {
  TestHost host;
  const auto empty = MakeHostByteArray({});
  const auto data = MakeHostByteArray({1, 2, 3});
  const std::int32_t no_dims[] = {0, 3, 0x01020304};
  const CommandArg no_dims_arg{reinterpret_cast<std::uintptr_t>(no_dims), kTypeBytes};
  struct Case {
    const char* name;
    CommandFunction f;
    std::vector<CommandArg> args;
  };
  const Case cases[] = {
      {"encodebin empty array", &crypto::encodebin, {BytesArg(empty), TextArg("k"), IntArg(14)}},
      {"encodebin null array", &crypto::encodebin, {CommandArg{0, kTypeBytes}, TextArg("k"), IntArg(14)}},
      {"encodebin no dimensions", &crypto::encodebin, {no_dims_arg, TextArg("k"), IntArg(14)}},
      {"encodebin algorithm 0", &crypto::encodebin, {BytesArg(data), TextArg("k"), IntArg(0)}},
      {"encodebin algorithm 21", &crypto::encodebin, {BytesArg(data), TextArg("k"), IntArg(21)}},
      {"encodebin algorithm -1", &crypto::encodebin, {BytesArg(data), TextArg("k"), IntArg(-1)}},
      {"decodebin empty text", &crypto::decodebin, {TextArg(""), TextArg("k"), IntArg(14)}},
      {"decodebin null text", &crypto::decodebin, {TextArg(nullptr), TextArg("k"), IntArg(14)}},
      {"decodebin algorithm 0", &crypto::decodebin, {TextArg("QUJD"), TextArg("k"), IntArg(0)}},
      {"decodebin algorithm 21", &crypto::decodebin, {TextArg("QUJD"), TextArg("k"), IntArg(21)}},
      {"decodebin short text", &crypto::decodebin, {TextArg("QUJ"), TextArg("k"), IntArg(14)}},
      {"base64encode empty", &crypto::base64encode, {BytesArg(empty)}},
      {"base64decode empty", &crypto::base64decode, {TextArg("")}},
      {"base64decode too short", &crypto::base64decode, {TextArg("QU")}},
  };
  for (const auto& c : cases) {
    std::vector<CommandArg> args = c.args;
    const CommandResult r = Call(c.f, args);
    EXPECT_EQ(r.value, 0u) << c.name;
    EXPECT_EQ(r.reserved, 0u) << c.name;
  }
  EXPECT_EQ(host.allocations().size(), 0u) << "nothing allocated for empty results";
}

TEST(Commands, Base64Commands) {
  TestHost host;
  const Bytes data = {'f', 'o', 'o', 'b', 'a'};
  const auto block = MakeHostByteArray(data);
  const CommandResult enc = Call(&crypto::base64encode, {BytesArg(block)});
  EXPECT_STREQ(ResultText(enc), "Zm9vYmE=");
  EXPECT_EQ(host.allocations().back().size, 9u);
  const CommandResult dec = Call(&crypto::base64decode, {TextArg("Zm9vYmE=")});
  EXPECT_EQ(ResultBytes(dec), data);
  EXPECT_EQ(host.allocations().back().size, 13u) << "8-byte header + 5 bytes";
  const Bytes random = RandomBytes(1000, 5);
  const auto rblock = MakeHostByteArray(random);
  const CommandResult renc = Call(&crypto::base64encode, {BytesArg(rblock)});
  EXPECT_EQ(ResultText(renc), crypto::Base64EncodeText(random));
}

TEST(Commands, AddressCommands) {
  std::int32_t integer = 1234;
  const CommandArg int_var{reinterpret_cast<std::uintptr_t>(&integer), kTypeInteger};
  const CommandResult data_of_int = Call(&crypto::GetdataAdd, {int_var});
  const CommandResult addr_of_int = Call(&crypto::Getadd, {int_var});
  EXPECT_EQ(data_of_int.value, reinterpret_cast<std::uintptr_t>(&integer));
  EXPECT_EQ(addr_of_int.value, data_of_int.value);

  auto array = MakeHostByteArray({9, 8, 7});
  std::uint8_t* array_ptr = array.data();
  const CommandArg bytes_var{reinterpret_cast<std::uintptr_t>(&array_ptr), kTypeBytes};
  EXPECT_EQ(Call(&crypto::GetdataAdd, {bytes_var}).value, reinterpret_cast<std::uintptr_t>(array_ptr + 8));
  EXPECT_EQ(Call(&crypto::Getadd, {bytes_var}).value, reinterpret_cast<std::uintptr_t>(&array_ptr));
  std::uint8_t* no_array = nullptr;
  const CommandArg empty_bytes_var{reinterpret_cast<std::uintptr_t>(&no_array), kTypeBytes};
  EXPECT_EQ(Call(&crypto::GetdataAdd, {empty_bytes_var}).value, 0u);

  const char* text = "abc";
  const CommandArg text_var{reinterpret_cast<std::uintptr_t>(&text), kTypeText};
  EXPECT_EQ(Call(&crypto::GetdataAdd, {text_var}).value, reinterpret_cast<std::uintptr_t>(text));

  // An array variable (top bit set, not a scalar type): the first element, or 0 when empty.
  const std::int32_t ints[] = {1, 2, 10, 20};
  const void* ints_ptr = ints;
  const CommandArg array_var{reinterpret_cast<std::uintptr_t>(&ints_ptr), 0x80000301u | 0x20000000u};
  EXPECT_EQ(Call(&crypto::GetdataAdd, {array_var}).value, reinterpret_cast<std::uintptr_t>(ints + 2));
  const std::int32_t empty_ints[] = {1, 0};
  const void* empty_ptr = empty_ints;
  const CommandArg empty_array_var{reinterpret_cast<std::uintptr_t>(&empty_ptr), 0x80000301u | 0x20000000u};
  EXPECT_EQ(Call(&crypto::GetdataAdd, {empty_array_var}).value, 0u);

  // Top bit clear: the stored value with bit 0x40000000, else 0.
  std::uint32_t stored = 0xcafef00du;
  EXPECT_EQ(Call(&crypto::GetdataAdd, {CommandArg{reinterpret_cast<std::uintptr_t>(&stored), 0x40000001u}}).value,
            0xcafef00du);
  EXPECT_EQ(Call(&crypto::GetdataAdd, {CommandArg{reinterpret_cast<std::uintptr_t>(&stored), 0x00000001u}}).value,
            0u);
  EXPECT_EQ(Call(&crypto::Getadd, {CommandArg{reinterpret_cast<std::uintptr_t>(&stored), 0x40000001u}}).value,
            reinterpret_cast<std::uintptr_t>(&stored));
  EXPECT_EQ(Call(&crypto::Getadd, {CommandArg{reinterpret_cast<std::uintptr_t>(&stored), 0x00000001u}}).value, 0u);
}

TEST(Commands, KeySetupErrorTravelsToTheCaller) {
  // No command catches it; with the table's key sizes it never happens, so
  // only the absence of a result when the host gives no memory is visible.
  TestHost host;
  host.FailAllocations(true);
  const auto data = MakeHostByteArray({1, 2, 3});
  const CommandResult r = Call(&crypto::encodebin, {BytesArg(data), TextArg("k"), IntArg(14)});
  EXPECT_EQ(r.value, 0u);
}

}  // namespace
