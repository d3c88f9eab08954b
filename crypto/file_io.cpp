// The one place of the library with platform headers: the files of the file
// and digest commands, with the Win32 and POSIX versions side by side.
#include "crypto/file_io.h"

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
#endif

#include <atomic>

namespace crypto {
namespace {

constexpr char kOpenFailed[] = "Cannot open file";
constexpr char kCreateFailed[] = "Cannot create file";
constexpr char kReadFailed[] = "Stream read error";
constexpr char kWriteFailed[] = "Stream write error";

const char* OrEmpty(const char* path) { return path == nullptr ? "" : path; }

constexpr std::uint64_t kNoFault = ~std::uint64_t{0};
std::atomic<std::uint64_t> g_read_fault{kNoFault};

#ifdef _WIN32

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }
std::intptr_t FromHandle(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }
const std::intptr_t kNoHandle = FromHandle(INVALID_HANDLE_VALUE);

DWORD ShareMode(FileSharing sharing) {
  switch (sharing) {
    case FileSharing::kNone:
      return 0;
    case FileSharing::kReadersAndWriters:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
    case FileSharing::kReaders:
      break;
  }
  return FILE_SHARE_READ;
}

#else

const std::intptr_t kNoHandle = -1;
int AsFd(std::intptr_t h) { return static_cast<int>(h); }

#endif

}  // namespace

#ifdef _WIN32

bool IsExistingFile(const char* path) noexcept {
  const DWORD attributes = GetFileAttributesA(OrEmpty(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

InputFile::InputFile(const char* path, FileSharing sharing)
    : handle_(FromHandle(CreateFileA(OrEmpty(path), GENERIC_READ, ShareMode(sharing), nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr))) {
  if (handle_ == kNoHandle) throw FileError(kOpenFailed);
}

InputFile::~InputFile() { CloseHandle(AsHandle(handle_)); }

std::uint64_t InputFile::Size() const {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(AsHandle(handle_), &size)) throw FileError(kReadFailed);
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::uint32_t InputFile::ReadFromSystem(void* buffer, std::uint32_t n) {
  auto* p = static_cast<std::uint8_t*>(buffer);
  std::uint32_t total = 0;
  while (total < n) {
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), p + total, n - total, &got, nullptr)) throw FileError(kReadFailed);
    if (got == 0) break;
    total += got;
  }
  return total;
}

bool InputFile::IsSameFileAs(const char* path) const noexcept {
  // No access rights asked for, so the source's sharing mode does not refuse
  // the open; backup semantics let a directory open too.
  const HANDLE other = CreateFileA(OrEmpty(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION a, b;
  const bool same = GetFileInformationByHandle(AsHandle(handle_), &a) && GetFileInformationByHandle(other, &b) &&
                    a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
                    a.nFileIndexLow == b.nFileIndexLow;
  CloseHandle(other);
  return same;
}

OutputFile::OutputFile(const char* path)
    : handle_(FromHandle(CreateFileA(OrEmpty(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr))) {
  if (handle_ == kNoHandle) throw FileError(kCreateFailed);
}

OutputFile::~OutputFile() { CloseHandle(AsHandle(handle_)); }

void OutputFile::Write(const void* buffer, std::uint32_t n) {
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  while (n > 0) {
    DWORD put = 0;
    if (!WriteFile(AsHandle(handle_), p, n, &put, nullptr) || put == 0) throw FileError(kWriteFailed);
    p += put;
    n -= put;
  }
}

#else

bool IsExistingFile(const char* path) noexcept {
  struct stat st;
  return stat(OrEmpty(path), &st) == 0 && S_ISREG(st.st_mode);
}

InputFile::InputFile(const char* path, FileSharing /*sharing*/)
    : handle_(open(OrEmpty(path), O_RDONLY | O_CLOEXEC)) {
  struct stat st;
  if (handle_ >= 0 && (fstat(AsFd(handle_), &st) != 0 || !S_ISREG(st.st_mode))) {
    close(AsFd(handle_));
    handle_ = kNoHandle;
  }
  if (handle_ == kNoHandle) throw FileError(kOpenFailed);
}

InputFile::~InputFile() { close(AsFd(handle_)); }

std::uint64_t InputFile::Size() const {
  struct stat st;
  if (fstat(AsFd(handle_), &st) != 0) throw FileError(kReadFailed);
  return static_cast<std::uint64_t>(st.st_size);
}

std::uint32_t InputFile::ReadFromSystem(void* buffer, std::uint32_t n) {
  auto* p = static_cast<std::uint8_t*>(buffer);
  std::uint32_t total = 0;
  while (total < n) {
    const ssize_t got = read(AsFd(handle_), p + total, n - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileError(kReadFailed);
    if (got == 0) break;
    total += static_cast<std::uint32_t>(got);
  }
  return total;
}

bool InputFile::IsSameFileAs(const char* path) const noexcept {
  struct stat a, b;
  return fstat(AsFd(handle_), &a) == 0 && stat(OrEmpty(path), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

OutputFile::OutputFile(const char* path)
    : handle_(open(OrEmpty(path), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
  if (handle_ == kNoHandle) throw FileError(kCreateFailed);
}

OutputFile::~OutputFile() { close(AsFd(handle_)); }

void OutputFile::Write(const void* buffer, std::uint32_t n) {
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  while (n > 0) {
    const ssize_t put = write(AsFd(handle_), p, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) throw FileError(kWriteFailed);
    p += put;
    n -= static_cast<std::uint32_t>(put);
  }
}

#endif

std::uint32_t InputFile::Read(void* buffer, std::uint32_t n) {
  const std::uint32_t got = ReadFromSystem(buffer, n);
  if (position_ + got > g_read_fault.load(std::memory_order_relaxed)) throw FileError(kReadFailed);
  position_ += got;
  return got;
}

ReadFaultForTests::ReadFaultForTests(std::uint64_t offset) { g_read_fault.store(offset); }
ReadFaultForTests::~ReadFaultForTests() { g_read_fault.store(kNoFault); }

void InputFile::Write(const void*, std::uint32_t) { throw FileError(kWriteFailed); }
std::uint32_t OutputFile::Read(void*, std::uint32_t) { throw FileError(kReadFailed); }

}  // namespace crypto
