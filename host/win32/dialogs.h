// The standard boxes and dialogs the programs show.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "host/window.h"

namespace host {
namespace win32 {

// OK only, no icon, task-modal, no owner.
void MessageOk(const std::string& text, const std::string& caption);
// OK and Cancel, no icon, task-modal, no owner; true for OK.
bool MessageOkCancel(const std::string& text, const std::string& caption);

// The record one showing of the open or save dialog is given, and the texts
// it points at (so it stays where it was built).
class FileDialogSettings {
 public:
  // `default_extension` empty: none.
  FileDialogSettings(const FileDialogRequest& request, const std::string& default_extension);
  FileDialogSettings(const FileDialogSettings&) = delete;
  FileDialogSettings& operator=(const FileDialogSettings&) = delete;
  OPENFILENAMEA* record() { return &record_; }
  // The file name in the record's buffer.
  std::string file() const { return file_.data(); }

 private:
  std::string filter_;
  std::string initial_folder_;
  std::string default_extension_;
  std::vector<char> file_;
  OPENFILENAMEA record_{};
};

// The open or save dialog without owner. `default_extension` empty: none.
bool ChooseFile(const FileDialogRequest& request, const std::string& default_extension, std::string* path);

// The shell's folder picker with an edit box; empty on Cancel or a choice
// without a file-system path.
std::string BrowseForFolder(HWND owner, const std::string& title);

// A modal prompt with one edit box, built in memory; true and the text on OK.
bool AskText(HWND owner, HFONT font, const std::string& prompt, const std::string& initial, std::string* answer);

}  // namespace win32
}  // namespace host
