// Commands 8 and 9: a whole file encrypted into another file, and back, under
// a key text and an algorithm number. A block cipher runs in CBC mode (its
// default) over 8192-byte chunks, so only the last n mod B bytes form a partial
// block (CV := E(CV), XOR, the same both ways) and the output has the input's
// length; RC4's keystream runs on across the chunks. No header, no padding.
// The answer is true when at least one byte was processed; every failure,
// whatever it is, answers false and shows nothing.
#include <memory>
#include <string>

#include "crypto/ciphers/table.h"
#include "crypto/digests/sha1.h"
#include "crypto/file_io.h"
#include "crypto/library.h"

namespace crypto {
namespace {

// EncryptStream counts bytes in 32 bits; a larger file goes through in pieces
// of whole chunks, which chain exactly as one call would.
constexpr std::uint64_t kPiece = std::uint64_t{1} << 31;
static_assert(kPiece % kStreamChunk == 0, "pieces of whole chunks");

bool TransformFile(const CommandArg* args, bool encrypt) {
  const char* source = ArgText(args[0]);
  const char* destination = ArgText(args[1]);
  const char* key_text = ArgText(args[2]);
  bool done = false;
  try {
    if (!IsExistingFile(source)) return false;
    const CipherClass* cls = FindCipher(ArgInteger(args[3]));
    if (cls == nullptr) return false;
    std::unique_ptr<Cipher> cipher(cls->create(nullptr));
    InputFile in(source);
    // Creating the destination would empty the source before it is read.
    if (in.IsSameFileAs(destination)) return false;
    OutputFile out(destination);
    cipher->InitFromText(key_text == nullptr ? std::string() : std::string(key_text), Sha1::kClass);
    std::uint64_t left = in.Size(), total = 0;
    while (left > 0) {
      const auto piece = static_cast<std::uint32_t>(left < kPiece ? left : kPiece);
      total += encrypt ? cipher->EncryptStream(in, out, piece) : cipher->DecryptStream(in, out, piece);
      left -= piece;
    }
    done = total > 0;
    cipher->WipeKey();
  } catch (...) {
    // The answer stands as it is: a failure after the last chunk keeps true.
  }
  return done;
}

}  // namespace

void CRYPTO_CALL encodefile(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  SetResultLogical(result, TransformFile(args, true));
}

void CRYPTO_CALL decodefile(CommandResult* result, std::int32_t /*argc*/, CommandArg* args) {
  SetResultLogical(result, TransformFile(args, false));
}

}  // namespace crypto
