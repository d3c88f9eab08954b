#include "tests/patchmaker/fixtures.h"

#include <atomic>
#include <filesystem>
#include <random>
#include <sstream>

#include "host/binding.h"
#include "host/platform.h"
#include "tests/support/hex.h"

namespace fixtures {

using patchmaker::ArchiveIndexEntry;

void BindLibrary() { host::cryptolib_notify(1, reinterpret_cast<std::intptr_t>(&host::HostCallback), 0); }

TempDir::TempDir() {
  static std::atomic<int> serial{0};
  std::ostringstream name;
  name << "qelmar_patch_test_" << std::hex << std::random_device{}() << "_" << serial++;
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / name.str();
  std::filesystem::create_directories(dir);
  path_ = dir.string();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

Bytes ReadFile(const GbkText& path) {
  Bytes bytes;
  EXPECT_TRUE(host::PlatformFiles().ReadWholeFile(path, &bytes)) << path;
  return bytes;
}

void WriteFile(const GbkText& path, const Bytes& bytes) {
  ASSERT_TRUE(host::PlatformFiles().WriteWholeFile(path, bytes)) << path;
}

namespace {

void PutInt32(Bytes* out, std::size_t at, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::int32_t Int32At(const Bytes& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return static_cast<std::int32_t>(v);
}

}  // namespace

Bytes BuildArchive(const std::vector<StoredFile>& files, std::size_t free_after_index) {
  Bytes out = "QELMAR ARCHIVE HEADER - kept as it is by installs.";
  out.resize(patchmaker::kArchiveIndexAt, '\0');
  PutInt32(&out, patchmaker::kArchiveCountAt, static_cast<std::int32_t>(files.size()));
  std::size_t stream_at = patchmaker::kArchiveIndexAt + files.size() * patchmaker::kArchiveEntrySize + free_after_index;
  for (std::size_t i = 0; i < files.size(); ++i) {
    ArchiveIndexEntry entry;
    entry.name = files[i].name;
    entry.data_offset = static_cast<std::int32_t>(stream_at);
    entry.compressed_size = static_cast<std::int32_t>(files[i].stream.size());
    entry.uncompressed_size = files[i].inflated;
    for (std::size_t r = 0; r < entry.reserved.size(); ++r) entry.reserved[r] = static_cast<char>(0xA0 + i + r);
    out += patchmaker::EncodeArchiveEntry(entry);
    stream_at += files[i].stream.size();
  }
  out.append(free_after_index, '\xEE');
  for (const StoredFile& f : files) out += f.stream;
  return out;
}

ParsedArchive ParseArchive(const Bytes& bytes) {
  ParsedArchive parsed;
  parsed.bytes = bytes;
  if (bytes.size() < patchmaker::kArchiveIndexAt) return parsed;
  parsed.count = Int32At(bytes, patchmaker::kArchiveCountAt);
  for (std::int32_t j = 0; j < parsed.count; ++j) {
    const std::size_t at = patchmaker::kArchiveIndexAt + static_cast<std::size_t>(j) * patchmaker::kArchiveEntrySize;
    if (at + patchmaker::kArchiveEntrySize > bytes.size()) break;
    parsed.entries.push_back(patchmaker::DecodeArchiveEntry(&bytes[at]));
  }
  return parsed;
}

Bytes StreamOf(const ParsedArchive& archive, const ArchiveIndexEntry& entry) {
  if (entry.data_offset < 0 || entry.compressed_size < 0 ||
      static_cast<std::size_t>(entry.data_offset) + static_cast<std::size_t>(entry.compressed_size) > archive.bytes.size())
    return "<outside>";
  return archive.bytes.substr(static_cast<std::size_t>(entry.data_offset), static_cast<std::size_t>(entry.compressed_size));
}

testing::AssertionResult ArchiveIsSound(const Bytes& archive, const Bytes& original_header,
                                        const std::multimap<GbkText, Bytes>& allowed) {
  if (archive.compare(0, 50, original_header, 0, 50) != 0) return testing::AssertionFailure() << "header changed";
  const ParsedArchive parsed = ParseArchive(archive);
  if (parsed.count < 0 || static_cast<std::size_t>(parsed.count) != parsed.entries.size())
    return testing::AssertionFailure() << "count " << parsed.count << " covers bytes past the end ("
                                       << parsed.entries.size() << " entries fit)";
  for (std::size_t j = 0; j < parsed.entries.size(); ++j) {
    const ArchiveIndexEntry& e = parsed.entries[j];
    const Bytes stream = StreamOf(parsed, e);
    bool ok = false;
    const auto range = allowed.equal_range(e.name);
    for (auto it = range.first; it != range.second; ++it) ok = ok || it->second == stream;
    if (!ok)
      return testing::AssertionFailure() << "entry " << j + 1 << " name " << testing_support::ToHex(e.name)
                                         << " at " << e.data_offset << " size " << e.compressed_size
                                         << " points at " << testing_support::ToHex(stream.substr(0, 64));
  }
  return testing::AssertionSuccess();
}

Bytes StreamBytes(char tag, std::size_t size) {
  Bytes s(size, tag);
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(tag + static_cast<char>(i % 7));
  return s;
}

Bytes MakePatch(const std::vector<patchmaker::PatchEntry>& entries) {
  return patchmaker::BuildPatchFile(entries, patchmaker::DefaultPatchKeyStream());
}

Bytes MakeRawPatch(patchmaker::PatchVersion version, std::int32_t n, const Bytes& data_block, const GbkText& index_text,
                   std::int32_t data_length_field) {
  const GbkText stored = version == patchmaker::PatchVersion::kV02
                             ? patchmaker::EncryptPatchIndex(index_text, patchmaker::DefaultPatchKeyStream())
                             : index_text;
  Bytes file = patchmaker::AssemblePatchFile(version, n, data_block, stored);
  PutInt32(&file, patchmaker::kDataLengthAt, data_length_field);
  return file;
}

}  // namespace fixtures
