// The standard boxes and dialogs the programs show.
#pragma once

#include <windows.h>

#include <string>

#include "host/window.h"

namespace host {
namespace win32 {

// OK only, no icon, task-modal, no owner.
void MessageOk(const std::string& text, const std::string& caption);
// OK and Cancel, no icon, task-modal, no owner; true for OK.
bool MessageOkCancel(const std::string& text, const std::string& caption);

// The open or save dialog without owner. `default_extension` empty: none.
bool ChooseFile(const FileDialogRequest& request, const std::string& default_extension, std::string* path);

// The shell's folder picker with an edit box; empty on Cancel or a choice
// without a file-system path.
std::string BrowseForFolder(HWND owner, const std::string& title);

// A modal prompt with one edit box, built in memory; true and the text on OK.
bool AskText(HWND owner, HFONT font, const std::string& prompt, const std::string& initial, std::string* answer);

}  // namespace win32
}  // namespace host
