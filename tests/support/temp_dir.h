#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it.

#include <string>

namespace qv::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A file's whole contents ("" when it cannot be read).
std::string fileBytes(const std::string& path);

}  // namespace qv::test
