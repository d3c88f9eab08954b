// Reads the known-answer files of tests/data/vectors (ciphers.txt, digests.txt): one record
// per vector line, a list of name=value fields. Blank lines and # comments are
// skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct VectorRecord {
  std::size_t line = 0;  // 1-based, for failure messages
  std::map<std::string, std::string> fields;

  bool Has(const std::string& name) const { return fields.count(name) != 0; }
  // Throws std::runtime_error naming the line if the field is missing.
  const std::string& Get(const std::string& name) const;
  std::string GetOr(const std::string& name, const std::string& fallback) const;
  // The field's value as bytes; throws if missing or not hex.
  std::vector<std::uint8_t> Bytes(const std::string& name) const;
  // "line 12: cipher=AES key=..." for SCOPED_TRACE.
  std::string Describe() const;
};

// Parses text in the file format. A field without '=', an empty name or a name
// given twice on one line throws std::runtime_error naming the line.
std::vector<VectorRecord> ParseVectors(const std::string& text);
// Reads and parses a file; throws std::runtime_error if it cannot be read.
std::vector<VectorRecord> ReadVectorFile(const std::string& path);

}  // namespace testing_support
