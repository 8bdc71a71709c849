#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "db/io/env.h"
#include "support/temp_dir.h"

namespace qv::io {
namespace {

std::vector<uint8_t> readAll(const std::string& path) {
  auto f = posixEnv().open(path, OpenMode::kRead);
  std::vector<uint8_t> bytes(f->size());
  f->readExact(0, bytes.data(), bytes.size());
  return bytes;
}

// A gathered write of more parts than one system call takes, some empty, some large,
// lands as their concatenation at its offset, beside what was there before.
TEST(PosixFile, AGatheredWriteLandsAsItsPartsJoined) {
  test::TempDir dir;
  const std::string path = dir.file("g.bin");
  std::vector<std::vector<uint8_t>> storage;
  for (size_t i = 0; i < 300; ++i) {
    const size_t size = i % 7 == 0 ? 0 : (i % 5 == 0 ? 70000 : 1 + i * 13 % 4096);
    std::vector<uint8_t> part(size);
    for (size_t k = 0; k < size; ++k) part[k] = static_cast<uint8_t>(i * 31 + k);
    storage.push_back(std::move(part));
  }
  std::vector<std::span<const uint8_t>> parts(storage.begin(), storage.end());
  std::vector<uint8_t> expected(100, 0xEE);
  for (const auto& part : storage) expected.insert(expected.end(), part.begin(), part.end());
  {
    auto f = posixEnv().open(path, OpenMode::kCreateTruncate);
    f->writeAt(0, expected.data(), 100);
    f->writeGatherAt(100, parts);
    f->sync();
  }
  EXPECT_EQ(readAll(path), expected);
  {
    // Parts with nothing in them write nothing (and are no full disk).
    auto f = posixEnv().open(path, OpenMode::kReadWrite);
    const std::span<const uint8_t> none[3];
    f->writeGatherAt(expected.size(), none);
    f->writeAt(expected.size(), nullptr, 0);
  }
  EXPECT_EQ(readAll(path), expected);
  // The joining default of other Files writes the same bytes.
  class Joining final : public File {
   public:
    explicit Joining(std::unique_ptr<File> f) : f_(std::move(f)) {}
    size_t readAt(uint64_t o, void* b, size_t n) override { return f_->readAt(o, b, n); }
    void writeAt(uint64_t o, const void* d, size_t n) override { f_->writeAt(o, d, n); }
    uint64_t size() override { return f_->size(); }
    void truncate(uint64_t n) override { f_->truncate(n); }
    void sync() override { f_->sync(); }
    const std::string& path() const override { return f_->path(); }
    bool tryLockExclusive() override { return f_->tryLockExclusive(); }

   private:
    std::unique_ptr<File> f_;
  };
  const std::string other = dir.file("j.bin");
  {
    Joining f(posixEnv().open(other, OpenMode::kCreateTruncate));
    f.writeAt(0, expected.data(), 100);
    f.writeGatherAt(100, parts);
  }
  EXPECT_EQ(readAll(other), expected);
}

// Writeback started again and again while a file is written (each a sync of its own in
// the background) leaves every byte in place, and the file can be synced and closed at
// any point of it.
TEST(PosixFile, WritebackWhileWritingKeepsEveryByte) {
  test::TempDir dir;
  const std::string path = dir.file("w.bin");
  std::vector<uint8_t> block(64 * 1024);
  {
    auto f = posixEnv().open(path, OpenMode::kCreateTruncate);
    for (size_t i = 0; i < 64; ++i) {
      std::fill(block.begin(), block.end(), static_cast<uint8_t>(i));
      f->writeAt(i * block.size(), block.data(), block.size());
      f->startWriteback();
      if (i % 16 == 15) f->sync();
    }
    f->startWriteback();  // still at work when the file closes
  }
  const std::vector<uint8_t> bytes = readAll(path);
  ASSERT_EQ(bytes.size(), 64 * block.size());
  for (size_t i = 0; i < 64; ++i) EXPECT_EQ(bytes[i * block.size() + 777], static_cast<uint8_t>(i)) << i;
}

}  // namespace
}  // namespace qv::io
