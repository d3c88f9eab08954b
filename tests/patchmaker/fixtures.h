// Small archives and patches that the tests build themselves, and the checks
// they read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "patchmaker/archive.h"
#include "patchmaker/patch_file.h"

namespace fixtures {

using patchmaker::Bytes;
using patchmaker::GbkText;

// Binds the cryptography library as the programs do at start-up.
void BindLibrary();

// A fresh directory under the system's temp directory, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const GbkText& path() const { return path_; }
  GbkText File(const GbkText& name) const { return path_ + "\\" + name; }

 private:
  GbkText path_;
};

Bytes ReadFile(const GbkText& path);
void WriteFile(const GbkText& path, const Bytes& bytes);

// One file of an archive fixture.
struct StoredFile {
  GbkText name;
  Bytes stream;
  std::int32_t inflated = 0;
};

// An archive: a recognisable 50-byte header, the index, `free_after_index`
// bytes of 0xEE, then the streams back to back in index order. Each entry's
// reserved bytes are a pattern of its number.
Bytes BuildArchive(const std::vector<StoredFile>& files, std::size_t free_after_index = 0);

struct ParsedArchive {
  std::int32_t count = 0;
  std::vector<patchmaker::ArchiveIndexEntry> entries;  // as many as the count says and the file holds
  Bytes bytes;
};
ParsedArchive ParseArchive(const Bytes& bytes);

// The stream an entry points at, or "<outside>" when it does not lie in the file.
Bytes StreamOf(const ParsedArchive& archive, const patchmaker::ArchiveIndexEntry& entry);

// The invariant an archive keeps after any write: the header as before, the
// count covering only entries inside the file, and every entry pointing inside
// the file at one of the streams allowed for its name.
testing::AssertionResult ArchiveIsSound(const Bytes& archive, const Bytes& original_header,
                                        const std::multimap<GbkText, Bytes>& allowed);

// Distinct bytes for a stream fixture.
Bytes StreamBytes(char tag, std::size_t size);

// A V0.2 patch with the program's key.
Bytes MakePatch(const std::vector<patchmaker::PatchEntry>& entries);
// A patch with whatever header fields and index text the test wants; the index
// is encrypted for V0.2 and stored as it is for V0.1.
Bytes MakeRawPatch(patchmaker::PatchVersion version, std::int32_t n, const Bytes& data_block, const GbkText& index_text,
                   std::int32_t data_length_field);

}  // namespace fixtures
