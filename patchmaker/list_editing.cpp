// The generate list: rows from dropped files, editing and deleting rows, drops
// on the install page, and the install folder button.
#include "host/system.h"
#include "patchmaker/commands.h"
#include "patchmaker/globals.h"
#include "patchmaker/handlers.h"
#include "patchmaker/main_window.h"

namespace patchmaker {
namespace {

// Pieces of the dropped text: one before each "\r\n" (empty ones too), and the
// rest after the last one when it is not empty.
std::vector<GbkText> SplitDropped(const GbkText& text) {
  std::vector<GbkText> pieces;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find("\r\n", start)) != GbkText::npos; start = at + 2)
    pieces.push_back(text.substr(start, at - start));
  if (start < text.size()) pieces.push_back(text.substr(start));
  return pieces;
}

// ASCII letters only; a GBK character (lead byte 0x81..0xFE) stays whole.
GbkText LowerAscii(const GbkText& s) {
  GbkText out = s;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < out.size()) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    }
  }
  return out;
}

// The in-archive name of a dropped file: ".." and the path's tail beyond the
// save directory's length, lower-cased (the lengths alone decide).
GbkText DerivedName(const GbkText& piece, const GbkText& save_directory) {
  if (save_directory.empty()) return kPlaceholderName;
  if (piece.size() <= save_directory.size()) return "..";
  const std::size_t k = piece.size() - save_directory.size();
  // The tail is cut by bytes; lower-case it from its own start.
  return ".." + LowerAscii(piece).substr(piece.size() - k);
}

void DropOnInstallPage(const GbkText& text, const std::vector<GbkText>& pieces) {
  SetInstallDirectory(ReadConfig(kInstallDirectoryKey));
  if (InstallDirectory().empty()) return;
  if (!host::Ui().AskOkCancel("是否安装以下" + std::to_string(pieces.size()) + "个补丁\r\n" + text, "信息："))
    return;
  for (const GbkText& piece : pieces)
    if (GetFileExtension(piece) == "patch2") InstallPatch(piece);
}

void DropOnGeneratePage(const std::vector<GbkText>& pieces) {
  host::WindowFramework& ui = host::Ui();
  for (const GbkText& piece : pieces) {
    const GbkText ext = GetFileExtension(piece);
    if (ext == "patch2") {
      if (ui.IsChecked(kClearCheck)) {
        LoadPatchIntoList(piece);
      } else {
        AppendPatchToList(piece);
      }
    } else if (ext == "patch") {
      if (ui.AskOkCancel("是否将旧格式.patch补丁转存新.patch2补丁", "信息：")) ConvertOldPatch(piece);
    } else {
      ui.AppendRow(kList, DerivedName(piece, SaveDirectory()));
      ui.SetItemText(kList, ui.RowCount(kList) - 1, 1, piece);
    }
  }
}

}  // namespace

GbkText GetFileExtension(const GbkText& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == GbkText::npos) return path;
  return path.substr(dot + 1);
}

void OnFilesDropped(const host::EventArgs& args) {
  const std::vector<GbkText> pieces = SplitDropped(args.text);
  if (host::Ui().CurrentPage(kTab) == 1) {
    DropOnInstallPage(args.text, pieces);
  } else {
    DropOnGeneratePage(pieces);
  }
}

void OnListDoubleClick(const host::EventArgs& /*args*/) {
  host::WindowFramework& ui = host::Ui();
  const int row = ui.SelectedRow(kList);
  if (row < 0) return;
  GbkText answer;
  if (!ui.InputBox("请输入欲替换的文件名", ui.ItemText(kList, row, 0), &answer)) answer.clear();
  if (answer.empty()) return;
  const int now = ui.SelectedRow(kList);
  if (now >= 0) ui.SetItemText(kList, now, 0, answer);
}

void OnListContextMenu(const host::EventArgs& /*args*/) {
  if (host::Ui().SelectedRow(kList) < 0) return;
  host::Ui().PopupMenu(kMenu);
}

void OnDeleteRow(const host::EventArgs& /*args*/) {
  const int row = host::Ui().SelectedRow(kList);
  if (row >= 0) host::Ui().DeleteRow(kList, row);
}

void OnChooseInstallDir(const host::EventArgs& /*args*/) {
  const GbkText folder = host::Ui().PickFolder("请选择Qelmar的安装目录");
  SetInstallDirectory(folder);
  host::Ui().SetText(kFolderEdit, folder);
  if (!folder.empty()) WriteConfig(kInstallDirectoryKey, folder);
}

}  // namespace patchmaker
