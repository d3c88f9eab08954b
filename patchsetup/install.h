// The two install workers of patchsetup and what keeps them apart.
#pragma once

namespace patchsetup {

// The worker of ".patch2": the open dialog, then the chosen .patch2 file
// installed into Data.vnt without adding index entries; a shortfall of
// matched names is reported before "安装成功".
void InstallPatchFromDialog();
// The worker of ".patch": the same for an old .patch file, installed as it is.
void InstallOldPatchFromDialog();

// Install workers started by a click and not yet ended. While there is one,
// both install buttons are disabled, further clicks are refused and the main
// window stays open.
int RunningWorkers();

}  // namespace patchsetup
