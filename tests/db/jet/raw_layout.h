#pragma once
// A raw reader of the structures a database file holds, field by field as they stand
// on disk (nothing sorted, nothing interpreted), for comparing our files with those
// Access and the engine made. Jet 4 and ACE layouts only; a file that is not laid out
// so is a test failure, not a crash (every read is bounds-checked).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv::test {

struct RawColumn {
  uint8_t type = 0;
  uint32_t magic = 0;
  uint16_t number = 0, varIndex = 0, number2 = 0;
  uint32_t misc = 0;  // the 4 bytes at 11: sort order (or precision, scale) and version
  uint8_t flags = 0, extraFlags = 0;
  uint32_t unknown = 0;  // the 4 bytes at 17
  uint16_t fixedOffset = 0, length = 0;
  std::string name;
};

struct RawRealIndex {
  uint32_t distinctKeys = 0;     // from the header block
  uint32_t magic = 0;            // the 4 bytes before the columns
  std::vector<uint8_t> columns;  // the 30 bytes of column numbers and orders
  uint32_t usageMap = 0, firstPage = 0;
  uint32_t scratch = 0;  // the 4 bytes after the first page
  uint8_t flags = 0;
  std::vector<uint8_t> tail;  // the 5 bytes after the flags
};

struct RawLogicalIndex {
  std::vector<uint8_t> bytes;  // the 28 bytes of the entry
  std::string name;
};

struct RawTableDef {
  uint32_t length = 0, magic = 0, rowCount = 0, autoNumber = 0;
  std::vector<uint8_t> scratch;  // 0x18-0x27: the autonumber flag, then bytes the engine leaves uncleared
  uint8_t tableType = 0;
  uint16_t maxCols = 0, varCols = 0;
  uint32_t usedPages = 0, freePages = 0;
  std::vector<RawColumn> columns;  // in the order of their entries
  std::vector<RawRealIndex> realIndexes;
  std::vector<RawLogicalIndex> logicalIndexes;
  std::vector<uint16_t> longValueColumns;  // in the order listed
  std::vector<uint32_t> longValueMaps;     // owned and free map of each, in that order
  std::vector<uint32_t> pages;
};

class RawFile {
 public:
  explicit RawFile(const std::string& path);
  uint32_t pageSize() const { return pageSize_; }
  uint32_t pageCount() const { return static_cast<uint32_t>(bytes_.size() / pageSize_); }
  std::span<const uint8_t> page(uint32_t n) const;
  // Page 0 with its scrambled region decoded.
  std::vector<uint8_t> header() const;
  // Page 0 as stored.
  std::vector<uint8_t> storedHeader() const;
  RawTableDef tableDef(uint32_t page) const;
  // The bytes of the row a pointer (page << 8 | row) names.
  std::span<const uint8_t> row(uint32_t pointer) const;
  // The pages a usage map row marks.
  std::vector<uint32_t> usageMap(uint32_t pointer) const;

 private:
  std::string bytes_;
  uint32_t pageSize_ = 4096;
};

}  // namespace qv::test
