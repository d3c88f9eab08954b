// Reads built Windows programs and checks what the loader and the shell see
// before any code runs: a 32-bit x86 image, large-address-aware, and an
// application manifest (resource type 24, id 1) that asks to run as the
// invoking user and names the supported Windows versions.
// Usage: pe_check PROGRAM.exe...; exit code 0 when every check passed.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

class Image {
 public:
  explicit Image(std::string bytes) : bytes_(std::move(bytes)) {}

  std::optional<std::uint32_t> U32(std::size_t at) const {
    if (at + 4 > bytes_.size()) return std::nullopt;
    return static_cast<std::uint32_t>(Byte(at) | Byte(at + 1) << 8 | Byte(at + 2) << 16 | Byte(at + 3) << 24);
  }
  std::optional<std::uint16_t> U16(std::size_t at) const {
    if (at + 2 > bytes_.size()) return std::nullopt;
    return static_cast<std::uint16_t>(Byte(at) | Byte(at + 1) << 8);
  }
  std::string Slice(std::size_t at, std::size_t size) const {
    return at + size <= bytes_.size() ? bytes_.substr(at, size) : std::string();
  }

 private:
  std::uint32_t Byte(std::size_t at) const { return static_cast<unsigned char>(bytes_[at]); }
  std::string bytes_;
};

struct Section {
  std::uint32_t rva, size, file_offset;
};

struct Findings {
  bool pe32_x86 = false;
  bool large_address_aware = false;
  std::string manifest;  // empty when there is none
};

std::optional<std::uint32_t> FileOffset(const std::vector<Section>& sections, std::uint32_t rva) {
  for (const Section& s : sections)
    if (rva >= s.rva && rva < s.rva + s.size) return s.file_offset + (rva - s.rva);
  return std::nullopt;
}

// The entry with this id in the resource directory at `dir` (an offset inside
// the resource section); the offset it points at, with the subdirectory bit.
std::optional<std::uint32_t> ResourceEntry(const Image& image, std::uint32_t base, std::uint32_t dir,
                                           std::uint32_t id) {
  const auto named = image.U16(base + dir + 12);
  const auto ids = image.U16(base + dir + 14);
  if (!named || !ids) return std::nullopt;
  for (std::uint32_t i = 0; i < std::uint32_t{*named} + *ids; ++i) {
    const std::uint32_t entry = base + dir + 16 + 8 * i;
    const auto name = image.U32(entry);
    const auto target = image.U32(entry + 4);
    if (!name || !target) return std::nullopt;
    if (*name == id) return *target;
  }
  return std::nullopt;
}

// The first language's data under a resource directory entry.
std::optional<std::uint32_t> FirstChild(const Image& image, std::uint32_t base, std::uint32_t dir) {
  const auto named = image.U16(base + dir + 12);
  const auto ids = image.U16(base + dir + 14);
  if (!named || !ids || *named + *ids == 0) return std::nullopt;
  return image.U32(base + dir + 16 + 4);
}

Findings Inspect(const Image& image) {
  Findings f;
  const auto pe = image.U32(0x3C);
  if (!pe || image.Slice(*pe, 4) != std::string("PE\0\0", 4)) return f;
  const std::uint32_t coff = *pe + 4;
  const auto machine = image.U16(coff);
  const auto section_count = image.U16(coff + 2);
  const auto optional_size = image.U16(coff + 16);
  const auto characteristics = image.U16(coff + 18);
  const std::uint32_t optional = coff + 20;
  const auto magic = image.U16(optional);
  if (!machine || !section_count || !optional_size || !characteristics || !magic) return f;
  f.pe32_x86 = *machine == 0x14C && *magic == 0x10B;
  f.large_address_aware = (*characteristics & 0x0020) != 0;
  if (!f.pe32_x86) return f;

  std::vector<Section> sections;
  const std::uint32_t table = optional + *optional_size;
  for (std::uint32_t i = 0; i < *section_count; ++i) {
    const std::uint32_t s = table + 40 * i;
    const auto virtual_size = image.U32(s + 8), rva = image.U32(s + 12), raw = image.U32(s + 20);
    if (!virtual_size || !rva || !raw) return f;
    sections.push_back({*rva, *virtual_size, *raw});
  }
  // Data directory 2 of a PE32 optional header: the resources.
  const auto resources_rva = image.U32(optional + 96 + 2 * 8);
  if (!resources_rva || *resources_rva == 0) return f;
  const auto base = FileOffset(sections, *resources_rva);
  if (!base) return f;
  constexpr std::uint32_t kSubdirectory = 0x80000000u;
  const auto type = ResourceEntry(image, *base, 0, 24);
  if (!type || !(*type & kSubdirectory)) return f;
  const auto id = ResourceEntry(image, *base, *type & ~kSubdirectory, 1);
  if (!id || !(*id & kSubdirectory)) return f;
  const auto language = FirstChild(image, *base, *id & ~kSubdirectory);
  if (!language || (*language & kSubdirectory)) return f;
  const auto data_rva = image.U32(*base + *language);
  const auto data_size = image.U32(*base + *language + 4);
  if (!data_rva || !data_size) return f;
  const auto data = FileOffset(sections, *data_rva);
  if (data) f.manifest = image.Slice(*data, *data_size);
  return f;
}

int failures = 0;

void Check(bool ok, const std::string& program, const std::string& what) {
  std::printf("%s %s: %s\n", ok ? "ok  " : "FAIL", program.c_str(), what.c_str());
  if (!ok) ++failures;
}

}  // namespace

int main(int argc, char** argv) {
  // The GUIDs of Windows Vista, 7, 8, 8.1 and 10/11.
  const char* const kSupportedOs[] = {
      "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"};
  for (int i = 1; i < argc; ++i) {
    const std::string program = argv[i];
    std::ifstream in(program, std::ios::binary);
    if (!in) {
      Check(false, program, "cannot be read");
      continue;
    }
    const Findings f = Inspect(Image(std::string(std::istreambuf_iterator<char>(in), {})));
    Check(f.pe32_x86, program, "a 32-bit x86 image");
    Check(f.large_address_aware, program, "large-address-aware");
    Check(!f.manifest.empty(), program, "an application manifest (type 24, id 1)");
    Check(f.manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>") != std::string::npos,
          program, "the manifest asks to run as the invoking user");
    bool all_os = true;
    for (const char* id : kSupportedOs)
      all_os = all_os && f.manifest.find(std::string("<supportedOS Id=\"") + id + "\"/>") != std::string::npos;
    Check(all_os, program, "the manifest names Windows Vista to 11 as supported");
  }
  std::printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
