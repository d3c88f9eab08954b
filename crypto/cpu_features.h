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
// AVX2, with the 256-bit register state enabled by the operating system
// (XCR0), without which the instructions fault.
bool CpuHasAvx2();

// Chooses between an algorithm's code for a processor feature and its
// portable code: on where the processor has the feature, and switchable so
// that tests can run both.
template <bool (*Available)()>
class FeatureSwitch {
 public:
  FeatureSwitch() : on_(Available()) {}
  bool On() const { return on_.load(std::memory_order_relaxed); }
  // Turns the feature's code on (where the feature exists) or off; answers
  // whether it exists.
  bool Set(bool enabled) {
    const bool available = Available();
    on_.store(enabled && available);
    return available;
  }

 private:
  std::atomic<bool> on_;
};

using ShaExtensionsSwitch = FeatureSwitch<&CpuHasShaExtensions>;
using Avx2Switch = FeatureSwitch<&CpuHasAvx2>;

}  // namespace crypto
