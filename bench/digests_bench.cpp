// Throughput of the digests 21 to 30 over 1 MiB beside Crypto++, Botan and
// OpenSSL in the same run. Compare each "ours" with the fastest oracle of the
// same number (HAVAL with this library's padding has none).
#define CRYPTOPP_ENABLE_NAMESPACE_WEAK 1
#include <benchmark/benchmark.h>
#include <botan/hash.h>
#include <cryptopp/md4.h>
#include <cryptopp/md5.h>
#include <cryptopp/ripemd.h>
#include <cryptopp/sha.h>
#include <cryptopp/tiger.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "crypto/digests/table.h"
#include "crypto/hash.h"

namespace {

constexpr std::size_t kSize = 1 << 20;

const std::vector<std::uint8_t>& Data() {
  static const std::vector<std::uint8_t> data = bench::RandomBytes(kSize);
  return data;
}

using Run = std::function<void(const std::uint8_t*, std::size_t, std::uint8_t*)>;

void Measure(benchmark::State& state, const Run& run) {
  const auto& data = Data();
  std::uint8_t digest[64];
  for (auto _ : state) {
    run(data.data(), data.size(), digest);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(data.size()));
}

Run Ours(std::int32_t number) {
  return [number](const std::uint8_t* p, std::size_t n, std::uint8_t* out) {
    std::unique_ptr<crypto::Hash> h(crypto::FindDigest(number)->create(nullptr));
    h->StartDigest();
    h->AddBytes(p, static_cast<std::uint32_t>(n));
    h->FinishDigest(out);
  };
}

template <class H>
Run CryptoPp() {
  return [](const std::uint8_t* p, std::size_t n, std::uint8_t* out) { H().CalculateDigest(out, p, n); };
}

Run BotanHash(const char* name) {
  auto h = std::shared_ptr<Botan::HashFunction>(Botan::HashFunction::create_or_throw(name));
  return [h](const std::uint8_t* p, std::size_t n, std::uint8_t* out) {
    h->update(p, n);
    h->final(out);
  };
}

Run OpenSsl(const EVP_MD* md) {
  return [md](const std::uint8_t* p, std::size_t n, std::uint8_t* out) {
    unsigned int k = 0;
    EVP_Digest(p, n, out, &k, md, nullptr);
  };
}

void Register(const std::string& name, Run run) {
  benchmark::RegisterBenchmark(name.c_str(), [run](benchmark::State& s) { Measure(s, run); });
}

}  // namespace

int main(int argc, char** argv) {
  const bool legacy =
      OSSL_PROVIDER_load(nullptr, "legacy") != nullptr && OSSL_PROVIDER_load(nullptr, "default") != nullptr;
  struct Row {
    std::int32_t number;
    const char* name;
    std::vector<std::pair<const char*, Run>> oracles;
  };
  std::vector<Row> rows = {
      {21, "Haval", {}},
      {22, "MD4", {{"CryptoPP", CryptoPp<CryptoPP::Weak::MD4>()}, {"Botan", BotanHash("MD4")}}},
      {23,
       "MD5",
       {{"CryptoPP", CryptoPp<CryptoPP::Weak::MD5>()}, {"Botan", BotanHash("MD5")}, {"OpenSSL", OpenSsl(EVP_md5())}}},
      {24, "RipeMD128", {{"CryptoPP", CryptoPp<CryptoPP::RIPEMD128>()}}},
      {25,
       "RipeMD160",
       {{"CryptoPP", CryptoPp<CryptoPP::RIPEMD160>()},
        {"Botan", BotanHash("RIPEMD-160")},
        {"OpenSSL", OpenSsl(EVP_ripemd160())}}},
      {26,
       "SHA1",
       {{"CryptoPP", CryptoPp<CryptoPP::SHA1>()}, {"Botan", BotanHash("SHA-160")}, {"OpenSSL", OpenSsl(EVP_sha1())}}},
      {27,
       "SHA256",
       {{"CryptoPP", CryptoPp<CryptoPP::SHA256>()},
        {"Botan", BotanHash("SHA-256")},
        {"OpenSSL", OpenSsl(EVP_sha256())}}},
      {28,
       "SHA384",
       {{"CryptoPP", CryptoPp<CryptoPP::SHA384>()},
        {"Botan", BotanHash("SHA-384")},
        {"OpenSSL", OpenSsl(EVP_sha384())}}},
      {29,
       "SHA512",
       {{"CryptoPP", CryptoPp<CryptoPP::SHA512>()},
        {"Botan", BotanHash("SHA-512")},
        {"OpenSSL", OpenSsl(EVP_sha512())}}},
      {30, "Tiger", {{"CryptoPP", CryptoPp<CryptoPP::Tiger>()}, {"Botan", BotanHash("Tiger(24,3)")}}},
  };
  if (legacy) rows[1].oracles.push_back({"OpenSSL", OpenSsl(EVP_md4())});
  for (const auto& row : rows) {
    Register(std::string(row.name) + "/ours", Ours(row.number));
    for (const auto& [oracle, run] : row.oracles) Register(std::string(row.name) + "/" + oracle, run);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
