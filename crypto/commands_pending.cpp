// Commands whose algorithms are not in the library yet: they answer the empty
// result, as for an algorithm outside the tables.
#include "crypto/library.h"

namespace crypto {


}  // namespace crypto
