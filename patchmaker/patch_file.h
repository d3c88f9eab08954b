// The patch file, its index and its key, shared by patchmaker and patchsetup.
//
// Format notes (all integers little-endian, signed 32-bit):
//   0    112  PatchBanner: "QelPATCH V0.x" + 4 blanks + the dedication, no NUL
//   112  4    entry count n
//   116  4    data length L
//   120  L    data block: one zlib stream per entry, back to back, index order
//   120+L ..  index to the end of the file: V0.2 stores the encodebin text of
//             the index (algorithm 14, PatchKey), V0.1 the index text itself
// The index text is one PatchIndexLine per entry: name|offset|compressed
// size|uncompressed size, each ended by "\r\n"; offsets count from byte 120.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/framework.h"
#include "host/platform.h"

namespace patchmaker {

using host::RunsInMemory;

using GbkText = std::string;
// A counted byte sequence held by value.
using Bytes = std::string;

enum class PatchVersion { kV01, kV02 };

constexpr std::size_t kBannerSize = 112;
constexpr std::uint64_t kEntryCountAt = 112;
constexpr std::uint64_t kDataLengthAt = 116;
constexpr std::uint64_t kDataBlockAt = 120;
constexpr char kFieldSeparator[] = "|";
constexpr char kLineSeparator[] = "\r\n";
constexpr int kPatchKeyAlgorithm = 14;
constexpr int kPatchKeyLength = 22;

// The 112 banner bytes of a version; equal in all but byte 12.
const GbkText& PatchBanner(PatchVersion version);

// The PatchKey as the program's data holds it: the zlib stream of its 22
// bytes, never the text itself. Programs copy it into PatchKeyStream at start.
extern const unsigned char kPatchKeyStreamData[30];
Bytes DefaultPatchKeyStream();

// Inflates a zlib stream whose inflated length is known. Empty when the stream
// is empty, damaged, or inflates to more than twice `length` bytes.
Bytes InflateRawStream(const Bytes& stream, int length);

// The PatchKey from its stream: InflateRawStream(stream, 22) up to the first
// zero byte. Callers restore it for each use and drop it after.
GbkText RestorePatchKey(const Bytes& key_stream);

struct PatchIndexLine {
  GbkText name;
  std::int32_t offset = 0;
  std::int32_t compressed_size = 0;
  std::int32_t uncompressed_size = 0;
};

// Splits at `separator`, walking by GBK characters: a byte of 0x80 or more and
// the byte after it are one character and never match. Empty pieces between
// separators stay; a piece after the last separator counts only if not empty.
std::vector<GbkText> SplitGbk(const GbkText& text, const GbkText& separator);

// A decimal field as the index holds it: the leading number, fraction cut
// toward zero ("12.9" is 12, "-3.5" is -3), 0 when there is none, clamped to
// the 32-bit range.
std::int32_t ReadIndexNumber(std::string_view field);

// Index text of these lines, in order, each ended by "\r\n".
GbkText BuildIndexText(const std::vector<PatchIndexLine>& lines);

// encodebin / decodebin with algorithm 14 under the PatchKey restored from
// `key_stream`; the library must be bound. Decryption keeps the bytes up to the
// first zero byte.
GbkText EncryptPatchIndex(const GbkText& index_text, const Bytes& key_stream);
GbkText DecryptPatchIndex(const GbkText& stored_index, const Bytes& key_stream);

// The bytes of a whole patch file: banner, n, L, data block, stored index.
Bytes AssemblePatchFile(PatchVersion version, std::int32_t entry_count, const Bytes& data_block,
                        const GbkText& stored_index);

// The first 120 bytes of a patch file: banner, n, L.
Bytes PatchFileHeader(PatchVersion version, std::int32_t entry_count, std::int32_t data_length);

// One entry to write: its in-archive name, its zlib stream, its inflated size.
struct PatchEntry {
  GbkText name;
  Bytes stream;
  std::int32_t uncompressed_size = 0;
};

// A V0.2 patch of these entries in this order: offsets assigned back to back
// from 0, index encrypted. The caller writes the result with one whole-file
// write.
Bytes BuildPatchFile(const std::vector<PatchEntry>& entries, const Bytes& key_stream);

enum class PatchReadStatus {
  kOk,
  kBadBanner,  // cannot be opened, shorter than the banner, another version
  kDamaged,    // the banner matches but the rest does not hold together
};

// A patch taken apart. `lines` holds the first n index lines.
struct PatchFile {
  std::int32_t entry_count = 0;
  std::int32_t data_length = 0;
  Bytes data_block;  // empty unless asked for
  std::vector<PatchIndexLine> lines;
};

// Reads and checks a patch from an open file (null reads as empty). kDamaged
// when any read comes up short, n < 0, L < 0, 120 + L is past the end of the
// file, the index has fewer than n lines or one of them fewer than four
// fields, or a line's stream (offset, compressed size) does not lie inside the
// data block. `out` is filled only on kOk, and so is `index_text` when given:
// the index text the lines were split from, as a conversion carries it over
// unchanged (V0.1: as stored; V0.2: decrypted).
PatchReadStatus ReadPatchFile(host::File* file, PatchVersion version, const Bytes& key_stream, bool read_data_block,
                              PatchFile* out, GbkText* index_text = nullptr);

// A progress bar's position for `done` of `total`: the quotient in double
// precision, times 100, cut toward zero (29 of 100 shows 28).
inline int ProgressOf(std::size_t done, std::size_t total) {
  const double share = static_cast<double>(done) / static_cast<double>(total);
  return static_cast<int>(share * 100.0);
}

// Reads an index line's stream from its patch with one positioned read into
// *stream; false when the file holds fewer bytes there than the line says.
bool ReadEntryStream(host::File* file, const PatchIndexLine& line, Bytes* stream);


}  // namespace patchmaker
