// Converting an old .patch (plain index) into a .patch2 beside it: banner and
// index encryption change, count, data length, data block and index lines stay.
// The old file is read once, and the new one written from the pieces read:
// the data block is held once.
#include <memory>

#include "host/system.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"

namespace patchmaker {
namespace {

void Convert(const GbkText& path) {
  PatchFile patch;
  GbkText index;  // the old index text exactly as stored, not rebuilt from its lines
  {
    std::unique_ptr<host::File> file = host::FileSystem().OpenExisting(path);
    const PatchReadStatus status = ReadPatchFile(file.get(), PatchVersion::kV01, Bytes(), true, &patch, &index);
    if (status == PatchReadStatus::kBadBanner) return;  // not an old patch: nothing to say
    if (status != PatchReadStatus::kOk) {
      host::Ui().ShowMessage("旧补丁已损坏，未转换", "提示");
      return;
    }
  }
  const Bytes header = PatchFileHeader(PatchVersion::kV02, patch.entry_count, patch.data_length);
  const GbkText stored_index = EncryptPatchIndex(index, PatchKeyStream());
  host::FileSystem().ReplaceWholeFile(path + "2", std::vector<std::string_view>{header, patch.data_block, stored_index});
}

}  // namespace

void ConvertOldPatch(const GbkText& path) {
  if (!RunsInMemory([&] { Convert(path); })) host::Ui().ShowMessage("内存不足，旧补丁未转换", "提示");
}

}  // namespace patchmaker
