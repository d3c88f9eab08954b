#include "patchmaker/patch_file.h"

#include <zlib.h>

#include <cstring>
#include <limits>
#include <string_view>

#include "crypto/abi.h"
#include "host/binding.h"

static_assert(sizeof("中") == 3, "compile with -fexec-charset=GBK");

namespace patchmaker {
namespace {

// Bytes 17 to 111 of both banners.
constexpr char kDedication[] = "献给《Qelmar》的每一位冒险者：愿旅途平安，愿宝物永不失落，愿你的名字与群山星辰同在。Good luck!!";
static_assert(sizeof(kDedication) == 95 + 1, "the dedication fills bytes 17 to 111");

// The place of the cryptography library in the program's list of libraries;
// the command entries do not look at it.
constexpr int kCryptoLibraryIndex = 0;

GbkText MakeBanner(char version_digit) {
  GbkText banner = "QelPATCH V0.";
  banner += version_digit;
  banner += "    ";
  banner += kDedication;
  return banner;
}

// A text read from a file ends at the first zero or 0x1A byte.
GbkText TextOf(const char* data, std::size_t n) {
  std::size_t end = 0;
  while (end < n && data[end] != '\0' && data[end] != '\x1a') ++end;
  return GbkText(data, end);
}

std::int32_t Int32At(const unsigned char* p) {
  const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                          static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  return static_cast<std::int32_t>(v);
}

void AppendInt32(Bytes* out, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<char>((v >> shift) & 0xFF));
}

std::uint64_t PointerValue(const void* p) { return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(p)); }

// Overwrites a restored key before its memory goes back.
void Wipe(GbkText* key) {
  volatile char* p = key->empty() ? nullptr : &(*key)[0];
  for (std::size_t i = 0; i < key->size(); ++i) p[i] = 0;
  key->clear();
}

// SplitGbk's pieces as views of `text`: a patch's index is split without a
// copy of each line and field.
void SplitGbkViews(std::string_view text, std::string_view separator, std::vector<std::string_view>* pieces) {
  pieces->clear();
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      i += 2;
    } else if (!separator.empty() && c == separator[0] && text.compare(i, separator.size(), separator) == 0) {
      pieces->push_back(text.substr(start, i - start));
      i += separator.size();
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) pieces->push_back(text.substr(start));
}

}  // namespace

const GbkText& PatchBanner(PatchVersion version) {
  static const GbkText v01 = MakeBanner('1');
  static const GbkText v02 = MakeBanner('2');
  return version == PatchVersion::kV01 ? v01 : v02;
}

// zlib's compress() at its default level of the 22 PatchKey bytes.
const unsigned char kPatchKeyStreamData[30] = {0x78, 0x9c, 0xf3, 0x36, 0x57, 0x2d, 0x4b, 0x8a, 0x35, 0xaa,
                                               0xdb, 0xbb, 0x36, 0xa8, 0xc4, 0x52, 0xa3, 0xd0, 0x61, 0xd7,
                                               0xe5, 0xa8, 0xbc, 0x5d, 0x8b, 0x01, 0x60, 0x65, 0x09, 0x81};

Bytes DefaultPatchKeyStream() {
  return Bytes(reinterpret_cast<const char*>(kPatchKeyStreamData), sizeof(kPatchKeyStreamData));
}

Bytes InflateRawStream(const Bytes& stream, int length) {
  if (stream.empty() || length < 0) return {};
  const std::size_t bound = 2 * static_cast<std::size_t>(length);
  // One byte beyond the bound tells a stream that is too long from one that fits.
  Bytes out(bound + 1, '\0');
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return {};
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  const std::size_t produced = z.total_out;
  inflateEnd(&z);
  if (rc != Z_STREAM_END || produced > bound) return {};
  out.resize(produced);
  return out;
}

GbkText RestorePatchKey(const Bytes& key_stream) {
  Bytes bytes = InflateRawStream(key_stream, kPatchKeyLength);
  GbkText key(bytes.c_str());
  Wipe(&bytes);
  return key;
}

std::vector<GbkText> SplitGbk(const GbkText& text, const GbkText& separator) {
  std::vector<std::string_view> views;
  SplitGbkViews(text, separator, &views);
  return std::vector<GbkText>(views.begin(), views.end());
}

std::int32_t ReadIndexNumber(std::string_view field) {
  std::size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t kCeiling = std::int64_t{1} << 32;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
    if (value > kCeiling) value = kCeiling;
  }
  // The digits after a decimal point are cut off with the fraction.
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

GbkText BuildIndexText(const std::vector<PatchIndexLine>& lines) {
  GbkText text;
  for (const PatchIndexLine& line : lines) {
    text += line.name;
    text += kFieldSeparator + std::to_string(line.offset);
    text += kFieldSeparator + std::to_string(line.compressed_size);
    text += kFieldSeparator + std::to_string(line.uncompressed_size);
    text += kLineSeparator;
  }
  return text;
}

GbkText EncryptPatchIndex(const GbkText& index_text, const Bytes& key_stream) {
  Bytes block;
  AppendInt32(&block, 1);
  AppendInt32(&block, static_cast<std::int32_t>(index_text.size()));
  block += index_text;
  GbkText key = RestorePatchKey(key_stream);
  CommandArg args[3] = {{PointerValue(block.data()), kTypeBytes},
                        {PointerValue(key.c_str()), kTypeText},
                        {static_cast<std::uint32_t>(kPatchKeyAlgorithm), kTypeInteger}};
  GbkText stored = host::TakeText(host::DispatchCommand(&host::encodebin_stub, kCryptoLibraryIndex, args, 3));
  Wipe(&key);
  return stored;
}

