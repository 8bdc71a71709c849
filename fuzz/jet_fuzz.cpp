// Fuzzes the Jet engine's reading: the input is a database file (served from memory
// through the I/O seam); the engine opens it, lists its catalogue and reads every row of
// every table. Whatever the bytes, it must either succeed or throw qv::DbError -- never
// crash, hang or read outside a buffer (the sanitizers watch that).

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "db/io/env.h"
#include "db/io/error.h"
#include "db/jet/database.h"

namespace {

class MemoryFile final : public qv::io::File {
 public:
  MemoryFile(std::string path, const std::string& data) : path_(std::move(path)), data_(data) {}
  size_t readAt(uint64_t offset, void* buffer, size_t n) override {
    if (offset >= data_.size()) return 0;
    size_t take = std::min<size_t>(n, data_.size() - offset);
    std::memcpy(buffer, data_.data() + offset, take);
    return take;
  }
  void writeAt(uint64_t, const void*, size_t) override { throw qv::DbError("read-only"); }
  uint64_t size() override { return data_.size(); }
  void truncate(uint64_t) override {}
  void sync() override {}
  const std::string& path() const override { return path_; }

 private:
  std::string path_;
  const std::string& data_;
};

class MemoryEnv final : public qv::io::Env {
 public:
  explicit MemoryEnv(std::string data) : data_(std::move(data)) {}
  std::unique_ptr<qv::io::File> open(const std::string& path, qv::io::OpenMode) override {
    return std::make_unique<MemoryFile>(path, data_);
  }
  bool exists(const std::string&) override { return true; }
  void remove(const std::string&) override {}
  void rename(const std::string&, const std::string&) override {}

 private:
  std::string data_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryEnv env(std::string(reinterpret_cast<const char*>(data), size));
  qv::jet::OpenOptions options;
  options.env = &env;
  options.readOnly = true;
  try {
    auto db = qv::jet::openDatabase("fuzz.mdb", options);
    for (const qv::jet::CatalogEntry& e : db->catalog()) {
      if (e.kind != qv::jet::ObjectKind::kUserTable && e.kind != qv::jet::ObjectKind::kSystemTable) continue;
      try {
        qv::jet::Table* t = db->table(e.name);
        if (!t) continue;
        auto cursor = t->scan();
        std::vector<qv::jet::Value> row;
        for (int n = 0; n < 100000 && cursor->next(row); ++n) {
        }
      } catch (const qv::DbError&) {
        // a damaged table: the others are still read
      }
    }
  } catch (const qv::DbError&) {
  }
  return 0;
}
