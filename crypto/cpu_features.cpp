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

#else

bool CpuHasShaExtensions() { return false; }
bool CpuHasBmi2() { return false; }

#endif

}  // namespace crypto
