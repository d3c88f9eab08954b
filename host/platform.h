// Files as the programs open them. Paths are GBK bytes with "\" as the
// separator; the one implementation (platform_files.cpp) holds the OS split.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host {

using GbkText = std::string;

// An open file. Every call reports failure instead of throwing.
class File {
 public:
  virtual ~File() = default;

  // Reads up to `size` bytes at `offset`; answers how many were read (fewer at
  // the end of the file, 0 past it or on an error).
  virtual std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) = 0;
  // Writes all `size` bytes at `offset`, growing the file when it lies past the
  // end. False when not every byte was written.
  virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
  // The file's length in bytes; false on an error.
  virtual bool Length(std::uint64_t* length) = 0;
  // Pushes what was written to the disk; false on an error.
  virtual bool Flush() = 0;
  // Closes the file (the destructor closes too); false when closing reported an
  // error. Later calls do nothing and answer true.
  virtual bool Close() = 0;
};

// A file written in place of another and put there only once complete: the
// bytes go to a new file beside the target, under a name that no file had
// (created exclusively, and not shared while it is written), which Commit
// renames over the target. Dropped without a commit, or when the commit fails,
// that new file is removed, and only it: any file at the target, and any other
// file beside it, stays as it was.
class Replacement {
 public:
  virtual ~Replacement() = default;
  // As File::WriteAt, in the new file.
  virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;
  // Pushes the new file to the disk, then renames it over the target; false
  // when any step failed. Called once.
  virtual bool Commit() = 0;
};

class Files {
 public:
  virtual ~Files() = default;

  // Opens an existing file for reading and writing with no sharing restriction
  // (others may read and write it meanwhile). Null when it cannot be opened so:
  // missing, read-only, locked, a directory.
  virtual std::unique_ptr<File> OpenExisting(const GbkText& path) = 0;
  // Opens an existing file for reading only, shared for reading and writing
  // with others. Null when it cannot be opened so: missing, locked, a
  // directory. Writes to it fail.
  virtual std::unique_ptr<File> OpenForReading(const GbkText& path) = 0;
  // The whole file's bytes; false when it cannot be opened or read.
  virtual bool ReadWholeFile(const GbkText& path, std::string* bytes) = 0;
  // Creates the file, or truncates an existing one, and writes `bytes` in one
  // operation; false when not every byte was written.
  virtual bool WriteWholeFile(const GbkText& path, const std::string& bytes) = 0;
  // Writes `bytes` to a new file beside `path` (as StartReplacing), then
  // renames it over `path`: a failure leaves any existing file at `path` as it
  // was.
  // The file's bytes may come in parts, written one after the other.
  virtual bool ReplaceWholeFile(const GbkText& path, const std::vector<std::string_view>& parts) = 0;
  // The same written piece by piece, for a file too large to hold whole; null
  // when the new file cannot be created.
  virtual std::unique_ptr<Replacement> StartReplacing(const GbkText& path) = 0;
  bool ReplaceWholeFile(const GbkText& path, const std::string& bytes) {
    return ReplaceWholeFile(path, std::vector<std::string_view>{bytes});
  }
};

// The machine's own file system.
Files& PlatformFiles();

// A program path as this system's file functions take it: unchanged on
// Windows; on POSIX, where only tests run, "\" separators become "/" (a GBK
// trail byte 0x5C stays).
std::string NativePath(const GbkText& path);

}  // namespace host
