// Files for the file and digest commands. A path is the command's GBK text:
// Windows takes it through the ANSI functions (which follow the system code
// page, 936 on the programs' machines), POSIX takes the bytes as they are. A
// null path is the empty one. Every failure raises FileError; the commands
// catch it.
#pragma once

#include <cstdint>

#include "crypto/errors.h"
#include "crypto/stream.h"

namespace crypto {

class FileError : public Exception {
  using Exception::Exception;
};

// True when a regular file exists at the path (a directory does not count).
// Never raises.
bool IsExistingFile(const char* path) noexcept;

// Who else may open a file while an InputFile holds it, where the system can
// refuse them (Windows share modes; POSIX has none, so there every open is an
// ordinary one).
enum class FileSharing {
  kReaders,            // others may read it, not write it
  kNone,               // exclusive: the open fails while another handle holds it
  kReadersAndWriters,  // others may read and write it meanwhile
};

// An existing regular file opened for reading (a directory does not open).
class InputFile final : public ByteStream {
 public:
  explicit InputFile(const char* path, FileSharing sharing = FileSharing::kReaders);
  ~InputFile() override;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  std::uint64_t Size() const;
  // Fills the buffer up to n bytes; fewer only at the end of the file. A read
  // the system refuses raises FileError: it is no end of the file.
  std::uint32_t Read(void* buffer, std::uint32_t n) override;
  // Raises: the file is read-only.
  void Write(const void* buffer, std::uint32_t n) override;

  // True when the path names this very file, by identity rather than by
  // spelling (device and inode; volume serial and file index on Windows), so
  // links, "." and "..", and case differences are all caught. False when
  // nothing is at the path. Never raises.
  bool IsSameFileAs(const char* path) const noexcept;

 private:
  std::uint32_t ReadFromSystem(void* buffer, std::uint32_t n);

  std::intptr_t handle_;
  std::uint64_t position_ = 0;
};

// A failing disk for tests: while one lives, a read of an InputFile that would
// hand back the byte at `offset` of its file, or one after it, raises
// FileError instead, as a read over a bad sector does. One at a time.
class ReadFaultForTests {
 public:
  explicit ReadFaultForTests(std::uint64_t offset);
  ~ReadFaultForTests();
  ReadFaultForTests(const ReadFaultForTests&) = delete;
  ReadFaultForTests& operator=(const ReadFaultForTests&) = delete;
};

// A file created for writing, or emptied when it exists.
class OutputFile final : public ByteStream {
 public:
  explicit OutputFile(const char* path);
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Raises: the file is write-only.
  std::uint32_t Read(void* buffer, std::uint32_t n) override;
  // Writes all n bytes or raises.
  void Write(const void* buffer, std::uint32_t n) override;

 private:
  std::intptr_t handle_;
};

}  // namespace crypto
