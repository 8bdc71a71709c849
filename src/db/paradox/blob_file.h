#pragma once
// The blob file (.mb) of a Paradox table: where Memo, Blob, Formatted memo, OLE and
// Graphic values live when they do not fit in their field's leader.
//
// On-disk layout (numbers little-endian). The file is a sequence of blocks whose sizes
// are multiples of 4 KB; each starts with u8 kind and u16 size in 4 KB units:
//   kind 0  the header block (the first 4 KB of the file);
//   kind 2  one value: u32 length at 3, u16 modification number at 7, the value's
//           bytes from offset 9;
//   kind 3  up to 64 small values in one 4 KB block: after a 12-byte block header come
//           64 entries of 5 bytes (u8 start / 16 within the block, u8 length in 16-byte
//           units rounded up, u16 modification number, u8 length mod 16 where 16 means
//           a full last unit; a 0 start or a 0 last byte marks a deleted value);
//   kind 4  a free block.
// A record's blob field (see table_header.h) holds u32 place and u32 length after its
// leader. A length no greater than the leader means the value is the leader's first
// bytes and the .mb is not used. Otherwise the place's low byte is 0xFF for a kind 2
// block or the entry number in a kind 3 block, and the other bits give the block's
// offset in the file. A Graphic value starts with 8 bytes of its own (u32 1 and u32 the
// picture's length) before the picture. In an encrypted table every 256 bytes of the
// .mb file are scrambled (see crypt.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/io/env.h"

namespace qv::paradox {

inline constexpr uint32_t kBlobBlockUnit = 4096;
inline constexpr uint8_t kBlobHeaderBlock = 0;
inline constexpr uint8_t kBlobSingleBlock = 2;
inline constexpr uint8_t kBlobSubBlock = 3;
inline constexpr uint8_t kBlobFreeBlock = 4;
inline constexpr uint32_t kBlobSingleHeaderSize = 9;
inline constexpr uint32_t kBlobSubHeaderSize = 12;
inline constexpr uint32_t kBlobSubEntries = 64;
inline constexpr uint32_t kGraphicPrefixSize = 8;
// The most the blob file reads at once when values are read in file order.
inline constexpr size_t kBlobMaxWindow = 256 * 1024;

class BlobFile {
 public:
  // Opens the file and checks its header block. key: the table's encryption key (0: none).
  BlobFile(std::unique_ptr<io::File> file, uint32_t key);

  // Reads the value at place with the given length into out. Throws qv::DbError naming
  // the file when the place does not hold a value of that length.
  void read(uint32_t place, uint32_t length, std::string& out);
  const std::string& path() const { return file_->path(); }

 private:
  // Reads n bytes at offset (unscrambling them), which must lie inside the file.
  void readRange(uint64_t offset, size_t n, uint8_t* out);
  // The bytes from offset block on (at least its 4 KB, or up to the end of the file),
  // unscrambled; available_ tells how many. They stay loaded until another block is needed.
  const uint8_t* loadBlock(uint64_t block);
  [[noreturn]] void damaged(const std::string& what) const;

  std::unique_ptr<io::File> file_;
  uint32_t key_;
  uint64_t size_;
  std::vector<uint8_t> scratch_;
  std::vector<uint8_t> cache_;
  uint64_t cacheAt_ = 0;
  size_t cacheSize_ = 0;
  size_t window_ = kBlobBlockUnit;
  size_t available_ = 0;
  bool cacheValid_ = false;
};

// Finds the .mb file that belongs to the table file dbPath (same folder and name, the
// extension's case aside). Returns "" when there is none.
std::string findBlobFile(const std::string& dbPath, io::Env& env);

}  // namespace qv::paradox
