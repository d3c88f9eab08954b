// Converting an old .patch (plain index) into a .patch2 beside it: banner and
// index encryption change, count, data length, data block and index lines stay.
#include <memory>

#include "host/system.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"

namespace patchmaker {
namespace {

// Text ends at a zero byte or 0x1A, as every reader of the format takes it.
GbkText AsText(const Bytes& bytes) {
  const std::size_t end = bytes.find_first_of(GbkText("\0\x1a", 2));
  return end == Bytes::npos ? bytes : bytes.substr(0, end);
}

}  // namespace

void ConvertOldPatch(const GbkText& path) {
  host::Files& files = host::FileSystem();
  PatchFile patch;
  {
    std::unique_ptr<host::File> file = files.OpenExisting(path);
    const PatchReadStatus status = ReadPatchFile(file.get(), PatchVersion::kV01, Bytes(), true, &patch);
    if (status == PatchReadStatus::kBadBanner) return;  // not an old patch: nothing to say
    if (status != PatchReadStatus::kOk) {
      host::Ui().ShowMessage("旧补丁已损坏，未转换", "提示");
      return;
    }
  }
  Bytes whole;
  if (!files.ReadWholeFile(path, &whole) || whole.size() < kDataBlockAt + patch.data_block.size()) {
    host::Ui().ShowMessage("旧补丁已损坏，未转换", "提示");
    return;
  }
  // The old index text exactly as stored, not rebuilt from its lines.
  const GbkText index = AsText(whole.substr(kDataBlockAt + patch.data_block.size()));
  const Bytes converted = AssemblePatchFile(PatchVersion::kV02, patch.entry_count, patch.data_block,
                                            EncryptPatchIndex(index, PatchKeyStream()));
  files.ReplaceWholeFile(path + "2", converted);
}

}  // namespace patchmaker
