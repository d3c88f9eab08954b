#include "host/archive_lock.h"

#include <atomic>
#include <cstdint>

#include "host/platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace host {
namespace {

// Given where no lock can be made: the install goes on unserialised.
class FreeTurn : public ArchiveTurn {};

#ifdef _WIN32

std::wstring Wide(const GbkText& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

// The archive's full path as Windows compares paths: made absolute, short
// names made long, separators single, letters upper-case; hashed into a name
// without "\" (which kernel object names reserve).
std::wstring MutexName(const GbkText& path) {
  std::wstring p = Wide(path);
  DWORD n = GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
  if (n > 0) {
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(p.c_str(), n, &full[0], nullptr);
    if (n > 0 && n < full.size()) p = full.substr(0, n);
  }
  n = GetLongPathNameW(p.c_str(), nullptr, 0);
  if (n > 0) {
    std::wstring long_path(n, L'\0');
    n = GetLongPathNameW(p.c_str(), &long_path[0], n);
    if (n > 0 && n < long_path.size()) p = long_path.substr(0, n);
  }
  std::wstring single;
  for (std::size_t i = 0; i < p.size(); ++i) {
    // A UNC path keeps its leading pair.
    if (p[i] == L'\\' && i > 1 && !single.empty() && single.back() == L'\\') continue;
    single += p[i] == L'/' ? L'\\' : p[i];
  }
  std::wstring upper(single.size(), L'\0');
  if (!single.empty() && LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, single.c_str(), static_cast<int>(single.size()),
                                      &upper[0], static_cast<int>(upper.size())) == 0)
    upper = single;
  std::uint64_t h = 0xCBF29CE484222325u;  // FNV-1a over the UTF-16 units
  for (const wchar_t c : upper) {
    h = (h ^ static_cast<std::uint16_t>(c)) * 0x100000001B3u;
  }
  wchar_t name[64];
  wsprintfW(name, L"Local\\QelmarDataVnt-%08lX%08lX", static_cast<unsigned long>(h >> 32),
            static_cast<unsigned long>(h & 0xFFFFFFFFu));
  return name;
}

class MutexTurn : public ArchiveTurn {
 public:
  explicit MutexTurn(HANDLE mutex) : mutex_(mutex) {}
  ~MutexTurn() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

class Win32Locks : public ArchiveLocks {
 public:
  std::unique_ptr<ArchiveTurn> TryTake(const GbkText& path) override {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName(path).c_str());
    if (mutex == nullptr) return std::make_unique<FreeTurn>();
    // An abandoned turn (its holder died) passes on: every install leaves
    // the archive sound at any point.
    const DWORD got = WaitForSingleObject(mutex, 0);
    if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) return std::make_unique<MutexTurn>(mutex);
    CloseHandle(mutex);
    if (got == WAIT_TIMEOUT) return nullptr;
    return std::make_unique<FreeTurn>();
  }

  std::unique_ptr<ArchiveTurn> Take(const GbkText& path) override {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName(path).c_str());
    if (mutex == nullptr) return std::make_unique<FreeTurn>();
    for (;;) {
      // Messages sent from other threads are answered and windows repainted
      // meanwhile; nothing else of the user interface runs.
      const DWORD got = MsgWaitForMultipleObjects(1, &mutex, FALSE, INFINITE, QS_SENDMESSAGE | QS_PAINT);
      if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED_0) return std::make_unique<MutexTurn>(mutex);
      if (got != WAIT_OBJECT_0 + 1) break;
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageA(&message);
    }
    CloseHandle(mutex);
    return std::make_unique<FreeTurn>();
  }
};

#else

class FileTurn : public ArchiveTurn {
 public:
  explicit FileTurn(int fd) : fd_(fd) {}
  ~FileTurn() override {
    flock(fd_, LOCK_UN);
    close(fd_);
  }

 private:
  int fd_;
};

class PosixLocks : public ArchiveLocks {
 public:
  std::unique_ptr<ArchiveTurn> TryTake(const GbkText& path) override { return Lock(path, LOCK_NB); }
  std::unique_ptr<ArchiveTurn> Take(const GbkText& path) override { return Lock(path, 0); }

 private:
  // The lock belongs to the file, however it is named; a missing archive has
  // no lock, and its install fails on opening it.
  static std::unique_ptr<ArchiveTurn> Lock(const GbkText& path, int how) {
    const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::make_unique<FreeTurn>();
    int rc;
    do {
      rc = flock(fd, LOCK_EX | how);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return std::make_unique<FileTurn>(fd);
    const bool busy = errno == EWOULDBLOCK;
    close(fd);
    if (busy) return nullptr;
    return std::make_unique<FreeTurn>();
  }
};

#endif

std::atomic<ArchiveLocks*> g_install_locks{nullptr};

}  // namespace

ArchiveLocks& PlatformArchiveLocks() {
#ifdef _WIN32
  static Win32Locks locks;
#else
  static PosixLocks locks;
#endif
  return locks;
}

ArchiveLocks& InstallLocks() {
  ArchiveLocks* set = g_install_locks.load();
  return set != nullptr ? *set : PlatformArchiveLocks();
}

void SetInstallLocks(ArchiveLocks* locks) { g_install_locks.store(locks); }

// ---- Scripted -----------------------------------------------------------------------

class ScriptedArchiveLocks::Turn : public ArchiveTurn {
 public:
  Turn(ScriptedArchiveLocks& owner, GbkText path) : owner_(owner), path_(std::move(path)) {}
  ~Turn() override {
    {
      std::lock_guard<std::mutex> hold(owner_.mutex_);
      owner_.held_.erase(path_);
    }
    owner_.released_.notify_all();
  }

 private:
  ScriptedArchiveLocks& owner_;
  GbkText path_;
};

void ScriptedArchiveLocks::HoldElsewhere(const GbkText& path) {
  std::lock_guard<std::mutex> hold(mutex_);
  held_[path] = false;
}

void ScriptedArchiveLocks::ReleaseElsewhere(const GbkText& path) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    held_.erase(path);
  }
  released_.notify_all();
}

void ScriptedArchiveLocks::WhenWaiting(std::function<void(const GbkText& path)> other_install) {
  std::lock_guard<std::mutex> hold(mutex_);
  other_install_ = std::move(other_install);
}

int ScriptedArchiveLocks::refusals() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return refusals_;
}
int ScriptedArchiveLocks::waits() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return waits_;
}
int ScriptedArchiveLocks::taken() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return taken_;
}

std::unique_ptr<ArchiveTurn> ScriptedArchiveLocks::TryTake(const GbkText& path) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (held_.count(path) != 0) {
    ++refusals_;
    return nullptr;
  }
  held_[path] = true;
  ++taken_;
  return std::make_unique<Turn>(*this, path);
}

std::unique_ptr<ArchiveTurn> ScriptedArchiveLocks::Take(const GbkText& path) {
  std::unique_lock<std::mutex> hold(mutex_);
  if (held_.count(path) != 0) {
    ++waits_;
    if (!held_[path] && other_install_) {
      const auto other = other_install_;
      hold.unlock();
      other(path);
      hold.lock();
    }
    released_.wait(hold, [&] { return held_.count(path) == 0; });
  }
  held_[path] = true;
  ++taken_;
  return std::make_unique<Turn>(*this, path);
}

}  // namespace host
