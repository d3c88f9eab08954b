// The patch reader on a file made from the input, both versions: whatever it
// accepts holds together (n lines, every stream inside the data block).
#include <memory>

#include "fuzz/fuzz_common.h"
#include "patchmaker/patch_file.h"
#include "tests/patchmaker/fixtures.h"

using patchmaker::PatchVersion;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool bound = (fixtures::BindLibrary(), true);
  (void)bound;
  static fixtures::TempDir dir;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string path = dir.File("p.patch2");
  for (PatchVersion version : {PatchVersion::kV01, PatchVersion::kV02}) {
    // The input as the whole file, and as the body after a correct banner.
    for (int framed = 0; framed < 2; ++framed) {
      const std::string bytes = framed ? patchmaker::PatchBanner(version) + input : input;
      fixtures::WriteFile(path, bytes);
      std::unique_ptr<host::File> file = host::PlatformFiles().OpenExisting(path);
      patchmaker::PatchFile out;
      const auto status =
          patchmaker::ReadPatchFile(file.get(), version, patchmaker::DefaultPatchKeyStream(), true, &out);
      if (status != patchmaker::PatchReadStatus::kOk) continue;
      FUZZ_CHECK(out.entry_count >= 0 && out.data_length >= 0);
      FUZZ_CHECK(out.lines.size() == static_cast<std::size_t>(out.entry_count));
      FUZZ_CHECK(out.data_block.size() == static_cast<std::size_t>(out.data_length));
      FUZZ_CHECK(patchmaker::kDataBlockAt + static_cast<std::uint64_t>(out.data_length) <= bytes.size());
      for (const patchmaker::PatchIndexLine& line : out.lines) {
        FUZZ_CHECK(line.offset >= 0 && line.compressed_size >= 0);
        FUZZ_CHECK(static_cast<std::int64_t>(line.offset) + line.compressed_size <= out.data_length);
      }
    }
  }
  return 0;
}
