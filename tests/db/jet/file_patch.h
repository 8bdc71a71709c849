#pragma once
// Helpers of the tests that damage a copy of a database and read check's findings.

#include <fstream>
#include <string>
#include <vector>

namespace qv::test {

// Overwrites bytes of a file in place.
inline void patchFile(const std::string& path, size_t offset, const std::string& bytes) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// check's findings, one to a line.
inline std::string joinedLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& s : lines) out += s + "\n";
  return out;
}

}  // namespace qv::test
