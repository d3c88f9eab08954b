// Throughput of the library's hot paths beside Crypto++ in the same run.
// Compare the bytes_per_second of each pair (ours / Crypto++).
#include <benchmark/benchmark.h>
#include <cryptopp/modes.h>
#include <cryptopp/rc5.h>
#include <cryptopp/sha.h>

#include <cstring>
#include <vector>

#include "bench/bench_support.h"
#include "crypto/abi.h"
#include "crypto/ciphers/rc5.h"
#include "crypto/digests/sha1.h"
#include "crypto/library.h"

namespace {

using bench::RandomBytes;

const std::vector<std::uint8_t> kKey = RandomBytes(20);

void Rc5Blocks_Ours(benchmark::State& state) {
  crypto::Rc5 rc5;
  rc5.SetKey(kKey.data(), 160, nullptr);
  bench::RunChainedBlocks<8>(state, [&rc5](std::uint8_t* b) { rc5.EncryptBlock(b, b); });
}
BENCHMARK(Rc5Blocks_Ours);

void Rc5Blocks_CryptoPP(benchmark::State& state) {
  CryptoPP::RC5::Encryption rc5(kKey.data(), kKey.size(), 12);
  bench::RunChainedBlocks<8>(state, [&rc5](std::uint8_t* b) { rc5.ProcessBlock(b); });
}
BENCHMARK(Rc5Blocks_CryptoPP);

// 8-bit CFB over 64 KiB with our Rc5: the chain runs on from one pass to the next.
template <bool Decrypt>
void RunRc5Cfb8Ours(benchmark::State& state) {
  const auto data = RandomBytes(64 * 1024);
  std::vector<std::uint8_t> out(data.size());
  crypto::Rc5 rc5;
  rc5.SetKey(kKey.data(), 160, nullptr);
  const auto n = static_cast<std::uint32_t>(data.size());
  for (auto _ : state) {
    if (Decrypt) {
      rc5.Cfb8Decrypt(data.data(), out.data(), n);
    } else {
      rc5.Cfb8Encrypt(data.data(), out.data(), n);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}

// The same with Crypto++'s CFB mode at a feedback size of one byte.
template <class Mode>
void RunRc5Cfb8CryptoPP(benchmark::State& state) {
  const auto data = RandomBytes(64 * 1024);
  std::vector<std::uint8_t> out(data.size());
  std::uint8_t iv[8] = {};
  Mode cfb;
  cfb.SetKey(kKey.data(), kKey.size(),
             CryptoPP::MakeParameters(CryptoPP::Name::Rounds(), 12)(CryptoPP::Name::IV(),
                                                                    CryptoPP::ConstByteArrayParameter(static_cast<const CryptoPP::byte*>(iv), 8))(
                 CryptoPP::Name::FeedbackSize(), 1));
  for (auto _ : state) {
    cfb.ProcessData(out.data(), data.data(), data.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}

void Rc5Cfb8_Ours(benchmark::State& state) { RunRc5Cfb8Ours<false>(state); }
BENCHMARK(Rc5Cfb8_Ours);

void Rc5Cfb8_CryptoPP(benchmark::State& state) {
  RunRc5Cfb8CryptoPP<CryptoPP::CFB_Mode<CryptoPP::RC5>::Encryption>(state);
}
BENCHMARK(Rc5Cfb8_CryptoPP);

void Rc5Cfb8Decrypt_Ours(benchmark::State& state) { RunRc5Cfb8Ours<true>(state); }
BENCHMARK(Rc5Cfb8Decrypt_Ours);

void Rc5Cfb8Decrypt_CryptoPP(benchmark::State& state) {
  RunRc5Cfb8CryptoPP<CryptoPP::CFB_Mode<CryptoPP::RC5>::Decryption>(state);
}
BENCHMARK(Rc5Cfb8Decrypt_CryptoPP);

void Sha1_Ours(benchmark::State& state) {
  const auto data = RandomBytes(static_cast<std::size_t>(state.range(0)));
  std::uint8_t digest[20];
  for (auto _ : state) {
    crypto::Sha1 h;
    h.StartDigest();
    h.AddBytes(data.data(), static_cast<std::uint32_t>(data.size()));
    h.FinishDigest(digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(Sha1_Ours)->Arg(64)->Arg(1 << 20);

void Sha1_CryptoPP(benchmark::State& state) {
  const auto data = RandomBytes(static_cast<std::size_t>(state.range(0)));
  std::uint8_t digest[20];
  for (auto _ : state) {
    CryptoPP::SHA1 h;
    h.CalculateDigest(digest, data.data(), data.size());
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(Sha1_CryptoPP)->Arg(64)->Arg(1 << 20);

std::intptr_t CRYPTO_CALL Allocate(std::uint32_t, std::intptr_t n, std::intptr_t) {
  return reinterpret_cast<std::intptr_t>(std::malloc(static_cast<std::size_t>(n)));
}

void Encodebin1MiB_Ours(benchmark::State& state) {
  LibNotify(1, reinterpret_cast<std::intptr_t>(&Allocate), 0);
  const auto data = RandomBytes(1 << 20);
  std::vector<std::uint8_t> block(8 + data.size());
  const std::int32_t header[2] = {1, static_cast<std::int32_t>(data.size())};
  std::memcpy(block.data(), header, 8);
  std::memcpy(block.data() + 8, data.data(), data.size());
  const char key[] = "a patch key text";
  CommandArg args[3] = {{reinterpret_cast<std::uintptr_t>(block.data()), kTypeBytes},
                        {reinterpret_cast<std::uintptr_t>(key), kTypeText},
                        {14, kTypeInteger}};
  for (auto _ : state) {
    CommandResult r{};
    crypto::encodebin(&r, 3, args);
    std::free(reinterpret_cast<void*>(static_cast<std::uintptr_t>(r.value)));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}
BENCHMARK(Encodebin1MiB_Ours);

}  // namespace

BENCHMARK_MAIN();
