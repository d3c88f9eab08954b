// Writes the seed corpora under fuzz/corpus/<target>/ from the test fixtures'
// builders (run by scripts/fuzz.sh --seeds; the output is kept in the tree).
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "patchmaker/patch_file.h"
#include "tests/patchmaker/fixtures.h"

namespace {

std::string g_root;

void Put(const std::string& target, const std::string& name, const std::string& bytes) {
  const std::filesystem::path dir = std::filesystem::path(g_root) / target;
  std::filesystem::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::string Zlib(const std::string& data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(data.data()),
           static_cast<uLong>(data.size()));
  out.resize(n);
  return out;
}

std::string OneByte(int b) { return std::string(1, static_cast<char>(b)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  g_root = argv[1];
  fixtures::BindLibrary();
  using patchmaker::PatchVersion;

  for (const char* s : {"QUJD", "YWI=", "YQ==", "=A==", "ab=c", "SGVsbG8sIHdvcmxkIQ==x"}) Put("base64_fuzz", s[0] == '=' ? "pad" : s, s);

  for (const char* s : {"0", "00FF", "123456789012345678901234567890", "abcdef0123", "0000"})
    Put("bigint_fuzz", s, s);

  Put("zip_fuzz", "text", "hello hello hello");
  Put("zip_fuzz", "stream", Zlib("hello hello hello"));
  Put("zip_fuzz", "empty_stream", Zlib(""));

  for (int row = 0; row < 20; ++row)
    Put("cipher_fuzz", "row" + std::to_string(row + 1), OneByte(row) + OneByte(6) + "secret" + "some data to encrypt!");

  const std::string s1 = Zlib("first file"), s2 = Zlib("second");
  const patchmaker::Bytes v2 = fixtures::MakePatch({{"a", s1, 10}, {"new", s2, 6}});
  const patchmaker::Bytes v1 = fixtures::MakeRawPatch(PatchVersion::kV01, 2, s1 + s2,
                                                      "a|0|" + std::to_string(s1.size()) + "|10\r\nb|" +
                                                          std::to_string(s1.size()) + "|" + std::to_string(s2.size()) + "|6\r\n",
                                                      static_cast<std::int32_t>(s1.size() + s2.size()));
  Put("patch_reader_fuzz", "v02", v2);
  Put("patch_reader_fuzz", "v01", v1);
  Put("patch_reader_fuzz", "v02_body", v2.substr(patchmaker::kBannerSize));

  // install_fuzz: mode byte (bit 0 V0.1, bit 1 add names, bits 2-3 archive
  // files, bit 4 free space, bit 6 raw body), then the patch.
  Put("install_fuzz", "v02_raw_add", OneByte(0x40 | 0x02 | 0x08) + v2.substr(patchmaker::kBannerSize));
  Put("install_fuzz", "v02_raw", OneByte(0x40 | 0x08 | 0x10) + v2.substr(patchmaker::kBannerSize));
  Put("install_fuzz", "v01_raw_add", OneByte(0x40 | 0x03 | 0x0C) + v1.substr(patchmaker::kBannerSize));
  const std::string index = "a|0|5|7\r\nz|5|3|7\r\n";
  Put("install_fuzz", "fields", OneByte(0x02 | 0x04) + OneByte(2) + OneByte(8) + "ABCDEFGH" + index);

  // load_fuzz: mode byte (bit 0 replace the list, bit 1 rows before, bit 2
  // V0.1, bit 3 raw body, bit 4 data length from a word), then the patch.
  Put("load_fuzz", "replace_raw", OneByte(0x08 | 0x01) + v2.substr(patchmaker::kBannerSize));
  Put("load_fuzz", "append_raw", OneByte(0x08 | 0x02) + v2.substr(patchmaker::kBannerSize));
  Put("load_fuzz", "old_raw", OneByte(0x08 | 0x04 | 0x01) + v1.substr(patchmaker::kBannerSize));
  Put("load_fuzz", "fields", OneByte(0x01 | 0x02) + OneByte(2) + OneByte(8) + "ABCDEFGH" + index);

  // commands_fuzz: command number, then per argument a shape byte and a piece.
  for (int c = 0; c < 18; ++c) {
    std::string seed = OneByte(c);
    for (int i = 0; i < 4; ++i) seed += OneByte(i * 2) + OneByte(5) + "ABCDE" + OneByte(14) + OneByte(0) + OneByte(0) + OneByte(0);
    Put("commands_fuzz", "cmd" + std::to_string(c), seed);
  }
  Put("commands_fuzz", "hex2int", OneByte(17) + OneByte(0) + OneByte(6) + "1F2E3D");
  Put("commands_fuzz", "int2hex", OneByte(16) + OneByte(0) + OneByte(6) + "123456");
  Put("commands_fuzz", "unzip", OneByte(13) + OneByte(0) + OneByte(static_cast<int>(s1.size())) + s1);
  return 0;
}
