#include "crypto/bigint.h"

#include <algorithm>
#include <cstring>

namespace crypto {
namespace {

using Limb = BigInt::Limb;
using Wide = std::uint64_t;
constexpr int kLimbBits = 32;
constexpr Limb kChunk = 1000000000;  // 10^9, the largest power of ten in a limb
constexpr int kChunkDigits = 9;

int CompareN(const Limb* a, const Limb* b, std::size_t n) {
  for (std::size_t i = n; i-- > 0;) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

// r = a - b over n limbs; answers the borrow out.
Limb SubN(Limb* r, const Limb* a, const Limb* b, std::size_t n) {
  Limb borrow = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const Wide d = static_cast<Wide>(a[i]) - b[i] - borrow;
    r[i] = static_cast<Limb>(d);
    borrow = static_cast<Limb>(d >> 63);
  }
  return borrow;
}

int CountLeadingZeros(Limb x) {
  int n = 0;
  for (Limb bit = Limb{1} << 31; (x & bit) == 0; bit >>= 1) ++n;
  return n;
}

// Knuth's algorithm D (TAOCP 4.3.1) for a divisor of at least two limbs.
// u has m + n limbs, v has n limbs with a non-zero top limb.
void LongDivide(const Limb* u, std::size_t un, const Limb* v, std::size_t n, std::vector<Limb>* q,
                std::vector<Limb>* r) {
  const int s = CountLeadingZeros(v[n - 1]);
  std::vector<Limb> vn(n), w(un + 1);
  for (std::size_t i = n - 1; i > 0; --i) {
    vn[i] = s == 0 ? v[i] : (v[i] << s) | (v[i - 1] >> (kLimbBits - s));
  }
  vn[0] = v[0] << s;
  w[un] = s == 0 ? 0 : u[un - 1] >> (kLimbBits - s);
  for (std::size_t i = un - 1; i > 0; --i) {
    w[i] = s == 0 ? u[i] : (u[i] << s) | (u[i - 1] >> (kLimbBits - s));
  }
  w[0] = u[0] << s;

  const std::size_t m = un - n;
  if (q != nullptr) q->assign(m + 1, 0);
  const Wide top = vn[n - 1], next = vn[n - 2];
  for (std::size_t j = m + 1; j-- > 0;) {
    const Wide num = static_cast<Wide>(w[j + n]) << kLimbBits | w[j + n - 1];
    Wide qhat = num / top, rhat = num % top;
    while (qhat >> kLimbBits != 0 || qhat * next > (rhat << kLimbBits | w[j + n - 2])) {
      --qhat;
      rhat += top;
      if (rhat >> kLimbBits != 0) break;
    }
    // w[j..j+n] -= qhat * vn
    Wide carry = 0;
    Limb borrow = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const Wide p = qhat * vn[i] + carry;
      carry = p >> kLimbBits;
      const Wide d = static_cast<Wide>(w[i + j]) - static_cast<Limb>(p) - borrow;
      w[i + j] = static_cast<Limb>(d);
      borrow = static_cast<Limb>(d >> 63);
    }
    const Wide d = static_cast<Wide>(w[j + n]) - carry - borrow;
    w[j + n] = static_cast<Limb>(d);
    if (d >> 63 != 0) {  // qhat was one too large: add vn back
      --qhat;
      Wide c = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const Wide t = static_cast<Wide>(w[i + j]) + vn[i] + c;
        w[i + j] = static_cast<Limb>(t);
        c = t >> kLimbBits;
      }
      w[j + n] += static_cast<Limb>(c);
    }
    if (q != nullptr) (*q)[j] = static_cast<Limb>(qhat);
  }
  if (r != nullptr) {
    r->assign(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
      (*r)[i] = s == 0 ? w[i] : (w[i] >> s) | (w[i + 1] << (kLimbBits - s));
    }
  }
}

// Dividing by one limb; answers the remainder.
Limb ShortDivide(std::vector<Limb>& u, Limb v) {
  Wide rem = 0;
  for (std::size_t i = u.size(); i-- > 0;) {
    const Wide cur = rem << kLimbBits | u[i];
    u[i] = static_cast<Limb>(cur / v);
    rem = cur % v;
  }
  return static_cast<Limb>(rem);
}

