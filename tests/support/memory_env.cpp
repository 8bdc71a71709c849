#include "support/memory_env.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"

namespace qv::test {
namespace {

class MemoryFile final : public io::File {
 public:
  MemoryFile(std::string path, const std::string& data) : path_(std::move(path)), data_(data) {}
  size_t readAt(uint64_t offset, void* buffer, size_t n) override {
    if (offset >= data_.size()) return 0;
    const size_t k = std::min<size_t>(n, data_.size() - offset);
    std::memcpy(buffer, data_.data() + offset, k);
    return k;
  }
  void writeAt(uint64_t, const void*, size_t) override { throw DbError(kErrIo, "'" + path_ + "': read only"); }
  uint64_t size() override { return data_.size(); }
  void truncate(uint64_t) override { throw DbError(kErrIo, "'" + path_ + "': read only"); }
  void sync() override {}
  const std::string& path() const override { return path_; }

 private:
  std::string path_;
  const std::string& data_;
};

}  // namespace

std::unique_ptr<io::File> MemoryEnv::open(const std::string& path, io::OpenMode) {
  auto it = files.find(path);
  if (it == files.end()) throw DbError(kErrNotFound, "'" + path + "': no such file");
  return std::make_unique<MemoryFile>(path, it->second);
}

void MemoryEnv::rename(const std::string& from, const std::string& to) {
  files[to] = files[from];
  files.erase(from);
}

}  // namespace qv::test
