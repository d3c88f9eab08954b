// Commands whose algorithms are not in the library yet: they answer the empty
// result, as for an algorithm outside the tables.
#include "crypto/library.h"

namespace crypto {

void CRYPTO_CALL encodefile(CommandResult*, std::int32_t, CommandArg*) {}
void CRYPTO_CALL decodefile(CommandResult*, std::int32_t, CommandArg*) {}
void CRYPTO_CALL hashbin(CommandResult*, std::int32_t, CommandArg*) {}
void CRYPTO_CALL hashfile(CommandResult*, std::int32_t, CommandArg*) {}
void CRYPTO_CALL zipbin(CommandResult*, std::int32_t, CommandArg*) {}
void CRYPTO_CALL unzipbin(CommandResult*, std::int32_t, CommandArg*) {}
void CRYPTO_CALL rsaen(CommandResult*, std::int32_t, CommandArg*) {}
void CRYPTO_CALL rsade(CommandResult*, std::int32_t, CommandArg*) {}
void CRYPTO_CALL int2hex(CommandResult*, std::int32_t, CommandArg*) {}
void CRYPTO_CALL hex2int(CommandResult*, std::int32_t, CommandArg*) {}

}  // namespace crypto
