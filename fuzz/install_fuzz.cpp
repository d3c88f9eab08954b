// ApplyPatchToArchive on a scratch archive with a patch made from the input
// (both versions, with and without adding names): afterwards the archive is
// still sound and every entry points at one of its own or the patch's streams.
#include <map>

#include "fuzz/fuzz_common.h"
#include "host/scripted/scripted_framework.h"
#include "patchmaker/archive.h"
#include "patchmaker/patch_file.h"
#include "tests/patchmaker/fixtures.h"

using patchmaker::PatchVersion;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool bound = (fixtures::BindLibrary(), true);
  (void)bound;
  static fixtures::TempDir dir;
  fuzz::Input in(data, size);
  const std::uint8_t mode = in.Byte();
  const PatchVersion version = (mode & 1) ? PatchVersion::kV01 : PatchVersion::kV02;
  const bool add_missing = (mode & 2) != 0;

  // The archive: a few files named like the patch's lines may be.
  std::vector<fixtures::StoredFile> files;
  for (int i = 0; i < (mode >> 2) % 4; ++i) files.push_back({std::string(1, static_cast<char>('a' + i)),
                                                           fixtures::StreamBytes(static_cast<char>('A' + i), 3 + i), 7});
  const patchmaker::Bytes archive = fixtures::BuildArchive(files, (mode >> 4) % 2 ? 400 : 0);

  // The patch: either raw bytes after the banner, or fields and index text.
  patchmaker::Bytes patch;
  if (mode & 0x40) {
    patch = patchmaker::PatchBanner(version) + in.Rest();
  } else {
    const auto n = static_cast<std::int32_t>(in.Byte() % 8);
    const std::string block = in.Piece(64);
    std::int32_t length = static_cast<std::int32_t>(block.size());
    if (mode & 0x80) length = static_cast<std::int32_t>(in.Word());
    patch = fixtures::MakeRawPatch(version, n, block, in.Rest(), length);
  }

  std::multimap<patchmaker::GbkText, patchmaker::Bytes> allowed;
  for (const auto& f : files) allowed.emplace(f.name, f.stream);
  const std::string patch_path = dir.File("update.patch2");
  fixtures::WriteFile(patch_path, patch);
  fixtures::WriteFile(patchmaker::ArchivePath(dir.path()), archive);

  // Every stream the patch could hand out, for every name it could use.
  {
    std::unique_ptr<host::File> file = host::PlatformFiles().OpenExisting(patch_path);
    patchmaker::PatchFile parsed;
    if (patchmaker::ReadPatchFile(file.get(), version, patchmaker::DefaultPatchKeyStream(), true, &parsed) ==
        patchmaker::PatchReadStatus::kOk) {
      for (const auto& line : parsed.lines)
        allowed.emplace(line.name.substr(0, line.name.find('\0')),
                        parsed.data_block.substr(static_cast<std::size_t>(line.offset),
                                                 static_cast<std::size_t>(line.compressed_size)));
    }
  }

  host::ScriptedFramework ui;
  patchmaker::InstallRequest request;
  request.patch_path = patch_path;
  request.install_directory = dir.path();
  request.version = version;
  request.add_missing_names = add_missing;
  request.progress_bars = {"p"};
  request.key_stream = patchmaker::DefaultPatchKeyStream();
  const patchmaker::InstallResult result = patchmaker::ApplyPatchToArchive(ui, host::PlatformFiles(), request);
  const patchmaker::Bytes after = fixtures::ReadFile(patchmaker::ArchivePath(dir.path()));
  const testing::AssertionResult sound = fixtures::ArchiveIsSound(after, archive.substr(0, 50), allowed);
  if (!sound) std::fprintf(stderr, "%s\n", sound.message());
  FUZZ_CHECK(static_cast<bool>(sound));
  if (result.outcome != patchmaker::InstallOutcome::kInstalled) FUZZ_CHECK(after == archive);
  if (!add_missing) FUZZ_CHECK(fixtures::ParseArchive(after).count == static_cast<std::int32_t>(files.size()));
  return 0;
}
