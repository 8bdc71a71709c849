#pragma once
// The header of a Paradox table file (.db): what the table holds and how its data
// blocks are laid out.
//
// On-disk layout of a .db file (all header and block-header numbers little-endian):
//
//   offset 0           the header, headerSize bytes. Usually 2048, but tables written by
//                      Paradox for DOS 3.0 end it right after the sort order name, so
//                      the first data block may start at any offset.
//   headerSize + (n-1) * blockSize
//                      data block n (n counts from 1). blockSize is 1 KB times the code
//                      at 0x05 (1..32).
//
//   Fixed header part (every version):
//     0x00 u16 record size          0x02 u16 header size      0x04 u8 file type
//          (0 keyed table, 2 unkeyed table; 1 and 3..8 are index files)
//     0x05 u8  block size in KB     0x06 u32 record count (may be stale)
//     0x0A u16 blocks in use        0x0C u16 blocks in file   0x0E u16 first data block
//     0x10 u16 last data block      0x21 u16 field count      0x23 u16 key field count
//     0x25 u32 encryption key of 3.x tables; 0xFF00FF00 in later versions, whose key
//              sits at 0x5C instead (0 = not encrypted)
//     0x29 u8  sort order (3.x)     0x39 u8 version: 3 = 3.0, 4 = 3.5, 5..9 = 4.x,
//              10..11 = 5.x, 12 = 7.x
//     0x49 u32 next auto-increment value
//   Version 4 and later tables add 32 bytes at 0x58: 0x5C u32 encryption key,
//     0x6A u16 code page of the text.
//   Then, from 0x58 (3.x) or 0x78 (4.x and later):
//     field count x (u8 type code, u8 size); for BCD the size byte is the number of
//       decimals and the field takes 17 bytes; for blob types it is the leader plus 10
//     4 bytes (a pointer while Paradox runs)
//     field count x 4 bytes (more pointers)
//     the table's own name, zero-padded: 79 bytes, 261 in version 7
//     the field names, each ending with a zero byte
//     field count x u16 field numbers
//     the sort order (language driver) name, ending with a zero byte ("ascii",
//       "intl", "DBWINUS0", "ANSIINTL", ...)
//
//   Data block: u16 next block (0 = last), u16 previous block, i16 offset of the last
//   record relative to byte 6 (so records = offset / record size + 1; negative when the
//   block is empty; larger than the block can hold when its records were deleted without
//   freeing it), then the records, each record size bytes. Blocks are chained from
//   the header's first block; blocks of deleted records sit on a free list outside the
//   chain. In an encrypted table every data block is scrambled (see crypt.h); the header
//   is not.
//
//   Record fields lie one after the other in header order. Numbers are big-endian with
//   the sign bit flipped, so that all zero bytes are Null (blank): Short, Long, AutoInc,
//   Date (days, 1 = 1 January of year 1) and Time (milliseconds since midnight) as two's
//   complement; Money, Number and Timestamp (milliseconds, day 1 as for Date) as IEEE
//   doubles, whose bytes are all inverted when negative. Logical is 0x80 false, 0x81
//   true. Alpha is text padded with zero bytes. Bytes is raw. BCD is 17 bytes: the first
//   has the sign (0x80 set = positive), 0x40 (set for a value, clear for a blank) and
//   the decimals count (low 6 bits), then 32 four-bit digits,
//   the last "decimals" of them after the point; a negative value has every digit
//   inverted (15 - d). Blob fields are a leader (the first bytes of the value) and
//   10 bytes: u32 place in the .mb file, u32 length, u16 modification number
//   (little-endian; see blob_file.h).

#include <cstdint>
#include <string>
#include <vector>

#include "db/paradox/field_type.h"

namespace qv::paradox {

// One field as the header describes it.
struct FieldDef {
  std::string name;  // as stored (the table's code page), without the zero byte
  FieldType type = FieldType::kAlpha;
  uint8_t sizeByte = 0;  // the header's size byte
  uint32_t width = 0;    // bytes in a record
  uint32_t offset = 0;   // from the start of the record
  int decimals() const { return type == FieldType::kBcd ? sizeByte : 0; }
};

// Codes of the version byte at 0x39.
inline constexpr uint8_t kVersion30 = 3;
inline constexpr uint8_t kVersion35 = 4;
inline constexpr uint8_t kVersion4 = 9;
inline constexpr uint8_t kVersion5 = 11;
inline constexpr uint8_t kVersion7 = 12;

inline constexpr uint8_t kFileTypeKeyed = 0;
inline constexpr uint8_t kFileTypeUnkeyed = 2;
inline constexpr uint32_t kDataBlockHeaderSize = 6;
inline constexpr uint32_t kLaterVersionsKeyMark = 0xFF00FF00;

struct TableHeader {
  uint16_t recordSize = 0;
  uint16_t headerSize = 0;
  uint8_t fileType = kFileTypeUnkeyed;
  uint32_t blockSize = 2048;
  uint32_t recordCount = 0;  // as the header says; the blocks are the truth
  uint16_t usedBlocks = 0;
  uint16_t fileBlocks = 0;
  uint16_t firstBlock = 0;
  uint16_t lastBlock = 0;
  uint16_t keyFields = 0;
  uint8_t versionId = kVersion7;
  uint32_t encryption = 0;  // 0 when not encrypted
  uint8_t sortOrder = 0;
  uint16_t codePage = 0;  // 0 for 3.x tables
  int32_t autoInc = 0;
  std::string tableName;
  std::string sortOrderName;
  std::vector<FieldDef> fields;

  // "3.0", "3.5", "4.x", "5.x" or "7.x".
  std::string versionText() const;
  bool hasDataHeader() const { return versionId >= 5; }
  uint32_t fieldInfoOffset() const { return hasDataHeader() ? 0x78 : 0x58; }
  uint32_t tableNameLength() const { return versionId >= kVersion7 ? 261 : 79; }
  uint64_t blockOffset(uint32_t block) const { return headerSize + static_cast<uint64_t>(block - 1) * blockSize; }

  // Reads the header from the first bytes of a file (as many as there are, up to the
  // header size). Throws qv::DbError naming path when it is not a table or is damaged.
  static TableHeader decode(const uint8_t* data, size_t size, const std::string& path);
  // The header bytes for this description (headerSize of them; headerSize is raised to
  // fit when it is too small). Field widths and offsets must be set.
  std::vector<uint8_t> encode() const;
};

}  // namespace qv::paradox
