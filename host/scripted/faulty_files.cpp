#include "host/scripted/faulty_files.h"

namespace host {

class FaultyFile final : public File {
 public:
  FaultyFile(FaultyFiles& owner, std::unique_ptr<File> inner) : owner_(owner), inner_(std::move(inner)) {}

  std::size_t ReadAt(std::uint64_t offset, void* data, std::size_t size) override {
    if (owner_.NextReadIsShort()) size /= 2;
    return inner_->ReadAt(offset, data, size);
  }
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    if (owner_.NextWriteFails()) return false;
    const bool ok = inner_->WriteAt(offset, data, size);
    owner_.AfterWrite();
    return ok;
  }
  bool Length(std::uint64_t* length) override { return inner_->Length(length); }
  bool Flush() override { return !owner_.NextFlushFails() && inner_->Flush(); }
  bool Close() override { return inner_->Close(); }

 private:
  FaultyFiles& owner_;
  std::unique_ptr<File> inner_;
};

class FaultyReplacement final : public Replacement {
 public:
  FaultyReplacement(FaultyFiles& owner, std::unique_ptr<Replacement> inner) : owner_(owner), inner_(std::move(inner)) {}

  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    if (owner_.NextWriteFails()) return false;
    const bool ok = inner_->WriteAt(offset, data, size);
    owner_.AfterWrite();
    return ok;
  }
  bool Commit() override { return !owner_.NextFlushFails() && inner_->Commit(); }

 private:
  FaultyFiles& owner_;
  std::unique_ptr<Replacement> inner_;
};

std::unique_ptr<File> FaultyFiles::Wrap(std::unique_ptr<File> file) {
  if (!file) return nullptr;
  return std::make_unique<FaultyFile>(*this, std::move(file));
}

std::unique_ptr<File> FaultyFiles::OpenExisting(const GbkText& path) { return Wrap(inner_.OpenExisting(path)); }

std::unique_ptr<File> FaultyFiles::OpenForReading(const GbkText& path) { return Wrap(inner_.OpenForReading(path)); }

bool FaultyFiles::ReadWholeFile(const GbkText& path, std::string* bytes) {
  if (NextReadIsShort()) return false;
  return inner_.ReadWholeFile(path, bytes);
}

bool FaultyFiles::WriteWholeFile(const GbkText& path, const std::string& bytes) {
  if (NextWriteFails()) return false;
  const bool ok = inner_.WriteWholeFile(path, bytes);
  AfterWrite();
  return ok;
}

bool FaultyFiles::ReplaceWholeFile(const GbkText& path, const std::vector<std::string_view>& parts) {
  if (NextWriteFails()) return false;
  const bool ok = inner_.ReplaceWholeFile(path, parts);
  AfterWrite();
  return ok;
}

std::unique_ptr<Replacement> FaultyFiles::StartReplacing(const GbkText& path) {
  std::unique_ptr<Replacement> file = inner_.StartReplacing(path);
  if (!file) return nullptr;
  return std::make_unique<FaultyReplacement>(*this, std::move(file));
}

}  // namespace host
