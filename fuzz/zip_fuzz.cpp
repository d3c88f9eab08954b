// zipbin and unzipbin through the command functions and a tracking host:
// unzip(zip(x)) == x, any input to unzipbin is answered or refused with a
// library error, and every block the library allocates is a result.
#include "crypto/errors.h"
#include "crypto/library.h"
#include "fuzz/fuzz_common.h"
#include "tests/support/test_host.h"

using testing_support::BytesArg;
using testing_support::MakeHostByteArray;
using testing_support::ResultBytes;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  testing_support::TestHost host;
  const std::vector<std::uint8_t> bytes(data, data + size);
  const std::vector<std::uint8_t> block = MakeHostByteArray(bytes);

  CommandArg zip_args[1] = {BytesArg(block)};
  CommandResult zipped{};
  crypto::zipbin(&zipped, 1, zip_args);
  const std::vector<std::uint8_t> stream = ResultBytes(zipped);
  FUZZ_CHECK(host.live_blocks() == (zipped.value != 0 ? 1u : 0u));
  if (!bytes.empty()) FUZZ_CHECK(!stream.empty());

  const std::vector<std::uint8_t> stream_block = MakeHostByteArray(stream);
  CommandArg unzip_args[1] = {BytesArg(stream_block)};
  CommandResult unzipped{};
  crypto::unzipbin(&unzipped, 1, unzip_args);
  FUZZ_CHECK(ResultBytes(unzipped) == bytes);
  FUZZ_CHECK(host.live_blocks() == (zipped.value != 0 ? 1u : 0u) + (unzipped.value != 0 ? 1u : 0u));

  // The raw input as a compressed stream.
  CommandArg raw_args[1] = {BytesArg(block)};
  CommandResult raw{};
  const std::size_t before = host.live_blocks();
  try {
    crypto::unzipbin(&raw, 1, raw_args);
  } catch (const crypto::Exception&) {
    FUZZ_CHECK(host.live_blocks() == before);
    return 0;
  }
  FUZZ_CHECK(host.live_blocks() == before + (raw.value != 0 ? 1u : 0u));
  return 0;
}
