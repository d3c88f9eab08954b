// The game archive Data.vnt and the installation of a patch into it, shared by
// patchmaker and patchsetup.
//
// Format notes (all integers little-endian, signed 32-bit):
//   0   50       header, never read or written
//   50  4        entry count N
//   54  304 x N  ArchiveIndexEntry: 260-byte zero-padded GBK name, data offset
//                (absolute), compressed size, uncompressed size, 32 reserved
//   ..           the files' zlib streams, wherever the entries point
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/archive_lock.h"
#include "host/framework.h"
#include "host/platform.h"
#include "patchmaker/patch_file.h"

namespace patchmaker {

constexpr std::uint64_t kArchiveCountAt = 50;
constexpr std::uint64_t kArchiveIndexAt = 54;
constexpr std::size_t kArchiveEntrySize = 304;
constexpr std::size_t kNameFieldSize = 260;
constexpr std::size_t kDataOffsetInEntry = 260;
constexpr std::size_t kReservedSize = 32;

struct ArchiveIndexEntry {
  GbkText name;  // up to the first zero byte of the field
  std::int32_t data_offset = 0;
  std::int32_t compressed_size = 0;
  std::int32_t uncompressed_size = 0;
  Bytes reserved = Bytes(kReservedSize, '\0');
};

// The name's bytes followed by zero bytes up to 260; a name of 260 bytes or
// more comes back unchanged.
Bytes MakeNameField(const GbkText& name);

// The 304 bytes of an entry, and back (`entry` must hold 304 bytes).
Bytes EncodeArchiveEntry(const ArchiveIndexEntry& entry);
ArchiveIndexEntry DecodeArchiveEntry(const char* entry);

// A signed 32-bit little-endian field, and back.
std::int32_t Int32At(const char* p);
void PutInt32(char* p, std::int64_t value);

// The install directory joined with "\Data.vnt", unchecked.
GbkText ArchivePath(const GbkText& install_directory);

struct InstallRequest {
  GbkText patch_path;
  GbkText install_directory;
  PatchVersion version = PatchVersion::kV02;
  // patchmaker adds entries for names the archive lacks; patchsetup does not.
  bool add_missing_names = true;
  // Progress bar units to set, as the framework names them.
  std::vector<GbkText> progress_bars;
  // The program's PatchKeyStream (used for V0.2 only).
  Bytes key_stream;
  // Installs into one archive take turns, across processes too: with `locks`
  // set, the install first takes the archive's turn, waiting for it when
  // `wait_for_turn`, else refusing at once while another install holds it.
  host::ArchiveLocks* locks = nullptr;
  bool wait_for_turn = false;
};

enum class InstallOutcome {
  kPatchUnusable,     // wrong banner, or a damaged patch; nothing written
  kArchiveNotOpened,  // nothing written
  kArchiveDamaged,    // the archive's index does not fit it; nothing written
  kWriteFailed,       // a write or flush of the archive failed part way
  kBusy,              // another install holds the archive's turn; nothing read or written
  kInstalled,
};

struct InstallResult {
  InstallOutcome outcome = InstallOutcome::kPatchUnusable;
  int found = 0;        // archive entries re-pointed
  int entry_count = 0;  // the patch's n
};

// Installs one patch. Shows its own message box for every outcome but
// kInstalled (callers show the success message), and the progress, only once
// the archive's turn is given back. The whole patch is read and checked
// before the archive is opened; the writes follow the plan (install_plan.h),
// whose order leaves every entry pointing at a complete stream after any
// write or power loss. Keeps no state: may run on any thread; two calls
// without `locks` must not change the same archive at once.
InstallResult ApplyPatchToArchive(host::Framework& ui, host::Files& files, const InstallRequest& request);

// The message of an install that ran out of memory (caption "提示"); nothing
// has been written then, as every buffer is made before the first write.
const char* OutOfMemoryText();

}  // namespace patchmaker
