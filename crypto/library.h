// The library's entry points for a host.
#pragma once

#include <cstdint>

#include "crypto/abi.h"

extern "C" {

// Message 1: keeps p1 as the host callback and answers 0. Any other message
// answers -1 and changes nothing.
std::intptr_t CRYPTO_CALL LibNotify(std::uint32_t message, std::intptr_t p1, std::intptr_t p2);

}  // extern "C"