GbkText DecryptPatchIndex(const GbkText& stored_index, const Bytes& key_stream) {
  GbkText key = RestorePatchKey(key_stream);
  CommandArg args[3] = {{PointerValue(stored_index.c_str()), kTypeText},
                        {PointerValue(key.c_str()), kTypeText},
                        {static_cast<std::uint32_t>(kPatchKeyAlgorithm), kTypeInteger}};
  const Bytes bytes = host::TakeBytes(host::DispatchCommand(&host::decodebin_stub, kCryptoLibraryIndex, args, 3));
  Wipe(&key);
  return GbkText(bytes.c_str());
}

Bytes PatchFileHeader(PatchVersion version, std::int32_t entry_count, std::int32_t data_length) {
  Bytes header = PatchBanner(version);
  AppendInt32(&header, entry_count);
  AppendInt32(&header, data_length);
  return header;
}

Bytes AssemblePatchFile(PatchVersion version, std::int32_t entry_count, const Bytes& data_block,
                        const GbkText& stored_index) {
  Bytes file;
  file.reserve(kDataBlockAt + data_block.size() + stored_index.size());
  file = PatchFileHeader(version, entry_count, static_cast<std::int32_t>(data_block.size()));
  file += data_block;
  file += stored_index;
  return file;
}

Bytes BuildPatchFile(const std::vector<PatchEntry>& entries, const Bytes& key_stream) {
  std::vector<PatchIndexLine> lines;
  Bytes data_block;
  for (const PatchEntry& entry : entries) {
    lines.push_back({entry.name, static_cast<std::int32_t>(data_block.size()),
                     static_cast<std::int32_t>(entry.stream.size()), entry.uncompressed_size});
    data_block += entry.stream;
  }
  return AssemblePatchFile(PatchVersion::kV02, static_cast<std::int32_t>(entries.size()), data_block,
                           EncryptPatchIndex(BuildIndexText(lines), key_stream));
}

PatchReadStatus ReadPatchFile(host::File* file, PatchVersion version, const Bytes& key_stream, bool read_data_block,
                              PatchFile* out, GbkText* index_text_out) {
  char banner[kBannerSize];
  const std::size_t got = file == nullptr ? 0 : file->ReadAt(0, banner, sizeof(banner));
  if (TextOf(banner, got) != PatchBanner(version)) return PatchReadStatus::kBadBanner;

  unsigned char counts[8];
  if (file->ReadAt(kEntryCountAt, counts, sizeof(counts)) != sizeof(counts)) return PatchReadStatus::kDamaged;
  PatchFile patch;
  patch.entry_count = Int32At(counts);
  patch.data_length = Int32At(counts + 4);
  std::uint64_t file_length = 0;
  if (patch.entry_count < 0 || patch.data_length < 0 || !file->Length(&file_length) ||
      kDataBlockAt + static_cast<std::uint64_t>(patch.data_length) > file_length)
    return PatchReadStatus::kDamaged;
  const std::uint64_t index_at = kDataBlockAt + static_cast<std::uint64_t>(patch.data_length);

  if (read_data_block) {
    patch.data_block.resize(static_cast<std::size_t>(patch.data_length));
    if (file->ReadAt(kDataBlockAt, &patch.data_block[0], patch.data_block.size()) != patch.data_block.size())
      return PatchReadStatus::kDamaged;
  }

  const std::uint64_t index_length = file_length - index_at;
  if (index_length > std::numeric_limits<std::int32_t>::max()) return PatchReadStatus::kDamaged;
  GbkText stored(static_cast<std::size_t>(index_length), '\0');
  if (file->ReadAt(index_at, &stored[0], stored.size()) != stored.size()) return PatchReadStatus::kDamaged;
  stored = TextOf(stored.data(), stored.size());

  GbkText index_text = version == PatchVersion::kV02 ? DecryptPatchIndex(stored, key_stream) : std::move(stored);
  stored = GbkText();
  std::vector<std::string_view> lines;
  SplitGbkViews(index_text, kLineSeparator, &lines);
  if (lines.size() < static_cast<std::size_t>(patch.entry_count)) return PatchReadStatus::kDamaged;

  patch.lines.reserve(static_cast<std::size_t>(patch.entry_count));
  std::vector<std::string_view> fields;
  for (std::size_t i = 0; i < static_cast<std::size_t>(patch.entry_count); ++i) {
    SplitGbkViews(lines[i], kFieldSeparator, &fields);
    if (fields.size() < 4) return PatchReadStatus::kDamaged;
    PatchIndexLine line{GbkText(fields[0]), ReadIndexNumber(fields[1]), ReadIndexNumber(fields[2]),
                        ReadIndexNumber(fields[3])};
    if (line.offset < 0 || line.compressed_size < 0 || line.uncompressed_size < 0 ||
        std::int64_t{line.offset} + line.compressed_size > patch.data_length)
      return PatchReadStatus::kDamaged;
    patch.lines.push_back(std::move(line));
  }
  *out = std::move(patch);
  if (index_text_out != nullptr) *index_text_out = std::move(index_text);
  return PatchReadStatus::kOk;
}

bool ReadEntryStream(host::File* file, const PatchIndexLine& line, Bytes* stream) {
  Bytes bytes(line.compressed_size > 0 ? static_cast<std::size_t>(line.compressed_size) : 0, '\0');
  if (!bytes.empty() && (file == nullptr || line.offset < 0 ||
                         file->ReadAt(kDataBlockAt + static_cast<std::uint64_t>(line.offset), &bytes[0],
                                      bytes.size()) != bytes.size()))
    return false;
  *stream = std::move(bytes);
  return true;
}

}  // namespace patchmaker
