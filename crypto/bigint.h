// Non-negative integers of any size, and the conversions the RSA and
// number-base commands use.
//
// 32-bit limbs with 64-bit intermediates, so the same code is fast enough on
// the i686 product build and needs no platform library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/base64.h"
#include "crypto/errors.h"

namespace crypto {

// Division by zero, and subtraction below zero.
class BigIntError : public Exception {
  using Exception::Exception;
};
inline constexpr char kDivisionByZero[] = "Division by zero";
inline constexpr char kNegativeResult[] = "Negative result";

class BigInt {
 public:
  using Limb = std::uint32_t;

  BigInt() = default;
  explicit BigInt(std::uint32_t value);
  // Least significant limb first; high zero limbs are dropped.
  static BigInt FromLimbs(std::vector<Limb> limbs);

  // Least significant limb first, no high zero limb; empty for 0.
  const std::vector<Limb>& Limbs() const { return limbs_; }
  bool IsZero() const { return limbs_.empty(); }
  bool IsOdd() const { return !limbs_.empty() && (limbs_[0] & 1) != 0; }
  std::size_t BitLength() const;
  bool TestBit(std::size_t i) const;

  // -1, 0 or 1.
  friend int Compare(const BigInt& a, const BigInt& b);
  friend bool operator==(const BigInt& a, const BigInt& b) { return a.limbs_ == b.limbs_; }
  friend bool operator!=(const BigInt& a, const BigInt& b) { return a.limbs_ != b.limbs_; }
  friend bool operator<(const BigInt& a, const BigInt& b) { return Compare(a, b) < 0; }
  friend bool operator>(const BigInt& a, const BigInt& b) { return Compare(a, b) > 0; }
  friend bool operator<=(const BigInt& a, const BigInt& b) { return Compare(a, b) <= 0; }
  friend bool operator>=(const BigInt& a, const BigInt& b) { return Compare(a, b) >= 0; }

  friend BigInt operator+(const BigInt& a, const BigInt& b);
  // Raises BigIntError "Negative result" when b > a.
  friend BigInt operator-(const BigInt& a, const BigInt& b);
  friend BigInt operator*(const BigInt& a, const BigInt& b);
  // Raise BigIntError "Division by zero" when b is 0.
  friend BigInt operator/(const BigInt& a, const BigInt& b);
  friend BigInt operator%(const BigInt& a, const BigInt& b);
  BigInt operator<<(std::size_t bits) const;
  BigInt operator>>(std::size_t bits) const;

  // q = a div b and r = a mod b (either may be null). Raises BigIntError
  // "Division by zero" when b is 0.
  static void DivMod(const BigInt& a, const BigInt& b, BigInt* q, BigInt* r);

 private:
  void Trim();
  std::vector<Limb> limbs_;
};

// base^exponent mod modulus, the base reduced first. Montgomery arithmetic for
// an odd modulus, plain division for an even one. Raises BigIntError
// "Division by zero" for a zero modulus.
BigInt ModExp(const BigInt& base, const BigInt& exponent, const BigInt& modulus);

// True for a non-empty text of "0"-"9", "A"-"F" and "a"-"f" only.
bool IsHexText(const char* text, std::size_t n);
inline bool IsHexText(const std::string& text) { return IsHexText(text.data(), text.size()); }
// True for a non-empty text of "0"-"9" only.
bool IsDecimalText(const char* text, std::size_t n);
inline bool IsDecimalText(const std::string& text) { return IsDecimalText(text.data(), text.size()); }

// Pairs of hex digits to bytes, the first digit the high nibble; an odd-length
// text is read as if it had one more "0" in front. Letters of either case;
// the text must pass IsHexText (other characters read as 0).
Bytes HexToBytes(const char* text, std::size_t n);
inline Bytes HexToBytes(const std::string& text) { return HexToBytes(text.data(), text.size()); }
// Two upper-case digits per byte, leading zero bytes kept.
std::string BytesToHex(const std::uint8_t* data, std::size_t n);
inline std::string BytesToHex(const Bytes& bytes) { return BytesToHex(bytes.data(), bytes.size()); }

// Big-endian bytes (leading zeros do not matter) to an integer and back. The
// bytes of x are the shortest form: no leading zero byte, and 0 gives {00}.
BigInt BytesToBigInt(const std::uint8_t* data, std::size_t n);
inline BigInt BytesToBigInt(const Bytes& bytes) { return BytesToBigInt(bytes.data(), bytes.size()); }
Bytes BigIntToBytes(const BigInt& x);

// Decimal digits (leading zeros allowed; the text must pass IsDecimalText) to
// an integer, and an integer to its digits without leading zeros ("0" for 0).
BigInt DecimalToBigInt(const char* text, std::size_t n);
inline BigInt DecimalToBigInt(const std::string& text) { return DecimalToBigInt(text.data(), text.size()); }
std::string BigIntToDecimal(const BigInt& x);

}  // namespace crypto
