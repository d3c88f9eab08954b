// The file layer on both systems. Windows takes the GBK path through the ANSI
// functions, which follow the system code page (936 on the programs'
// machines); POSIX, where only the tests run, takes the bytes as they are after
// turning the programs' "\" separators into "/".
#include "host/platform.h"

#include <algorithm>
#include <limits>
#include <utility>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#endif

namespace host {
namespace {

// One system call moves at most this much, so counts fit every API's type.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
// Names tried for a replacement's new file before giving up.
constexpr int kTempNameAttempts = 1000;

#ifdef _WIN32

using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;

Handle OpenHandle(const GbkText& path, DWORD access, DWORD disposition) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}
Handle OpenReadWrite(const GbkText& path) { return OpenHandle(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING); }
Handle OpenReadOnly(const GbkText& path) { return OpenHandle(path, GENERIC_READ, OPEN_EXISTING); }
Handle CreateTruncated(const GbkText& path) { return OpenHandle(path, GENERIC_WRITE, CREATE_ALWAYS); }
// A file of a name nothing has yet, not shared while it is written. *taken
// tells a name in use (a file or a folder) from any other failure.
Handle CreateNew(const GbkText& path, bool* taken) {
  const Handle h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = h == kNoHandle ? GetLastError() : ERROR_SUCCESS;
  *taken = h == kNoHandle && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                              GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES);
  return h;
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// One transfer of at most kMaxChunk bytes; answers the count moved, -1 on error.
long long ReadSome(Handle h, std::uint64_t offset, void* data, std::size_t size) {
  OVERLAPPED at = At(offset);
  DWORD got = 0;
  if (!ReadFile(h, data, static_cast<DWORD>(size), &got, &at))
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  return got;
}
long long WriteSome(Handle h, std::uint64_t offset, const void* data, std::size_t size) {
  OVERLAPPED at = At(offset);
  DWORD put = 0;
  if (!WriteFile(h, data, static_cast<DWORD>(size), &put, &at)) return -1;
  return put;
}
bool HandleLength(Handle h, std::uint64_t* length) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h, &size)) return false;
  *length = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}
