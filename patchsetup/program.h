// patchsetup as the window framework sees it: its linked libraries and its
// start routine.
#pragma once

#include "host/system.h"

namespace patchsetup {

// The cryptography library's place in the list of linked libraries (the sixth
// of seven).
inline constexpr int kCryptoLibraryPlace = 5;
inline constexpr int kLinkedLibraryCount = 7;

const host::ProgramDescription& Program();

// The host record of the cryptography library in the program's description.
const LibraryInfo& CryptoLibraryRecord();

}  // namespace patchsetup