// u = u * mul + add.
void MultiplyAdd(std::vector<Limb>& u, Limb mul, Limb add) {
  Wide carry = add;
  for (Limb& limb : u) {
    const Wide t = static_cast<Wide>(limb) * mul + carry;
    limb = static_cast<Limb>(t);
    carry = t >> kLimbBits;
  }
  if (carry != 0) u.push_back(static_cast<Limb>(carry));
}

// Left-to-right sliding-window exponentiation over any multiplication
// mul(out, a, b) (out may be a or b); e is not zero.
template <class T, class Mul>
T WindowPower(const T& g, const BigInt& e, Mul mul) {
  const std::size_t bits = e.BitLength();
  const int k = bits > 671 ? 6 : bits > 239 ? 5 : bits > 79 ? 4 : bits > 23 ? 3 : 1;
  // table[i] = g^(2i+1)
  std::vector<T> table(std::size_t{1} << (k - 1), g);
  if (k > 1) {
    T g2 = g;
    mul(g2, g, g);
    for (std::size_t i = 1; i < table.size(); ++i) mul(table[i], table[i - 1], g2);
  }
  T r = g;
  bool started = false;
  std::size_t i = bits;  // bits above i are done
  while (i > 0) {
    if (!e.TestBit(i - 1)) {
      mul(r, r, r);
      --i;
      continue;
    }
    // The longest window of at most k bits from bit i-1 down that ends in a 1.
    std::size_t low = i > static_cast<std::size_t>(k) ? i - k : 0;
    while (!e.TestBit(low)) ++low;
    std::size_t value = 0;
    for (std::size_t b = i; b-- > low;) value = value << 1 | (e.TestBit(b) ? 1 : 0);
    if (started) {
      for (std::size_t s = low; s < i; ++s) mul(r, r, r);
      mul(r, r, table[value >> 1]);
    } else {
      r = table[value >> 1];
      started = true;
    }
    i = low;
  }
  return r;
}

// Montgomery multiplication modulo an odd m of n limbs (CIOS: the product and
// the reduction interleaved, one limb of b at a time).
class Montgomery {
 public:
  explicit Montgomery(const BigInt& m) : m_(m.Limbs()), n_(m_.size()), t_(2 * n_ + 2) {
    // Newton's iteration: each step doubles the correct low bits of 1/m0.
    Limb inv = m_[0];  // right to 3 bits for any odd number
    for (int i = 0; i < 4; ++i) inv *= 2 - m_[0] * inv;
    minv_ = 0 - inv;
  }
  std::size_t size() const { return n_; }

  // r = a * b / R mod m, R = 2^(32n); a, b < m, each n limbs. r may be a or b.
  void Multiply(Limb* r, const Limb* a, const Limb* b) {
    const std::size_t n = n_;
    const Limb* m = m_.data();
    Limb* t = t_.data();
    std::fill(t, t + n + 2, 0);
    for (std::size_t i = 0; i < n; ++i) {
      Wide c = 0;
      const Wide bi = b[i];
      for (std::size_t j = 0; j < n; ++j) {
        const Wide s = a[j] * bi + t[j] + c;
        t[j] = static_cast<Limb>(s);
        c = s >> kLimbBits;
      }
      Wide s = t[n] + c;
      t[n] = static_cast<Limb>(s);
      t[n + 1] = static_cast<Limb>(s >> kLimbBits);

      const Wide q = static_cast<Limb>(t[0] * minv_);
      c = (q * m[0] + t[0]) >> kLimbBits;
      for (std::size_t j = 1; j < n; ++j) {
        s = q * m[j] + t[j] + c;
        t[j - 1] = static_cast<Limb>(s);
        c = s >> kLimbBits;
      }
      s = t[n] + c;
      t[n - 1] = static_cast<Limb>(s);
      t[n] = t[n + 1] + static_cast<Limb>(s >> kLimbBits);
    }
    // t < 2m here.
    if (t[n] != 0 || CompareN(t, m, n) >= 0) {
      SubN(r, t, m, n);
    } else {
      std::copy(t, t + n, r);
    }
  }

