// The library's error classes. They differ only in class, so that a handler can
// tell the family; each carries one of a few fixed English messages.
#pragma once

#include <exception>
#include <string>

namespace crypto {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

class HashError : public Exception {
  using Exception::Exception;
};
class CipherError : public Exception {
  using Exception::Exception;
};
class BlockCipherError : public CipherError {
  using CipherError::CipherError;
};

inline constexpr char kHashNotInitialized[] = "Hash not initialized";
inline constexpr char kCipherNotInitialized[] = "Cipher not initialized";
inline constexpr char kInvalidKeySize[] = "Invalid key size";
inline constexpr char kKeySetupFailed[] = "Unable to allocate sufficient memory for hash digest";

}  // namespace crypto
