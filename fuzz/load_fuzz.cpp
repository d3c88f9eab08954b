// A patch made from the input dropped on patchmaker's generate page, loaded
// into the list or appended to rows already there, then generated again: the
// list either holds one row per index line, numbered on from the loaded-entry
// table, or is left as the load found it (emptied first when it replaces);
// a generated patch reads back with the same lines and streams.
#include <functional>

#include "fuzz/fuzz_common.h"
#include "host/binding.h"
#include "host/program.h"
#include "host/scripted/scripted_host.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"
#include "patchmaker/main_window.h"
#include "patchmaker/patch_file.h"
#include "patchmaker/program.h"
#include "tests/patchmaker/fixtures.h"

using patchmaker::Bytes;
using patchmaker::GbkText;
using patchmaker::PatchVersion;

namespace {

bool ReadPatch(const GbkText& path, PatchVersion version, patchmaker::PatchFile* patch) {
  std::unique_ptr<host::File> file = host::PlatformFiles().OpenExisting(path);
  return patchmaker::ReadPatchFile(file.get(), version, patchmaker::DefaultPatchKeyStream(), true, patch) ==
         patchmaker::PatchReadStatus::kOk;
}

int Run(host::ScriptedHost& host, const std::function<void()>& steps) {
  host.SetMessageLoop(steps);
  try {
    return host::RunProgram(host, patchmaker::Program());
  } catch (const host::ProgramExited& e) {
    return e.exit_code;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fixtures::TempDir dir;
  host::ResetBindingForTests();
  fixtures::BindLibrary();
  fuzz::Input in(data, size);
  const std::uint8_t mode = in.Byte();
  const bool replace = (mode & 1) != 0;
  const bool rows_before = (mode & 2) != 0;
  const PatchVersion version = (mode & 4) ? PatchVersion::kV01 : PatchVersion::kV02;

  Bytes patch;
  if (mode & 8) {
    patch = patchmaker::PatchBanner(version) + in.Rest();
  } else {
    const auto n = static_cast<std::int32_t>(in.Byte() % 8);
    const std::string block = in.Piece(64);
    std::int32_t length = static_cast<std::int32_t>(block.size());
    if (mode & 0x10) length = static_cast<std::int32_t>(in.Word());
    patch = fixtures::MakeRawPatch(version, n, block, in.Rest(), length);
  }
  const GbkText path = dir.File("dropped.patch2");
  const GbkText first = dir.File("first.patch2");
  const GbkText out = dir.File("out.patch2");
  fixtures::WriteFile(path, patch);
  fixtures::WriteFile(first, fixtures::MakePatch({{"x1", "s1", 1}, {"x2", "s2", 2}}));
  patchmaker::PatchFile parsed;
  const bool readable = ReadPatch(path, PatchVersion::kV02, &parsed);

  host::ScriptedHost host(dir.path());
  Run(host, [&] {
    const GbkText list = patchmaker::kList;
    if (rows_before) host.Drop(first);  // two rows, entries 1 and 2
    const int before = host.RowCount(list);
    host.SetChecked(patchmaker::kClearCheck, replace);
    const std::size_t shown = host.messages().size();
    host.Drop(path);
    const auto messages = host.messages();
    FUZZ_CHECK(messages.size() == shown + 1);
    const int rows = host.RowCount(list);
    if (!readable) {
      FUZZ_CHECK(messages.back().second != "补丁载入完成");
      FUZZ_CHECK(rows == (replace ? 0 : before));
      return;
    }
    FUZZ_CHECK(messages.back() == (std::pair<GbkText, GbkText>{"信息：", "补丁载入完成"}));
    const int kept = replace ? 0 : before;
    FUZZ_CHECK(rows == kept + static_cast<int>(parsed.lines.size()));
    const int numbered_from = replace ? 1 : before + 1;
    for (std::size_t i = 0; i < parsed.lines.size(); ++i) {
      const int row = kept + static_cast<int>(i);
      FUZZ_CHECK(host.ItemText(list, row, 0) == parsed.lines[i].name);
      FUZZ_CHECK(host.ItemText(list, row, 1) == "内部ID" + std::to_string(numbered_from + static_cast<int>(i)));
    }
    if (!replace || rows == 0) return;

    // Generated again from the loaded entries alone: the same lines and streams.
    host.AnswerFileDialog(out);
    host.Click(patchmaker::kGenerateButton);
    const std::pair<GbkText, GbkText> done = host.messages().back();
    // An index line cannot carry a name holding "|" or a line break, read by
    // GBK characters, nor one whose last byte would take the "|" after it.
    const auto unwritable = [](const GbkText& name) {
      for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c >= 0x80) {
          if (++i == name.size()) return true;
        } else if (c == '|' || c == '\r' || c == '\n') {
          return true;
        }
      }
      return false;
    };
    bool bad_name = false;
    for (const auto& line : parsed.lines)
      bad_name = bad_name || unwritable(line.name) || line.name == patchmaker::kPlaceholderName;
    if (bad_name) {
      FUZZ_CHECK(done.first == "生成失败");
      return;
    }
    FUZZ_CHECK(done == (std::pair<GbkText, GbkText>{"补丁生成", "成功"}));
    patchmaker::PatchFile again;
    FUZZ_CHECK(ReadPatch(out, PatchVersion::kV02, &again));
    FUZZ_CHECK(again.lines.size() == parsed.lines.size());
    for (std::size_t i = 0; i < again.lines.size(); ++i) {
      const auto& a = again.lines[i];
      const auto& p = parsed.lines[i];
      FUZZ_CHECK(a.name == p.name && a.compressed_size == p.compressed_size &&
                 a.uncompressed_size == p.uncompressed_size);
      const auto stream = [](const patchmaker::PatchFile& f, const patchmaker::PatchIndexLine& l) {
        return f.data_block.substr(static_cast<std::size_t>(l.offset), static_cast<std::size_t>(l.compressed_size));
      };
      FUZZ_CHECK(stream(again, a) == stream(parsed, p));
    }
  });
  host::ResetBindingForTests();
  return 0;
}
