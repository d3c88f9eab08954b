// Commands 0 and 1: the address of a variable's data and of the variable.
//
// The host passes the variable by reference: the value is the address of the
// variable's storage, the type code says what the storage holds.
#include <cstring>

#include "crypto/library.h"

namespace crypto {
namespace {

constexpr std::uint32_t kTopBit = 0x80000000u;
constexpr std::uint32_t kReferenceBit = 0x40000000u;

// Types whose value lies in the variable's storage itself.
bool HoldsValueInPlace(std::uint32_t type) {
  switch (type) {
    case 0x80000002u:  // logical
    case 0x80000003u:  // date-time
    case 0x80000006u:  // subroutine pointer
    case 0x80000101u:  // byte
    case 0x80000201u:  // short
    case 0x80000301u:  // integer
    case 0x80000401u:  // 64-bit integer
    case 0x80000501u:  // float
    case 0x80000601u:  // double
      return true;
    default:
      return false;
  }
}

const void* PointerHeldAt(const void* storage) {
  const void* p;
  std::memcpy(&p, storage, sizeof p);
  return p;
}

}  // namespace

void CRYPTO_CALL GetdataAdd(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const void* storage = ArgPointer(args[0]);
  const std::uint32_t type = args[0].type;
  if (storage == nullptr) return;
  if ((type & kTopBit) == 0) {
    if ((type & kReferenceBit) == 0) return;
    std::uint32_t value;
    std::memcpy(&value, storage, 4);
    SetResultInteger(result, static_cast<std::int32_t>(value));
    return;
  }
  if (type == kTypeText) {
    SetResultPointer(result, PointerHeldAt(storage));
    return;
  }
  if (type == kTypeBytes) {
    const auto* block = static_cast<const std::uint8_t*>(PointerHeldAt(storage));
    if (block != nullptr) SetResultPointer(result, block + kByteArrayHeader);
    return;
  }
  if (HoldsValueInPlace(type)) {
    SetResultPointer(result, storage);
    return;
  }
  // An array variable: its storage holds a pointer to an array block.
  const void* block = PointerHeldAt(storage);
  if (block == nullptr) return;
  std::int32_t count;
  const std::uint8_t* first = GetArrayData(block, &count);
  if (count != 0) SetResultPointer(result, first);
}

void CRYPTO_CALL Getadd(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  const std::uint32_t type = args[0].type;
  if ((type & kTopBit) != 0 || (type & kReferenceBit) != 0) SetResultPointer(result, ArgPointer(args[0]));
}

}  // namespace crypto
