#pragma once
// The index files of a Paradox table: what they share with a table file, and how their
// blocks are read.
//
// A keyed table TABLE.DB has its primary index in TABLE.PX; each secondary index is a
// pair of files: TABLE.Xnn and TABLE.Ynn for an index on the one field numbered nn (two
// hexadecimal digits) whose name is that field's, TABLE.XGn and TABLE.YGn (n one
// hexadecimal digit) for any other (composite, case-insensitive, or named otherwise).
// Every one of them begins with the header of a table (table_header.h); the fields that
// matter here (little-endian):
//   0x00 u16 record size     0x02 u16 header size     0x04 u8 file type:
//        1 .PX, 3 .Xnn (not kept up to date), 4 .Ynn, 5 .Xnn (kept up to date),
//        6 .XGn (not kept up to date), 7 .YGn, 8 .XGn (kept up to date)
//   0x05 u8  block size in KB 0x06 u32 record count   0x0C u16 blocks in the file
//   0x15 u8  in an .Xnn: the number of the field it indexes
//   0x1E u16 in a .PX/.Ynn: the root block   0x20 u8 its number of levels
//   0x21 u16 field count      0x23 u16 key field count
//   0x25 u32 encryption key of a .PX/.Ynn (an .Xnn keeps it where a table does)
//   0x39 u8  version (as a table's)
//   0x55 u8  in an .Xnn/.XGn: 0x01 case-insensitive, 0x10 descending, 0x20 unique
//
// .PX and .Ynn/.YGn ("tree files") have no data header: their field list starts at 0x58
// (field count x type and size), followed by a 4-byte pointer and the name the file had
// when it was made (79 bytes, 261 in version 7) -- a name Paradox keeps through renames,
// so it says nothing about which table the file belongs to. Their blocks form a tree:
// a block has the data block header (u16 next, u16 previous, i16 offset of its last
// entry) and entries of record-size bytes each: the key fields, then three big-endian
// numbers with the sign bit flipped, as in a table's records: a block number, a count,
// and one unused. On the root's level count minus one levels the block number is a block
// of the same file and the count the sum of that block's counts; on the last level it is
// a data block of the indexed file (the .DB, or the .Xnn for a .Ynn) and the count the
// number of records in it, the key that of its first record when the entry was made.
//
// .Xnn/.XGn ("entry files") are laid out like a table (data header, field names, field
// numbers, sort order name), with one record for each record of the table, sorted: the
// indexed fields, then the table's key fields, then a Short "Blk Num" (the data block
// of the record). A table without key has "Tup No" (Long), "Blk Num" and "Tup Offset"
// (Short) in place of its key fields. Of the field numbers after the field names, the
// first ones are the table's numbers (from 1) of the indexed fields, 0x8000 set on a
// descending one. After the sort order name comes the index's name (empty in an .Xnn).
//
// In an encrypted table the blocks of its index files may be scrambled as its data
// blocks are (crypt.h), under the key the index file's header holds.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/io/env.h"

namespace qv::paradox {

inline constexpr uint8_t kFilePrimaryIndex = 1;
inline constexpr uint8_t kFileEntriesStale = 3;
inline constexpr uint8_t kFileEntriesTree = 4;
inline constexpr uint8_t kFileEntries = 5;
inline constexpr uint8_t kFileNamedEntriesStale = 6;
inline constexpr uint8_t kFileNamedEntriesTree = 7;
inline constexpr uint8_t kFileNamedEntries = 8;

// Flags of byte 0x55 of an entry file.
inline constexpr uint8_t kIndexCaseInsensitive = 0x01;
inline constexpr uint8_t kIndexDescending = 0x10;
inline constexpr uint8_t kIndexUnique = 0x20;

// A field as a header lists it: type code and size byte.
struct FieldSlot {
  uint8_t type = 0;
  uint8_t size = 0;
  bool operator==(const FieldSlot&) const = default;
};

struct IndexFileHeader {
  uint16_t recordSize = 0;
  uint16_t headerSize = 0;
  uint8_t fileType = 0;
  uint32_t blockSize = 0;
  uint32_t recordCount = 0;
  uint16_t fileBlocks = 0;
  uint16_t firstBlock = 0;
  uint8_t indexedField = 0;  // 0x15
  uint16_t rootBlock = 0;
  uint8_t levels = 0;
  uint16_t keyFields = 0;
  uint32_t encryption = 0;
  uint8_t versionId = 0;
  uint8_t flags = 0;  // 0x55
  std::vector<FieldSlot> fields;
  // Entry files only.
  std::vector<std::string> fieldNames;
  std::vector<uint16_t> fieldNumbers;
  std::string indexName;

  bool treeFile() const {
    return fileType == kFilePrimaryIndex || fileType == kFileEntriesTree || fileType == kFileNamedEntriesTree;
  }
  uint64_t blockOffset(uint32_t block) const { return headerSize + uint64_t{block - 1} * blockSize; }
};

// Reads the header of an index file (the first bytes of it, up to its header size).
// Throws DbError(kErrFormat) naming path when it is not an index file or is damaged.
IndexFileHeader decodeIndexHeader(const uint8_t* data, size_t size, const std::string& path);

// An index file opened for reading blocks.
class IndexFile {
 public:
  IndexFile(const std::string& path, io::Env& env);
  const IndexFileHeader& header() const { return header_; }
  const std::string& path() const { return path_; }
  // Blocks the file holds (a last block may be cut short: the rest reads as zeros).
  uint32_t blocksInFile() const;
  // Reads block n (unscrambled); returns its number of records or entries. Throws
  // DbError naming the file when the block is missing or claims more than it holds.
  uint32_t readBlock(uint32_t n, std::vector<uint8_t>& block);
  [[noreturn]] void damaged(const std::string& what) const;

 private:
  std::string path_;
  std::unique_ptr<io::File> file_;
  uint64_t size_ = 0;
  IndexFileHeader header_;
};

// The data blocks of a table or entry file, in chain order, with their record counts.
struct BlockCount {
  uint32_t block = 0;
  uint32_t records = 0;
};
std::vector<BlockCount> chainRecordCounts(IndexFile& file);

// A number of an index entry: big-endian with the sign bit flipped, as Short fields are.
inline uint16_t entryNumber(const uint8_t* p) { return static_cast<uint16_t>(((p[0] << 8) | p[1]) ^ 0x8000); }

}  // namespace qv::paradox
