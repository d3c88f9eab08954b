// The component base of the cipher and hash objects: an object created with an
// owner is destroyed together with its owner, unless it was destroyed before.
#pragma once

#include <vector>

namespace crypto {

class Component {
 public:
  explicit Component(Component* owner = nullptr);
  virtual ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  Component* owner() const { return owner_; }

 private:
  Component* owner_;
  std::vector<Component*> owned_;
};

}  // namespace crypto