  // r = a * a / R mod m: the cross products once and doubled, then the
  // reduction, a quarter fewer limb products than Multiply.
  void Square(Limb* r, const Limb* a) {
    const std::size_t n = n_;
    const Limb* m = m_.data();
    Limb* t = t_.data();
    std::fill(t, t + 2 * n, 0);
    for (std::size_t i = 0; i + 1 < n; ++i) {
      Wide c = 0;
      const Wide ai = a[i];
      for (std::size_t j = i + 1; j < n; ++j) {
        const Wide s = ai * a[j] + t[i + j] + c;
        t[i + j] = static_cast<Limb>(s);
        c = s >> kLimbBits;
      }
      t[i + n] = static_cast<Limb>(c);
    }
    Limb top = 0;
    for (std::size_t i = 0; i < 2 * n; ++i) {
      const Limb next = t[i] >> (kLimbBits - 1);
      t[i] = t[i] << 1 | top;
      top = next;
    }
    Wide c = 0;
    for (std::size_t i = 0; i < n; ++i) {
      Wide s = static_cast<Wide>(a[i]) * a[i] + t[2 * i] + c;
      t[2 * i] = static_cast<Limb>(s);
      s = (s >> kLimbBits) + t[2 * i + 1];
      t[2 * i + 1] = static_cast<Limb>(s);
      c = s >> kLimbBits;
    }
    // Reduction, one limb at a time; `extra` is the carry into t[i + n + 1].
    Limb extra = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const Wide q = static_cast<Limb>(t[i] * minv_);
      c = 0;
      for (std::size_t j = 0; j < n; ++j) {
        const Wide s = q * m[j] + t[i + j] + c;
        t[i + j] = static_cast<Limb>(s);
        c = s >> kLimbBits;
      }
      const Wide s = static_cast<Wide>(t[i + n]) + c + extra;
      t[i + n] = static_cast<Limb>(s);
      extra = static_cast<Limb>(s >> kLimbBits);
    }
    // t[n..2n) plus extra * R is below 2m.
    if (extra != 0 || CompareN(t + n, m, n) >= 0) {
      SubN(r, t + n, m, n);
    } else {
      std::copy(t + n, t + 2 * n, r);
    }
  }

  // x mod m in n limbs.
  std::vector<Limb> Padded(const BigInt& x) const {
    std::vector<Limb> v = x.Limbs();
    v.resize(n_, 0);
    return v;
  }

 private:
  std::vector<Limb> m_;
  std::size_t n_;
  Limb minv_;
  std::vector<Limb> t_;
};

