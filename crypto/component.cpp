#include "crypto/component.h"

#include <algorithm>

namespace crypto {

Component::Component(Component* owner) : owner_(owner) {
  if (owner_ != nullptr) owner_->owned_.push_back(this);
}

Component::~Component() {
  // Owned objects go first, newest first; each unlinks itself as it goes.
  while (!owned_.empty()) delete owned_.back();
  if (owner_ != nullptr) {
    auto& list = owner_->owned_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

}  // namespace crypto
