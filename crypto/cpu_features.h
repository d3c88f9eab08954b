// What the processor offers beyond the baseline the builds assume, asked
// through CPUID; on other architectures every answer is false.
#pragma once

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#define CRYPTO_X86 1
#endif

namespace crypto {

// The SHA extensions together with SSSE3 and SSE4.1, which the SHA code's
// shuffles and blends need.
bool CpuHasShaExtensions();
// BMI2, whose rotations leave their source intact.
bool CpuHasBmi2();

// Chooses between a digest's SHA-extension code and its portable code: on
// where the processor has the extensions, and switchable so that tests can
// run both.
class ShaExtensionsSwitch {
 public:
  ShaExtensionsSwitch() : on_(CpuHasShaExtensions()) {}
  bool On() const { return on_.load(std::memory_order_relaxed); }
  // Turns the extensions on (where they exist) or off; answers whether they exist.
  bool Set(bool enabled) {
    const bool available = CpuHasShaExtensions();
    on_.store(enabled && available);
    return available;
  }

 private:
  std::atomic<bool> on_;
};

}  // namespace crypto