BigInt MontgomeryPower(const BigInt& base, const BigInt& e, const BigInt& m) {
  Montgomery mont(m);
  const std::size_t n = mont.size();
  const BigInt r2 = (BigInt(1) << (2 * kLimbBits * n)) % m;
  std::vector<Limb> g = mont.Padded(base);
  mont.Multiply(g.data(), g.data(), mont.Padded(r2).data());  // g * R mod m
  std::vector<Limb> x = WindowPower(g, e, [&mont](std::vector<Limb>& out, const std::vector<Limb>& a,
                                                   const std::vector<Limb>& b) {
    if (&a == &b) {
      mont.Square(out.data(), a.data());
    } else {
      mont.Multiply(out.data(), a.data(), b.data());
    }
  });
  std::vector<Limb> one(n, 0);
  one[0] = 1;
  mont.Multiply(x.data(), x.data(), one.data());  // out of the Montgomery form
  return BigInt::FromLimbs(std::move(x));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

BigInt::BigInt(std::uint32_t value) {
  if (value != 0) limbs_.push_back(value);
}

BigInt BigInt::FromLimbs(std::vector<Limb> limbs) {
  BigInt x;
  x.limbs_ = std::move(limbs);
  x.Trim();
  return x;
}

void BigInt::Trim() {
  while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
}

std::size_t BigInt::BitLength() const {
  if (limbs_.empty()) return 0;
  return limbs_.size() * kLimbBits - CountLeadingZeros(limbs_.back());
}

bool BigInt::TestBit(std::size_t i) const {
  const std::size_t limb = i / kLimbBits;
  return limb < limbs_.size() && (limbs_[limb] >> (i % kLimbBits) & 1) != 0;
}

int Compare(const BigInt& a, const BigInt& b) {
  if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
  return CompareN(a.limbs_.data(), b.limbs_.data(), a.limbs_.size());
}

BigInt operator+(const BigInt& a, const BigInt& b) {
  const BigInt& big = a.limbs_.size() >= b.limbs_.size() ? a : b;
  const BigInt& small = &big == &a ? b : a;
  BigInt r;
  r.limbs_.resize(big.limbs_.size() + 1);
  Wide carry = 0;
  for (std::size_t i = 0; i < big.limbs_.size(); ++i) {
    const Wide t = static_cast<Wide>(big.limbs_[i]) + (i < small.limbs_.size() ? small.limbs_[i] : 0) + carry;
    r.limbs_[i] = static_cast<Limb>(t);
    carry = t >> kLimbBits;
  }
  r.limbs_.back() = static_cast<Limb>(carry);
  r.Trim();
  return r;
}

BigInt operator-(const BigInt& a, const BigInt& b) {
  if (a < b) throw BigIntError(kNegativeResult);
  BigInt r;
  r.limbs_ = a.limbs_;
  std::vector<Limb> padded = b.limbs_;
  padded.resize(a.limbs_.size(), 0);
  SubN(r.limbs_.data(), a.limbs_.data(), padded.data(), a.limbs_.size());
  r.Trim();
  return r;
}

BigInt operator*(const BigInt& a, const BigInt& b) {
  if (a.IsZero() || b.IsZero()) return BigInt();
  const std::size_t an = a.limbs_.size(), bn = b.limbs_.size();
  BigInt r;
  r.limbs_.assign(an + bn, 0);
  Limb* out = r.limbs_.data();
  for (std::size_t i = 0; i < an; ++i) {
    const Wide ai = a.limbs_[i];
    if (ai == 0) continue;
    Wide carry = 0;
    for (std::size_t j = 0; j < bn; ++j) {
      const Wide t = ai * b.limbs_[j] + out[i + j] + carry;
      out[i + j] = static_cast<Limb>(t);
      carry = t >> kLimbBits;
    }
    out[i + bn] = static_cast<Limb>(carry);
  }
  r.Trim();
  return r;
}

void BigInt::DivMod(const BigInt& a, const BigInt& b, BigInt* q, BigInt* r) {
  if (b.IsZero()) throw BigIntError(kDivisionByZero);
  if (a < b) {
    if (r != nullptr) *r = a;
    if (q != nullptr) *q = BigInt();
    return;
  }
  BigInt quotient, remainder;
  if (b.limbs_.size() == 1) {
    quotient.limbs_ = a.limbs_;
    remainder = BigInt(ShortDivide(quotient.limbs_, b.limbs_[0]));
  } else {
    LongDivide(a.limbs_.data(), a.limbs_.size(), b.limbs_.data(), b.limbs_.size(), &quotient.limbs_,
               &remainder.limbs_);
  }
  quotient.Trim();
  remainder.Trim();
  if (q != nullptr) *q = std::move(quotient);
  if (r != nullptr) *r = std::move(remainder);
}

BigInt operator/(const BigInt& a, const BigInt& b) {
  BigInt q;
  BigInt::DivMod(a, b, &q, nullptr);
  return q;
}

BigInt operator%(const BigInt& a, const BigInt& b) {
  BigInt r;
  BigInt::DivMod(a, b, nullptr, &r);
  return r;
}

BigInt BigInt::operator<<(std::size_t bits) const {
  if (IsZero()) return BigInt();
  const std::size_t limbs = bits / kLimbBits;
  const int s = static_cast<int>(bits % kLimbBits);
  BigInt r;
  r.limbs_.assign(limbs_.size() + limbs + 1, 0);
  for (std::size_t i = 0; i < limbs_.size(); ++i) {
    r.limbs_[i + limbs] |= limbs_[i] << s;
    if (s != 0) r.limbs_[i + limbs + 1] = limbs_[i] >> (kLimbBits - s);
  }
  r.Trim();
  return r;
}

BigInt BigInt::operator>>(std::size_t bits) const {
  const std::size_t limbs = bits / kLimbBits;
  if (limbs >= limbs_.size()) return BigInt();
  const int s = static_cast<int>(bits % kLimbBits);
  BigInt r;
  r.limbs_.assign(limbs_.size() - limbs, 0);
  for (std::size_t i = 0; i < r.limbs_.size(); ++i) {
    r.limbs_[i] = limbs_[i + limbs] >> s;
    if (s != 0 && i + limbs + 1 < limbs_.size()) r.limbs_[i] |= limbs_[i + limbs + 1] << (kLimbBits - s);
  }
  r.Trim();
  return r;
}

BigInt ModExp(const BigInt& base, const BigInt& exponent, const BigInt& modulus) {
  if (modulus.IsZero()) throw BigIntError(kDivisionByZero);
  if (modulus == BigInt(1)) return BigInt();
  const BigInt g = base < modulus ? base : base % modulus;
  if (exponent.IsZero()) return BigInt(1);
  if (g.IsZero()) return BigInt();
  if (modulus.IsOdd()) return MontgomeryPower(g, exponent, modulus);
  return WindowPower(g, exponent, [&modulus](BigInt& out, const BigInt& a, const BigInt& b) {
    out = a * b % modulus;
  });
}

bool IsHexText(const char* text, std::size_t n) {
  if (text == nullptr || n == 0) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (HexDigit(text[i]) < 0) return false;
  }
  return true;
}

