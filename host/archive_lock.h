// Installs into one Data.vnt take turns, across processes as well as threads:
// several patchmaker processes started at once by the shell, or patchsetup
// beside patchmaker. On Windows a turn is a kernel mutex named after the
// archive's full path, compared as Windows compares paths (ignoring case), so
// the archive keeps its open mode; on POSIX, where only tests run, it is an
// advisory lock on the archive file.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace host {

using GbkText = std::string;

// Held while it lives.
class ArchiveTurn {
 public:
  virtual ~ArchiveTurn() = default;
};

class ArchiveLocks {
 public:
  virtual ~ArchiveLocks() = default;
  // The turn of the archive at `path` when no other install holds it; null
  // when one does. Never waits.
  virtual std::unique_ptr<ArchiveTurn> TryTake(const GbkText& path) = 0;
  // Waits for the turn (a window thread that waits keeps its windows painted).
  // Never null.
  virtual std::unique_ptr<ArchiveTurn> Take(const GbkText& path) = 0;
};

// The machine's own. Where the lock cannot be made at all (no handles left),
// the turn is given at once: the install goes on as it would without it.
ArchiveLocks& PlatformArchiveLocks();

// The locks the programs' installs use: the platform's unless a test put
// others in place (null puts the platform's back).
ArchiveLocks& InstallLocks();
void SetInstallLocks(ArchiveLocks* locks);

// In-process turns for tests, with "another process" holding an archive at
// will.
class ScriptedArchiveLocks : public ArchiveLocks {
 public:
  // Another process installs into the archive at `path` until ReleaseElsewhere.
  void HoldElsewhere(const GbkText& path);
  void ReleaseElsewhere(const GbkText& path);
  // Runs (once per wait, without any lock held) when an install waits for a
  // turn held elsewhere: the other process's install, which ends with
  // ReleaseElsewhere.
  void WhenWaiting(std::function<void(const GbkText& path)> other_install);

  int refusals() const;  // TryTake answered null
  int waits() const;     // Take found the turn held
  int taken() const;     // turns given

  std::unique_ptr<ArchiveTurn> TryTake(const GbkText& path) override;
  std::unique_ptr<ArchiveTurn> Take(const GbkText& path) override;

 private:
  class Turn;

  mutable std::mutex mutex_;
  std::condition_variable released_;
  std::map<GbkText, bool> held_;  // path -> held here (false: elsewhere)
  std::function<void(const GbkText&)> other_install_;
  int refusals_ = 0, waits_ = 0, taken_ = 0;
};

}  // namespace host
