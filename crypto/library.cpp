#include "crypto/library.h"

extern "C" std::intptr_t CRYPTO_CALL LibNotify(std::uint32_t message, std::intptr_t p1,
                                               std::intptr_t /*p2*/) {
  if (message != 1) return -1;
  crypto::SetHostCallback(reinterpret_cast<HostCallback>(p1));
  return 0;
}