bool IsDecimalText(const char* text, std::size_t n) {
  if (text == nullptr || n == 0) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

Bytes HexToBytes(const char* text, std::size_t n) {
  Bytes out((n + 1) / 2);
  const auto nibble = [text](std::size_t i) { return static_cast<unsigned>(std::max(HexDigit(text[i]), 0)); };
  std::size_t i = 0, o = 0;
  if (n % 2 != 0) out[o++] = static_cast<std::uint8_t>(nibble(i++));
  for (; i < n; i += 2) out[o++] = static_cast<std::uint8_t>(nibble(i) << 4 | nibble(i + 1));
  return out;
}

std::string BytesToHex(const std::uint8_t* data, std::size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s(2 * n, '0');
  for (std::size_t i = 0; i < n; ++i) {
    s[2 * i] = kDigits[data[i] >> 4];
    s[2 * i + 1] = kDigits[data[i] & 15];
  }
  return s;
}

BigInt BytesToBigInt(const std::uint8_t* data, std::size_t n) {
  std::vector<Limb> limbs((n + 3) / 4, 0);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t k = n - 1 - i;  // byte weight, from the least significant
    limbs[k / 4] |= static_cast<Limb>(data[i]) << (8 * (k % 4));
  }
  return BigInt::FromLimbs(std::move(limbs));
}

Bytes BigIntToBytes(const BigInt& x) {
  if (x.IsZero()) return Bytes{0};
  const std::vector<Limb>& limbs = x.Limbs();
  const std::size_t n = (x.BitLength() + 7) / 8;
  Bytes out(n);
  for (std::size_t k = 0; k < n; ++k) {
    out[n - 1 - k] = static_cast<std::uint8_t>(limbs[k / 4] >> (8 * (k % 4)));
  }
  return out;
}

BigInt DecimalToBigInt(const char* text, std::size_t n) {
  while (n > 0 && *text == '0') {
    ++text;
    --n;
  }
  std::vector<Limb> limbs;
  limbs.reserve(n / kChunkDigits + 1);
  // Nine digits at a time, the first group taking what does not divide.
  std::size_t group = n % kChunkDigits == 0 ? kChunkDigits : n % kChunkDigits;
  for (std::size_t pos = 0; pos < n; pos += group, group = kChunkDigits) {
    Limb value = 0, scale = 1;
    for (std::size_t i = 0; i < group; ++i) {
      value = value * 10 + static_cast<Limb>(text[pos + i] - '0');
      scale *= 10;
    }
    MultiplyAdd(limbs, scale, value);
  }
  return BigInt::FromLimbs(std::move(limbs));
}

std::string BigIntToDecimal(const BigInt& x) {
  if (x.IsZero()) return "0";
  std::vector<Limb> w = x.Limbs();
  std::vector<Limb> chunks;  // least significant first
  chunks.reserve(w.size() * 32 / 29 + 1);
  while (!w.empty()) {
    chunks.push_back(ShortDivide(w, kChunk));
    while (!w.empty() && w.back() == 0) w.pop_back();
  }
  std::string s = std::to_string(chunks.back());
  s.reserve(s.size() + (chunks.size() - 1) * kChunkDigits);
  char digits[kChunkDigits];
  for (std::size_t i = chunks.size() - 1; i-- > 0;) {
    Limb c = chunks[i];
    for (int d = kChunkDigits; d-- > 0;) {
      digits[d] = static_cast<char>('0' + c % 10);
      c /= 10;
    }
    s.append(digits, kChunkDigits);
  }
  return s;
}

}  // namespace crypto
