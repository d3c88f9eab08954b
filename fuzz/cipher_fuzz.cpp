// encodebin / decodebin round trip for every algorithm row, through the
// command functions and a tracking host.
#include "crypto/ciphers/table.h"
#include "crypto/library.h"
#include "fuzz/fuzz_common.h"
#include "tests/support/test_host.h"

using namespace testing_support;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const std::uint8_t row = in.Byte();
  const std::string key = in.Piece(64);
  const std::string payload = in.Rest();
  const crypto::CipherEntry& entry = crypto::CipherTable()[row % crypto::kCipherCount];

  TestHost host;
  const std::vector<std::uint8_t> bytes(payload.begin(), payload.end());
  const std::vector<std::uint8_t> block = MakeHostByteArray(bytes);
  const std::string key_text = key.substr(0, key.find('\0'));
  CommandArg enc_args[3] = {BytesArg(block), TextArg(key_text.c_str()), IntArg(entry.number)};
  CommandResult enc{};
  crypto::encodebin(&enc, 3, enc_args);
  FUZZ_CHECK(host.live_blocks() == (enc.value != 0 ? 1u : 0u));
  const char* text = ResultText(enc);
  if (entry.cipher == nullptr || bytes.empty()) return 0;
  if (text == nullptr) return 0;  // a refused key: nothing to decrypt

  CommandArg dec_args[3] = {TextArg(text), TextArg(key_text.c_str()), IntArg(entry.number)};
  CommandResult dec{};
  crypto::decodebin(&dec, 3, dec_args);
  FUZZ_CHECK(ResultBytes(dec) == bytes);
  FUZZ_CHECK(host.live_blocks() == 1u + (dec.value != 0 ? 1u : 0u));

  // The input itself as a ciphertext: decrypted or refused, never a crash.
  const std::string junk = payload.substr(0, payload.find('\0'));
  CommandArg junk_args[3] = {TextArg(junk.c_str()), TextArg(key_text.c_str()), IntArg(entry.number)};
  CommandResult junk_result{};
  crypto::decodebin(&junk_result, 3, junk_args);
  return 0;
}
