// A synthetic game folder for the end-to-end runs: a Data.vnt of realistic
// names and zlib streams, the new versions of some of its files, and a reader
// of the archive written here from its layout alone, so that what the
// programs install is checked by code they do not share.
#pragma once

#include <string>
#include <vector>

namespace game {

// A file as the archive should hold it: its in-archive name and its bytes.
struct File {
  std::wstring name;
  std::string content;
};

// Bytes of a game file: deterministic for the tag, compressible like real
// data, `size` long.
std::string Content(const std::wstring& tag, std::size_t size);

// The client's archive as it ships: every file at version 1.
std::vector<File> OriginalFiles();

// Data.vnt holding the files in that order, each as a zlib stream.
std::string BuildArchive(const std::vector<File>& files);

// The game's own header, kept by every install.
std::string ArchiveHeader();

// A zlib stream of the bytes.
std::string Deflate(const std::string& bytes);

std::string ToGbk(const std::wstring& text);
std::wstring FromGbk(const std::string& text);

// What the archive holds: in index order, each entry's name and inflated
// stream. Answers "" when it is sound, else what is wrong with it.
std::string ReadArchive(const std::string& archive, std::vector<File>* files);

// Compares an archive with the files expected in it, in index order. Answers
// "" when they agree, else the first difference.
std::string CompareArchive(const std::string& archive, const std::vector<File>& expected);

// The expected files after an install: each file of `update` replaces the one
// of that name, or is added at the end when `add_missing` (else dropped).
std::vector<File> Updated(std::vector<File> files, const std::vector<File>& update, bool add_missing);

}  // namespace game
