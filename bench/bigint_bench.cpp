// The big integers beside GMP in the same run: a 2048-bit modular
// exponentiation (odd modulus, full-size exponent, as in an RSA signature; and
// an even modulus through the general path), and 10,000-digit decimal
// conversion both ways. Compare the times of each pair (ours / GMP).
#include <benchmark/benchmark.h>
#include <gmp.h>

#include <cstdlib>
#include <random>
#include <string>

#include "bench/bench_support.h"
#include "crypto/bigint.h"

namespace {

// 2048-bit operands: modulus with its top bit set, odd or even.
crypto::BigInt Operand(std::uint32_t seed, bool odd) {
  crypto::Bytes b = bench::RandomBytes(256, seed);
  b[0] |= 0x80;
  if (odd) {
    b[255] |= 1;
  } else {
    b[255] &= 0xfe;
  }
  return crypto::BytesToBigInt(b);
}

void ToMpz(mpz_t out, const crypto::BigInt& x) {
  const crypto::Bytes b = crypto::BigIntToBytes(x);
  mpz_import(out, b.size(), 1, 1, 1, 0, b.data());
}

std::string Digits(std::size_t n) {
  std::mt19937 rng(7);
  std::string s(1, static_cast<char>('1' + rng() % 9));
  while (s.size() < n) s += static_cast<char>('0' + rng() % 10);
  return s;
}

void ModExp2048(benchmark::State& state, bool odd) {
  const crypto::BigInt m = Operand(1, odd), base = Operand(2, true) % m, e = Operand(3, true);
  for (auto _ : state) benchmark::DoNotOptimize(crypto::ModExp(base, e, m));
}
void ModExp2048_Ours(benchmark::State& state) { ModExp2048(state, true); }
void ModExp2048Even_Ours(benchmark::State& state) { ModExp2048(state, false); }
BENCHMARK(ModExp2048_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(ModExp2048Even_Ours)->Unit(benchmark::kMillisecond);

void ModExp2048Gmp(benchmark::State& state, bool odd) {
  mpz_t m, base, e, r;
  mpz_inits(m, base, e, r, nullptr);
  ToMpz(m, Operand(1, odd));
  ToMpz(base, Operand(2, true) % Operand(1, odd));
  ToMpz(e, Operand(3, true));
  for (auto _ : state) {
    mpz_powm(r, base, e, m);
    benchmark::DoNotOptimize(r);
  }
  mpz_clears(m, base, e, r, nullptr);
}
void ModExp2048_Gmp(benchmark::State& state) { ModExp2048Gmp(state, true); }
void ModExp2048Even_Gmp(benchmark::State& state) { ModExp2048Gmp(state, false); }
BENCHMARK(ModExp2048_Gmp)->Unit(benchmark::kMillisecond);
BENCHMARK(ModExp2048Even_Gmp)->Unit(benchmark::kMillisecond);

void DecimalToBigInt_Ours(benchmark::State& state) {
  const std::string text = Digits(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(crypto::DecimalToBigInt(text));
}
void BigIntToDecimal_Ours(benchmark::State& state) {
  const crypto::BigInt x = crypto::DecimalToBigInt(Digits(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(crypto::BigIntToDecimal(x));
}
void DecimalToBigInt_Gmp(benchmark::State& state) {
  const std::string text = Digits(static_cast<std::size_t>(state.range(0)));
  mpz_t x;
  mpz_init(x);
  for (auto _ : state) {
    mpz_set_str(x, text.c_str(), 10);
    benchmark::DoNotOptimize(x);
  }
  mpz_clear(x);
}
void BigIntToDecimal_Gmp(benchmark::State& state) {
  mpz_t x;
  mpz_init_set_str(x, Digits(static_cast<std::size_t>(state.range(0))).c_str(), 10);
  for (auto _ : state) {
    char* s = mpz_get_str(nullptr, 10, x);
    benchmark::DoNotOptimize(s);
    std::free(s);
  }
  mpz_clear(x);
}
BENCHMARK(DecimalToBigInt_Ours)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(DecimalToBigInt_Gmp)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BigIntToDecimal_Ours)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BigIntToDecimal_Gmp)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
