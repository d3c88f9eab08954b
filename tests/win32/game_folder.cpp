#include "tests/win32/game_folder.h"

#include <windows.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>

namespace game {
namespace {

// The archive's layout: a 50-byte header, the entry count, then 304-byte
// entries of a 260-byte name field and three 32-bit numbers (stream offset,
// stored size, inflated size) before 32 reserved bytes.
constexpr std::size_t kCountAt = 50;
constexpr std::size_t kIndexAt = 54;
constexpr std::size_t kEntrySize = 304;
constexpr std::size_t kNameSize = 260;

void PutLe32(std::string* out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<char>(value >> (8 * i));
}

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::string Inflate(const std::string& stream, std::size_t size, bool* ok) {
  std::string out(size, '\0');
  uLongf got = static_cast<uLongf>(size);
  int status = uncompress(reinterpret_cast<Bytef*>(&out[0]), &got, reinterpret_cast<const Bytef*>(stream.data()),
                          static_cast<uLong>(stream.size()));
  // An empty file may be stored as no stream at all.
  *ok = (status == Z_OK && got == size) || (size == 0 && stream.empty());
  return out;
}

}  // namespace

std::string ToGbk(const std::wstring& text) {
  if (text.empty()) return std::string();
  int n = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring FromGbk(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::string Content(const std::wstring& tag, std::size_t size) {
  // Lines of a few recurring words, picked by a generator seeded from the tag.
  static const char* const kWords[] = {"sprite", "quest", "mana", "north",  "gate", "0x3f", "npc",   "loot",
                                       "river",  "=",     "12",   "dragon", "{",    "}",    "level", "shop"};
  std::uint32_t state = 2166136261u;
  for (wchar_t c : tag) state = (state ^ static_cast<std::uint32_t>(c)) * 16777619u;
  std::string out = ToGbk(tag) + "\n";
  while (out.size() < size) {
    state = state * 1664525u + 1013904223u;
    out += kWords[state >> 28];
    out += (state & 0x300) == 0 ? '\n' : ' ';
    if ((state & 0xF000) == 0) out += static_cast<char>(state >> 16);  // a stray binary byte
  }
  out.resize(size);
  return out;
}

std::vector<File> OriginalFiles() {
  const std::vector<std::pair<std::wstring, std::size_t>> files = {
      {L"..\\data\\ui\\login.png", 24000},     {L"..\\data\\ui\\button.png", 8000},
      {L"..\\script\\quest\\main.lua", 12000}, {L"..\\sound\\bgm\\town.ogg", 60000},
      {L"..\\map\\0001.map", 30000},           {L"..\\data\\文本\\任务.txt", 5000},
      {L"..\\data\\文本\\对话.txt", 7000},     {L"..\\config\\client.ini", 900},
  };
  std::vector<File> out;
  for (const auto& [name, size] : files) out.push_back({name, Content(L"v1 " + name, size)});
  return out;
}

std::string Deflate(const std::string& bytes) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(bytes.data()),
            static_cast<uLong>(bytes.size()), Z_BEST_COMPRESSION);
  out.resize(size);
  return out;
}

std::string ArchiveHeader() {
  std::string header = "VNT1 Qelmar client data, built for the e2e run";
  header.resize(kCountAt, '\x01');
  return header;
}

std::string BuildArchive(const std::vector<File>& files) {
  std::string out = ArchiveHeader();
  out.resize(kIndexAt + files.size() * kEntrySize, '\0');
  PutLe32(&out, kCountAt, static_cast<std::uint32_t>(files.size()));
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string stream = Deflate(files[i].content);
    const std::size_t entry = kIndexAt + i * kEntrySize;
    const std::string name = ToGbk(files[i].name);
    std::memcpy(&out[entry], name.data(), name.size());
    PutLe32(&out, entry + kNameSize, static_cast<std::uint32_t>(out.size()));
    PutLe32(&out, entry + kNameSize + 4, static_cast<std::uint32_t>(stream.size()));
    PutLe32(&out, entry + kNameSize + 8, static_cast<std::uint32_t>(files[i].content.size()));
    for (std::size_t r = 0; r < 32; ++r) out[entry + kNameSize + 12 + r] = static_cast<char>(i + r);
    out += stream;
  }
  return out;
}

std::string ReadArchive(const std::string& archive, std::vector<File>* files) {
  files->clear();
  if (archive.size() < kIndexAt) return "shorter than its header";
  if (archive.compare(0, kCountAt, ArchiveHeader()) != 0) return "the game's header changed";
  const std::uint32_t count = Le32(archive, kCountAt);
  if (count > (archive.size() - kIndexAt) / kEntrySize) return "the count runs past the file";
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = kIndexAt + i * kEntrySize;
    const char* field = &archive[entry];
    const std::size_t length = strnlen(field, kNameSize);
    if (length == kNameSize) return "entry " + std::to_string(i) + " has no end to its name";
    const std::wstring name = FromGbk(std::string(field, length));
    const std::uint32_t offset = Le32(archive, entry + kNameSize);
    const std::uint32_t stored = Le32(archive, entry + kNameSize + 4);
    const std::uint32_t size = Le32(archive, entry + kNameSize + 8);
    const std::string where = "entry " + std::to_string(i) + " (" + std::string(field, length) + ")";
    if (offset < kIndexAt + count * kEntrySize && stored > 0) return where + " points into the index";
    if (offset > archive.size() || stored > archive.size() - offset) return where + " points past the file";
    bool ok = false;
    std::string content = Inflate(archive.substr(offset, stored), size, &ok);
    if (!ok) return where + " does not inflate to its size";
    files->push_back({name, content});
  }
  return std::string();
}

std::string CompareArchive(const std::string& archive, const std::vector<File>& expected) {
  std::vector<File> found;
  std::string fault = ReadArchive(archive, &found);
  if (!fault.empty()) return fault;
  if (found.size() != expected.size())
    return std::to_string(found.size()) + " entries instead of " + std::to_string(expected.size());
  for (std::size_t i = 0; i < found.size(); ++i) {
    const std::string where = "entry " + std::to_string(i) + " (" + ToGbk(expected[i].name) + ")";
    if (found[i].name != expected[i].name) return where + " is named " + ToGbk(found[i].name);
    if (found[i].content != expected[i].content) return where + " holds other bytes";
  }
  return std::string();
}

std::vector<File> Updated(std::vector<File> files, const std::vector<File>& update, bool add_missing) {
  for (const File& file : update) {
    bool replaced = false;
    for (File& old : files) {
      if (old.name == file.name) {
        old.content = file.content;
        replaced = true;
        break;
      }
    }
    if (!replaced && add_missing) files.push_back(file);
  }
  return files;
}

}  // namespace game
