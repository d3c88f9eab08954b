// The routines behind patchmaker's handlers: installing, loading, converting
// and generating patches, and the command line.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "patchmaker/patch_file.h"

namespace patchmaker {

// ---- Installing -------------------------------------------------------------

// The worker of "安装": the open dialog, then the install of the chosen patch.
// The click disables 按钮3 before it starts the worker; the worker's job gives
// it back when it ends, however it ends.
void InstallPatchFromDialog();
// Installs the patch at `path` on the calling (window) thread: success shows
// path + "\r\n安装成功"; while the loading window is open a success also closes
// it and ends the program with exit code 0, unless a worker still runs. While
// another process installs into the same archive it waits its turn when
// `wait_for_turn` (the command line), else it is refused.
void InstallPatch(const GbkText& path, bool wait_for_turn = false);

// One installation at a time, whichever way it starts: false (and the message
// "正在安装补丁，请等待安装完成") when another one runs. Never waits.
bool BeginInstallation();
void EndInstallation();

// Workers of "安装" and "生成" that are running; the main window stays open
// while there are any.
std::atomic<int>& RunningWorkers();
// Starts `work` as the counted worker of `button`, which is disabled from now
// until the work has ended. The button comes back and the count drops however
// the work ends, also when no thread could be started and it is dropped unrun.
void StartButtonWorker(const char* button, void (*work)());

// ---- Command line and file type ---------------------------------------------

// The program's arguments, split from the whole command line, joined with
// single blanks. A line that starts, unquoted, with `program_path` (ASCII case
// aside) loses that whole path, blanks and all; any other loses its first
// quoted part or its first word as the program's.
GbkText JoinCommandLine(const GbkText& command_line, const GbkText& program_path);
// The four default values of the file type, in order, stopping at the first
// failure; true when all four were stored.
bool RegisterPatchFileType(const GbkText& command_path, const GbkText& extension, const GbkText& icon_path);

// ---- Generate list ------------------------------------------------------------

// The bytes after the last "."; the whole path when there is none.
GbkText GetFileExtension(const GbkText& path);
inline constexpr char kPlaceholderName[] = "请将欲替换的文件名复制到这里";
inline constexpr char kInternalId[] = "内部ID";

void LoadPatchIntoList(const GbkText& path);
void AppendPatchToList(const GbkText& path);
// Bumped by every change of the loaded-entry table (under its lock), so a
// generation can tell that its snapshot of rows and entries belongs together.
std::uint64_t LoadGeneration();

// Writes path + "2" from an old .patch; shows only its damage message.
void ConvertOldPatch(const GbkText& path);

// zlib one-shot compression at the default level; empty input, empty output;
// std::bad_alloc when memory runs out.
Bytes DeflateRawStream(const Bytes& data);
// The worker of "生成"; the click's run enables 按钮1 again when it ends.
void GeneratePatch();
// How many rows are compressed at once: 0 for one per core (the default), 1
// for none beside the worker itself.
void SetCompressionThreads(int threads);
// How many bytes the rows in flight may hold at once: 0 for the default.
void SetGenerationBudget(std::size_t bytes);

}  // namespace patchmaker
