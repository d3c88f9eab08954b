// What the open and save dialogs are asked for: a save asks before an existing
// file is replaced, an open takes only existing files, both only existing
// folders, and either may move the current directory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/win32/dialogs.h"

namespace {

using host::FileDialogRequest;
using host::win32::FileDialogSettings;

TEST(FileDialog, SettingsOfOpenAndSave) {
  struct Case {
    bool save;
    DWORD set;
    DWORD clear;
  };
  const Case cases[] = {
      {true, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST, OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR | OFN_ALLOWMULTISELECT},
      {false, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST, OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_ALLOWMULTISELECT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.save ? "save" : "open");
    FileDialogRequest request;
    request.save = c.save;
    request.filter = "补丁文件（*.patch2）|*.patch2";
    request.file_name = "New.patch2";
    request.initial_folder = "C:\\程序";
    FileDialogSettings settings(request, "patch");
    const OPENFILENAMEA& r = *settings.record();
    EXPECT_EQ(r.Flags & c.set, c.set);
    EXPECT_EQ(r.Flags & c.clear, 0u);
    ASSERT_NE(r.lpstrDefExt, nullptr);
    EXPECT_STREQ(r.lpstrDefExt, "patch");
    const char filter[] = "补丁文件（*.patch2）\0*.patch2\0";
    EXPECT_EQ(std::memcmp(r.lpstrFilter, filter, sizeof filter), 0) << "pairs of NUL-ended texts, then a NUL";
    EXPECT_EQ(r.nFilterIndex, 1u);
    EXPECT_STREQ(r.lpstrFile, "New.patch2");
    EXPECT_STREQ(r.lpstrInitialDir, "C:\\程序");
  }
  FileDialogSettings none(FileDialogRequest{}, "");
  EXPECT_EQ(none.record()->lpstrDefExt, nullptr) << "no extension is added";
}

}  // namespace
