// libFuzzer target for the Paradox reader. An input is a table file; when it holds the
// line "--MB--" the bytes after it are the table's blob file. Every input must either
// read or fail with qv::DbError: no crash, hang or read outside the data.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/io/env.h"
#include "db/io/error.h"
#include "db/paradox/table_reader.h"

namespace {

using namespace qv;

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

class MemoryEnv final : public io::Env {
 public:
  std::map<std::string, std::string> files;
  std::unique_ptr<io::File> open(const std::string& path, io::OpenMode) override {
    auto it = files.find(path);
    if (it == files.end()) throw DbError(kErrNotFound, "'" + path + "': no such file");
    return std::make_unique<MemoryFile>(path, it->second);
  }
  bool exists(const std::string& path) override { return files.count(path) != 0; }
  void remove(const std::string& path) override { files.erase(path); }
  void rename(const std::string& from, const std::string& to) override {
    files[to] = files[from];
    files.erase(from);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  static const std::string kMarker = "\n--MB--\n";
  MemoryEnv env;
  const auto split = input.find(kMarker);
  env.files["/fuzz/t.db"] = input.substr(0, split);
  env.files["/fuzz/t.mb"] = split == std::string::npos ? std::string() : input.substr(split + kMarker.size());
  try {
    paradox::TableReader reader("/fuzz/t.db", env);
    reader.recordCount();
    std::vector<paradox::Value> row;
    for (int n = 0; n < 200000 && reader.next(row); ++n) {
    }
  } catch (const DbError&) {
  }
  return 0;
}