bool FlushHandle(Handle h) { return FlushFileBuffers(h) != 0; }
bool CloseTheHandle(Handle h) { return CloseHandle(h) != 0; }
bool RenameReplacing(const GbkText& from, const GbkText& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
void RemoveFile(const GbkText& path) { DeleteFileA(path.c_str()); }

#else

using Handle = int;
const Handle kNoHandle = -1;

Handle OpenReadWrite(const GbkText& path) {
  const Handle h = open(NativePath(path).c_str(), O_RDWR | O_CLOEXEC);
  struct stat st;
  if (h >= 0 && (fstat(h, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(h);
    return kNoHandle;
  }
  return h;
}
Handle OpenReadOnly(const GbkText& path) {
  const Handle h = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (h >= 0 && (fstat(h, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(h);
    return kNoHandle;
  }
  return h;
}
Handle CreateTruncated(const GbkText& path) {
  return open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}
Handle CreateNew(const GbkText& path, bool* taken) {
  const Handle h = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  *taken = h == kNoHandle && errno == EEXIST;
  return h;
}

long long ReadSome(Handle h, std::uint64_t offset, void* data, std::size_t size) {
  for (;;) {
    const ssize_t got = pread(h, data, size, static_cast<off_t>(offset));
    if (got >= 0) return got;
    if (errno != EINTR) return -1;
  }
}
long long WriteSome(Handle h, std::uint64_t offset, const void* data, std::size_t size) {
  for (;;) {
    const ssize_t put = pwrite(h, data, size, static_cast<off_t>(offset));
    if (put >= 0) return put;
    if (errno != EINTR) return -1;
  }
}
bool HandleLength(Handle h, std::uint64_t* length) {
  struct stat st;
  if (fstat(h, &st) != 0) return false;
  *length = static_cast<std::uint64_t>(st.st_size);
  return true;
}
bool FlushHandle(Handle h) { return fsync(h) == 0; }
bool CloseTheHandle(Handle h) { return close(h) == 0; }
bool RenameReplacing(const GbkText& from, const GbkText& to) {
  return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}
void RemoveFile(const GbkText& path) { unlink(NativePath(path).c_str()); }

#endif

std::size_t ReadAll(Handle h, std::uint64_t offset, void* data, std::size_t size) {
  auto* p = static_cast<char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const long long got = ReadSome(h, offset + done, p + done, std::min(size - done, kMaxChunk));
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

bool WriteAll(Handle h, std::uint64_t offset, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const long long put = WriteSome(h, offset + done, p + done, std::min(size - done, kMaxChunk));
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

class PlatformFile final : public File {
 public:
  explicit PlatformFile(Handle h) : handle_(h) {}
  ~PlatformFile() override { Close(); }
  PlatformFile(const PlatformFile&) = delete;
  PlatformFile& operator=(const PlatformFile&) = delete;

  std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) override {
    return handle_ == kNoHandle ? 0 : ReadAll(handle_, offset, data, size);
  }
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    return handle_ != kNoHandle && WriteAll(handle_, offset, data, size);
  }
  bool Length(std::uint64_t* length) override { return handle_ != kNoHandle && HandleLength(handle_, length); }
  bool Flush() override { return handle_ != kNoHandle && FlushHandle(handle_); }
  bool Close() override {
    if (handle_ == kNoHandle) return true;
    const bool ok = CloseTheHandle(handle_);
    handle_ = kNoHandle;
    return ok;
  }

 private:
  Handle handle_;
};

// The new file is one this replacement created itself, so it is the only file
// it ever removes.
class PlatformReplacement final : public Replacement {
 public:
  PlatformReplacement(GbkText path, GbkText temp, Handle h) : path_(std::move(path)), temp_(std::move(temp)), file_(h) {}
  ~PlatformReplacement() override {
    if (committed_) return;
    file_.Close();
    RemoveFile(temp_);
  }
  PlatformReplacement(const PlatformReplacement&) = delete;
  PlatformReplacement& operator=(const PlatformReplacement&) = delete;

  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    return file_.WriteAt(offset, data, size);
  }
  bool Commit() override {
    bool ok = file_.Flush();
    ok = file_.Close() && ok;
    committed_ = ok && RenameReplacing(temp_, path_);
    return committed_;
  }

 private:
  GbkText path_;
  GbkText temp_;
  PlatformFile file_;
  bool committed_ = false;
};

class PlatformFileSystem final : public Files {
 public:
  std::unique_ptr<File> OpenExisting(const GbkText& path) override {
    const Handle h = OpenReadWrite(path);
    if (h == kNoHandle) return nullptr;
    return std::make_unique<PlatformFile>(h);
  }

  bool ReadWholeFile(const GbkText& path, std::string* bytes) override {
    PlatformFile file(OpenReadOnly(path));
    std::uint64_t length = 0;
    if (!file.Length(&length) || length > std::numeric_limits<std::size_t>::max() / 2) return false;
    std::string data(static_cast<std::size_t>(length), '\0');
    if (file.ReadAt(0, &data[0], data.size()) != data.size()) return false;
    *bytes = std::move(data);
    return true;
  }

  bool WriteWholeFile(const GbkText& path, const std::string& bytes) override {
    PlatformFile file(CreateTruncated(path));
    const bool written = file.WriteAt(0, bytes.data(), bytes.size());
    return file.Close() && written;
  }

  using Files::ReplaceWholeFile;
  bool ReplaceWholeFile(const GbkText& path, const std::vector<std::string_view>& parts) override {
    const std::unique_ptr<Replacement> file = StartReplacing(path);
    if (!file) return false;
    std::uint64_t at = 0;
    for (std::string_view part : parts) {
      if (!file->WriteAt(at, part.data(), part.size())) return false;
      at += part.size();
    }
    return file->Commit();
  }

  // path + ".tmp", or path + ".1.tmp", ".2.tmp" and so on when a file of that
  // name is there already (the user's own, or one left by a killed run): such
  // a file is never opened, truncated or removed.
  std::unique_ptr<Replacement> StartReplacing(const GbkText& path) override {
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
      GbkText temp = path + (attempt == 0 ? GbkText() : "." + std::to_string(attempt)) + ".tmp";
      bool taken = false;
      const Handle h = CreateNew(temp, &taken);
      if (h != kNoHandle) return std::make_unique<PlatformReplacement>(path, std::move(temp), h);
      if (!taken) return nullptr;
    }
    return nullptr;
  }

  std::unique_ptr<File> OpenForReading(const GbkText& path) override {
    const Handle h = OpenReadOnly(path);
    if (h == kNoHandle) return nullptr;
    return std::make_unique<PlatformFile>(h);
  }
};

}  // namespace

#ifdef _WIN32
std::string NativePath(const GbkText& path) { return path; }
#else
// "\" is a separator only where it is a character of its own: a GBK trail byte
// 0x5C stays.
std::string NativePath(const GbkText& path) {
  std::string out = path;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (static_cast<unsigned char>(out[i]) >= 0x80) {
      ++i;
    } else if (out[i] == '\\') {
      out[i] = '/';
    }
  }
  return out;
}
#endif

Files& PlatformFiles() {
  static PlatformFileSystem files;
  return files;
}

}  // namespace host
