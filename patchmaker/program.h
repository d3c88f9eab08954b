// patchmaker as the window framework sees it: its linked libraries and its
// start routine.
#pragma once

#include "host/system.h"

namespace patchmaker {

// The cryptography library's place in the list of linked libraries.
inline constexpr int kCryptoLibraryPlace = 7;

const host::ProgramDescription& Program();

// The host record of the cryptography library in the program's description.
const LibraryInfo& CryptoLibraryRecord();

}  // namespace patchmaker
