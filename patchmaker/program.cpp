#include "patchmaker/program.h"

#include "host/binding.h"
#include "patchmaker/globals.h"
#include "patchmaker/main_window.h"

namespace patchmaker {
namespace {

// The program calls commands 5 and 4 through these entries only.
const CommandFunction kHostEntries[] = {&host::decodebin_stub, &host::encodebin_stub};

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
  r.command_count = 2;
  r.command_functions = kHostEntries;
  r.notify = &host::cryptolib_notify;
  return r;
}
const LibraryInfo kCryptoRecord = MakeRecord();

// Places 0 to 6 belong to the framework's own support libraries, which this
// build carries inside the host itself; they take no notifications.
const host::LinkedLibrary kLibraries[] = {
    {nullptr}, {nullptr}, {nullptr}, {nullptr}, {nullptr}, {nullptr}, {nullptr}, {&kCryptoRecord},
};
static_assert(sizeof(kLibraries) / sizeof(kLibraries[0]) == kCryptoLibraryPlace + 1, "eight linked libraries");

void Start() {
  FreeGlobals();  // all empty, the loaded-entry table too
  host::AtProgramEnd(&FreeGlobals);
  host::Ui().LoadWindow(MainWindow());
}

const host::ProgramDescription kProgram = {kLibraries, kCryptoLibraryPlace + 1, &Start};

}  // namespace

const host::ProgramDescription& Program() { return kProgram; }
const LibraryInfo& CryptoLibraryRecord() { return kCryptoRecord; }

}  // namespace patchmaker
