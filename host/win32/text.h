// Texts at the Win32 boundary.
//
// Every call into Windows uses the ANSI (...A) functions: the programs' texts
// are GBK bytes and expect the GBK system code page (936), which Wine gives
// under LC_ALL=zh_CN.UTF-8. So texts pass unconverted, and wchar_t stays out
// of the host except where an API forces it.
#pragma once

#include <cstddef>
#include <string>

namespace host {
namespace win32 {

// A GBK lead byte; the byte after it is a trail byte, which may look like
// ASCII ("\" or "|"), so byte searches must step over the pair.
inline bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Position of the last single-byte `wanted`, or npos.
inline std::size_t FindLastSingleByte(const std::string& text, char wanted) {
  std::size_t found = std::string::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;
    } else if (text[i] == wanted) {
      found = i;
    }
  }
  return found;
}

// `text` with every single-byte `from` replaced by `to`.
inline std::string ReplaceSingleByte(std::string text, char from, char to) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;
    } else if (text[i] == from) {
      text[i] = to;
    }
  }
  return text;
}

}  // namespace win32
}  // namespace host
