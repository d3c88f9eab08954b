// A value the window thread and the workers share: every read is a copy taken
// under a short lock, so a worker keeps what it read however the value changes.
#pragma once

#include <mutex>

namespace patchmaker {

template <class T>
class Guarded {
 public:
  T Get() const {
    std::lock_guard<std::mutex> hold(lock_);
    return value_;
  }
  void Set(const T& value) {
    std::lock_guard<std::mutex> hold(lock_);
    value_ = value;
  }
  void Clear() { Set(T()); }

 private:
  mutable std::mutex lock_;
  T value_;
};

}  // namespace patchmaker
