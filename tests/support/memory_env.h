#pragma once
// An Env that serves files from memory, read-only: the fuzz targets hand the engine and
// the Paradox reader their input through it. Opening a file it does not hold fails as a
// missing file would; writing or truncating fails as a read-only file does.

#include <map>
#include <memory>
#include <string>

#include "db/io/env.h"

namespace qv::test {

class MemoryEnv final : public io::Env {
 public:
  // Path -> contents.
  std::map<std::string, std::string> files;

  std::unique_ptr<io::File> open(const std::string& path, io::OpenMode mode) override;
  bool exists(const std::string& path) override { return files.count(path) != 0; }
  void remove(const std::string& path) override { files.erase(path); }
  void rename(const std::string& from, const std::string& to) override;
};

}  // namespace qv::test
