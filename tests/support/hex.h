// Hex helpers for tests: failures print bytes as hex, since GBK text on a UTF-8
// terminal is unreadable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

std::vector<std::uint8_t> FromHex(const std::string& hex);
std::string ToHex(const void* data, std::size_t n);
inline std::string ToHex(const std::vector<std::uint8_t>& v) { return ToHex(v.data(), v.size()); }
inline std::string ToHex(const std::string& s) { return ToHex(s.data(), s.size()); }
std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed);

}  // namespace testing_support
