#include "tests/support/vectors.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/hex.h"

namespace testing_support {
namespace {

[[noreturn]] void Fail(std::size_t line, const std::string& what) {
  throw std::runtime_error("vector line " + std::to_string(line) + ": " + what);
}

}  // namespace

const std::string& VectorRecord::Get(const std::string& name) const {
  const auto it = fields.find(name);
  if (it == fields.end()) Fail(line, "no field " + name);
  return it->second;
}

std::string VectorRecord::GetOr(const std::string& name, const std::string& fallback) const {
  const auto it = fields.find(name);
  return it == fields.end() ? fallback : it->second;
}

std::vector<std::uint8_t> VectorRecord::Bytes(const std::string& name) const {
  try {
    return FromHex(Get(name));
  } catch (const std::invalid_argument& e) {
    Fail(line, name + ": " + e.what());
  }
}

std::string VectorRecord::Describe() const {
  std::string s = "line " + std::to_string(line) + ":";
  for (const auto& [name, value] : fields) s += " " + name + "=" + value;
  return s;
}

std::vector<VectorRecord> ParseVectors(const std::string& text) {
  std::vector<VectorRecord> records;
  std::istringstream in(text);
  std::string raw;
  std::size_t number = 0;
  while (std::getline(in, raw)) {
    ++number;
    // The files may come through a checkout with CRLF line ends.
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const auto first = raw.find_first_not_of(" \t");
    if (first == std::string::npos || raw[first] == '#') continue;
    VectorRecord record;
    record.line = number;
    std::istringstream words(raw);
    std::string field;
    while (words >> field) {
      const auto eq = field.find('=');
      if (eq == std::string::npos) Fail(number, "field without '=': " + field);
      if (eq == 0) Fail(number, "field without a name: " + field);
      auto name = field.substr(0, eq);
      if (!record.fields.emplace(name, field.substr(eq + 1)).second) Fail(number, "field given twice: " + name);
    }
    records.push_back(std::move(record));
  }
  return records;
}

std::vector<VectorRecord> ReadVectorFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error("cannot open " + path);
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw std::runtime_error("cannot read " + path);
  return ParseVectors(text.str());
}

}  // namespace testing_support
