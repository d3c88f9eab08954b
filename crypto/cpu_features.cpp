#include "crypto/cpu_features.h"

#ifdef CRYPTO_X86
#include <cpuid.h>
#endif

namespace crypto {

#ifdef CRYPTO_X86

bool CpuHasShaExtensions() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool ssse3 = (c & (1u << 9)) != 0, sse41 = (c & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return ssse3 && sse41 && (b & (1u << 29)) != 0;
}

bool CpuHasBmi2() {
  unsigned a, b, c, d;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 8)) != 0;
}

bool CpuHasAvx2() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool osxsave = (c & (1u << 27)) != 0, avx = (c & (1u << 28)) != 0;
  if (!osxsave || !avx) return false;
  // XCR0 bits 1 and 2: the SSE and the upper halves of the AVX registers.
  unsigned xcr0_low, xcr0_high;
  __asm__ volatile("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  if ((xcr0_low & 6u) != 6u) return false;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & (1u << 5)) != 0;
}

#else

bool CpuHasShaExtensions() { return false; }
bool CpuHasBmi2() { return false; }
bool CpuHasAvx2() { return false; }

#endif

}  // namespace crypto
