#include "db/paradox/blob_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "db/io/error.h"
#include "db/paradox/bytes.h"
#include "db/paradox/crypt.h"

namespace qv::paradox {

BlobFile::BlobFile(std::unique_ptr<io::File> file, uint32_t key)
    : file_(std::move(file)), key_(key), size_(file_->size()) {
  if (size_ < kBlobBlockUnit) damaged("the file is too short for a blob file (" + std::to_string(size_) + " bytes)");
  uint8_t head[3];
  readRange(0, sizeof head, head);
  if (head[0] != kBlobHeaderBlock || getU16(head + 1) == 0) damaged("the file does not start with a blob file header");
}

void BlobFile::damaged(const std::string& what) const {
  throw fileError(kErrFormat, path(), "damaged Paradox blob file: " + what);
}

void BlobFile::readRange(uint64_t offset, size_t n, uint8_t* out) {
  if (offset > size_ || n > size_ - offset) damaged("a value lies past the end of the file");
  if (key_ == 0) {
    file_->readExact(offset, out, n);
    return;
  }
  const uint64_t start = offset & ~uint64_t{255};
  const uint64_t end = std::min<uint64_t>((offset + n + 255) & ~uint64_t{255}, size_ & ~uint64_t{255});
  if (end < offset + n) damaged("a value lies in the file's incomplete last 256 bytes");
  scratch_.resize(end - start);
  file_->readExact(start, scratch_.data(), scratch_.size());
  decryptBlobChunks(scratch_.data(), scratch_.size(), key_);
  std::memcpy(out, scratch_.data() + (offset - start), n);
}

const uint8_t* BlobFile::loadBlock(uint64_t block) {
  if (block >= size_) damaged("a record points past the end of the file (offset " + std::to_string(block) + ")");
  const uint64_t want = std::min<uint64_t>(kBlobBlockUnit, size_ - block);
  if (!cacheValid_ || block < cacheAt_ || block + want > cacheAt_ + cacheSize_) {
    // Values are mostly read in the order they were written: a block right after the
    // window read last doubles the window (up to kBlobMaxWindow), any other starts
    // again with one block.
    const bool onward = cacheValid_ && block >= cacheAt_ + cacheSize_ && block < cacheAt_ + cacheSize_ + kBlobBlockUnit;
    window_ = onward ? std::min<size_t>(window_ * 2, kBlobMaxWindow) : kBlobBlockUnit;
    cacheValid_ = false;
    cacheSize_ = static_cast<size_t>(std::min<uint64_t>(window_, size_ - block));
    if (cache_.size() < cacheSize_) cache_.resize(cacheSize_);
    readRange(block, cacheSize_, cache_.data());
    cacheAt_ = block;
    cacheValid_ = true;
  }
  available_ = static_cast<size_t>(cacheAt_ + cacheSize_ - block);
  return cache_.data() + (block - cacheAt_);
}

void BlobFile::read(uint32_t place, uint32_t length, std::string& out) {
  const uint32_t entry = place & 0xFF;
  const uint64_t block = place & ~uint32_t{0xFF};
  if (block == 0) damaged("a record points at the header block");
  // One read serves a shared block whole, and the start of a single-value block (often
  // the whole value, and the blocks that follow it).
  const uint8_t* b = loadBlock(block);
  if (available_ < kBlobSubHeaderSize) damaged("the block at " + std::to_string(block) + " is cut short");
  const uint8_t kind = b[0];
  const uint64_t blockBytes = uint64_t{getU16(b + 1)} * kBlobBlockUnit;
  if (kind == kBlobSingleBlock) {
    if (entry != 0xFF)
      damaged("a record points at entry " + std::to_string(entry) + " of a single-value block at " +
              std::to_string(block));
    const uint32_t stored = getU32(b + 3);
    if (stored != length)
      damaged("the value at " + std::to_string(block) + " has " + std::to_string(stored) + " bytes, the record says " +
              std::to_string(length));
    if (kBlobSingleHeaderSize + uint64_t{length} > blockBytes)
      damaged("the value at " + std::to_string(block) + " is longer than its block");
    out.resize(length);
    if (kBlobSingleHeaderSize + size_t{length} <= available_) {
      std::memcpy(out.data(), b + kBlobSingleHeaderSize, length);
    } else {
      readRange(block + kBlobSingleHeaderSize, length, reinterpret_cast<uint8_t*>(out.data()));
    }
    return;
  }
  if (kind == kBlobSubBlock) {
    if (entry >= kBlobSubEntries) damaged("a record points at entry " + std::to_string(entry) + " of a shared block");
    if (available_ < kBlobBlockUnit) damaged("the shared block at " + std::to_string(block) + " is cut short");
    const uint8_t* e = b + kBlobSubHeaderSize + 5u * entry;
    if (e[0] == 0 || e[4] == 0 || e[1] == 0)
      damaged("a record points at a deleted value (entry " + std::to_string(entry) + " of the block at " +
              std::to_string(block) + ")");
    const uint32_t stored = (uint32_t{e[1]} - 1) * 16 + e[4];
    if (stored != length)
      damaged("the value at " + std::to_string(block) + " entry " + std::to_string(entry) + " has " +
              std::to_string(stored) + " bytes, the record says " + std::to_string(length));
    const uint64_t start = uint64_t{e[0]} * 16;
    if (start + length > kBlobBlockUnit) damaged("a value runs past its shared block at " + std::to_string(block));
    out.assign(reinterpret_cast<const char*>(b + start), length);
    return;
  }
  damaged("a record points at a block of kind " + std::to_string(kind) + " at " + std::to_string(block) +
          (kind == kBlobFreeBlock     ? " (a free block)"
           : kind == kBlobHeaderBlock ? " (a header block)"
                                      : ""));
}

std::string findBlobFile(const std::string& dbPath, io::Env& env) {
  const std::filesystem::path db(dbPath);
  const std::string stem = db.stem().string();
  const std::filesystem::path dir = db.parent_path();
  for (const char* ext : {".MB", ".mb", ".Mb", ".mB"}) {
    std::string candidate = (dir / (stem + ext)).string();
    if (env.exists(candidate)) return candidate;
  }
  // The stem may differ in case too (TEST.DB next to Test.mb).
  std::error_code ec;
  std::string wanted = stem + ".mb";
  for (auto& c : wanted) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::filesystem::directory_iterator it(dir.empty() ? std::filesystem::path(".") : dir, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::string low = name;
    for (auto& c : low) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (low == wanted) return (dir / name).string();
  }
  return {};
}

}  // namespace qv::paradox
