// The handlers bound in MainWindow's event table.
#pragma once

#include "host/window.h"

namespace patchmaker {

void OnListDoubleClick(const host::EventArgs& args);
void OnListContextMenu(const host::EventArgs& args);
void OnFilesDropped(const host::EventArgs& args);
void OnGenerateClicked(const host::EventArgs& args);
void OnChooseInstallDir(const host::EventArgs& args);
void OnInstallClicked(const host::EventArgs& args);
void OnDeleteRow(const host::EventArgs& args);

// The command line of a start: installs the patch it names, if any.
void HandleCommandLine();
// Registers the .patch2 file type at every start; the result is ignored.
void RegisterFileType();

}  // namespace patchmaker
