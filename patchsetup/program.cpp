#include "patchsetup/program.h"

#include <iterator>

#include "host/binding.h"
#include "patchsetup/globals.h"
#include "patchsetup/main_window.h"

namespace patchsetup {
namespace {

// Only the .patch2 worker calls a command, and only command 5.
const CommandFunction kHostEntries[] = {&host::decodebin_stub};

LibraryInfo MakeRecord() {
  LibraryInfo r{};
  r.format = 20000101;
  r.guid = crypto::kLibraryGuid;
  r.major_version = 1;
  r.minor_version = 1;
  r.host_major = 3;
  r.host_minor = 0;
  r.core_major = 3;
  r.core_minor = 0;
  r.display_name = crypto::kLibraryName;
  r.language = 1;
  r.data_type_count = 0;
  r.command_count = static_cast<std::int32_t>(std::size(kHostEntries));
  r.command_functions = kHostEntries;
  r.notify = &host::cryptolib_notify;
  return r;
}
const LibraryInfo kCryptoRecord = MakeRecord();

// The other places belong to the framework's own support libraries, which
// this build carries inside the host itself; they take no notifications.
const host::LinkedLibrary kLibraries[] = {
    {nullptr}, {nullptr}, {nullptr}, {nullptr}, {nullptr}, {&kCryptoRecord}, {nullptr},
};
static_assert(std::size(kLibraries) == kLinkedLibraryCount, "seven linked libraries");

void Start() {
  FreeGlobals();  // both empty
  host::AtProgramEnd(&FreeGlobals);
  host::Ui().LoadWindow(MainWindow());
}

const host::ProgramDescription kProgram = {kLibraries, kLinkedLibraryCount, &Start};

}  // namespace

const host::ProgramDescription& Program() { return kProgram; }
const LibraryInfo& CryptoLibraryRecord() { return kCryptoRecord; }

}  // namespace patchsetup
