// A file layer for tests that passes everything to another one and breaks one
// chosen write or read on purpose, to show what an operation leaves behind
// when the disk fails or the process dies half way.
#pragma once

#include <memory>

#include "host/platform.h"

namespace host {

// Thrown by FaultyFiles to stop an operation as if the process had been killed
// right after a write: nothing after it runs, nothing is cleaned up except by
// destructors (which only close files).
struct SimulatedCrash {
  int after_write;
};

class FaultyFiles : public Files {
 public:
  explicit FaultyFiles(Files& inner) : inner_(inner) {}

  // Writes are counted from 1 over every file opened through this layer,
  // whole-file writes included.
  // The k-th write writes nothing and fails.
  void FailWrite(int k) { fail_write_ = k; }
  // The k-th write is done, then SimulatedCrash is thrown.
  void CrashAfterWrite(int k) { crash_after_write_ = k; }
  // The k-th read (counted like writes) reads only half of what it could.
  void ShortRead(int k) { short_read_ = k; }
  // The k-th flush fails.
  void FailFlush(int k) { fail_flush_ = k; }

  int writes() const { return writes_; }
  int reads() const { return reads_; }
  int flushes() const { return flushes_; }

  std::unique_ptr<File> OpenExisting(const GbkText& path) override;
  std::unique_ptr<File> OpenForReading(const GbkText& path) override;
  bool ReadWholeFile(const GbkText& path, std::string* bytes) override;
  bool WriteWholeFile(const GbkText& path, const std::string& bytes) override;
  using Files::ReplaceWholeFile;
  bool ReplaceWholeFile(const GbkText& path, const std::vector<std::string_view>& parts) override;
  // Each write to the new file counts as one, the commit as a flush. The new
  // file is the inner layer's, named and removed by it.
  std::unique_ptr<Replacement> StartReplacing(const GbkText& path) override;

 private:
  friend class FaultyFile;
  friend class FaultyReplacement;
  // An inner layer's file whose operations count here; null stays null.
  std::unique_ptr<File> Wrap(std::unique_ptr<File> file);
  // Each answers whether this operation is the one to break.
  bool NextWriteFails() { return ++writes_ == fail_write_; }
  void AfterWrite() const {
    if (writes_ == crash_after_write_) throw SimulatedCrash{writes_};
  }
  bool NextReadIsShort() { return ++reads_ == short_read_; }
  bool NextFlushFails() { return ++flushes_ == fail_flush_; }

  Files& inner_;
  int fail_write_ = 0;
  int crash_after_write_ = 0;
  int short_read_ = 0;
  int fail_flush_ = 0;
  int writes_ = 0;
  int reads_ = 0;
  int flushes_ = 0;
};

}  // namespace host
