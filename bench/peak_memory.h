// The process's peak resident size, for the benchmarks that measure memory.
// Each run's peak is its own: the high-water mark is reset before it (Linux
// 4.0 and later).
#pragma once

#include <malloc.h>

#include <fstream>
#include <string>

namespace bench {

// Resets the resident high-water mark to the current size, after giving the
// allocator's free memory back, so that what an earlier run freed does not
// count as this run's.
inline void ResetPeakRss() {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
}

// A size field of /proc/self/status ("VmRSS", "VmHWM"), in MiB.
inline double StatusMib(const char* field) {
  std::ifstream status("/proc/self/status");
  const std::string key = std::string(field) + ":";
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
  return 0;
}

inline double PeakRssMib() { return StatusMib("VmHWM"); }

}  // namespace bench
