// decodebin(encodebin(d, k, a), k, a) = d for every row of the algorithm table
// that has a class, at the lengths around the block and the 8192-byte chunk.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypto/base64.h"
#include "crypto/ciphers/table.h"
#include "crypto/library.h"
#include "tests/support/hex.h"
#include "tests/support/test_host.h"

namespace {

using crypto::Bytes;
using testing_support::BytesArg;
using testing_support::IntArg;
using testing_support::MakeHostByteArray;
using testing_support::RandomBytes;
using testing_support::ResultBytes;
using testing_support::ResultText;
using testing_support::TestHost;
using testing_support::TextArg;
using testing_support::ToHex;

CommandResult Call(CommandFunction f, std::vector<CommandArg> args) {
  CommandResult r;
  std::memset(&r, 0, sizeof r);
  f(&r, static_cast<std::int32_t>(args.size()), args.data());
  return r;
}

TEST(BinCommandsRoundTrip, EveryRowWithAClassAtEveryLength) {
  TestHost host;
  const crypto::CipherEntry* table = crypto::CipherTable();
  int rows = 0;
  for (int i = 0; i < crypto::kCipherCount; ++i) {
    const auto& e = table[i];
    if (e.cipher == nullptr) continue;
    ++rows;
    SCOPED_TRACE(std::to_string(e.number) + " " + e.name);
    // A stream cipher has no block; 8 only picks the lengths.
    const std::size_t b = e.cipher->block_bits > 0 ? static_cast<std::size_t>(e.cipher->block_bits) / 8 : 8;
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, b - 1, b, b + 1, std::size_t{8191}, std::size_t{8192},
                          std::size_t{8193}, std::size_t{100000}}) {
      SCOPED_TRACE("length " + std::to_string(n));
      const Bytes data = RandomBytes(n, static_cast<std::uint32_t>(n + 7 * e.number));
      const auto block = MakeHostByteArray(data);
      const CommandResult enc = Call(&crypto::encodebin, {BytesArg(block), TextArg("bin key"), IntArg(e.number)});
      const char* text = ResultText(enc);
      if (n == 0) {
        EXPECT_EQ(enc.value, 0u) << "the empty array gives the empty text";
        continue;
      }
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(std::strlen(text), crypto::Base64EncodedLength(n));
      const CommandResult dec = Call(&crypto::decodebin, {TextArg(text), TextArg("bin key"), IntArg(e.number)});
      EXPECT_EQ(ToHex(ResultBytes(dec)), ToHex(data));
    }
  }
  EXPECT_GT(rows, 0);
}

}  // namespace
