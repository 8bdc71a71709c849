#pragma once
// Table definition ("tdef") pages. A table's definition starts on its own page (the
// page number is the low 24 bits of its MSysObjects Id) and continues on further pages
// linked by next_pg; each continuation page repeats the 8-byte page header, so the
// definition is the concatenation of page 1 whole and of every further page from byte 8.
//
// Page header: type 02, 01, free space minus 8 (Jet 4; Jet 3 holds "VC"), next_pg (4).
// Then (Jet 4 offsets; Jet 3 lacks the unknown word at 0x0C and the 16 bytes after the
// AutoNumber, so every later field sits earlier -- see Layout):
//   0x08 definition length (4)   0x0C unknown, repeated in every column (4)
//   0x10 row count (4)           0x14 next AutoNumber (4)   0x18 AutoNumber flag, ...
//   0x28 table type (0x4E user, 0x53 system)   0x29 max column number + 1 (2)
//   0x2B variable column count (2)   0x2D column count (2)
//   0x2F logical index count (4)     0x33 real index count (4)
//   0x37 owned-pages usage map row pointer (4)   0x3B free-space usage map pointer (4)
//   then per real index 12 bytes (unknown 4, number of distinct keys 4, unknown 4),
//   per column 25 bytes: type(1) unknown(4) number(2) variable index(2: for a fixed
//     column the number of variable columns before it) number again(2: 0 in the
//     engine's own tables) misc(2: precision and scale for Decimal, sort language
//     otherwise) misc2(2: sort version in its second byte) flags(1: 01 fixed,
//     02 nullable, 04 AutoNumber, 10 and 20 only on the engine's catalogue columns
//     (20 on Owner and SID), 40 GUID AutoNumber) extra flags(1: 01 compressed text)
//     unknown(4) fixed offset(2: 0 for Yes/No, whose value lives in the null mask)
//     length in bytes(2). User tables list their column entries by number; the
//     engine's own tables list them by name (case-insensitive).
//   the column names (2-byte byte length + UCS-2),
//   per real index 52 bytes: unknown(4), 10 x (column number 2, order 1: 01 ascending,
//     00 descending; FFFF unused),
//     usage map pointer(4), first index page(4), unknown(4), flags(1: 01 unique,
//     02 ignore nulls, 08 required, 80 always set by Access 2000 and later), unknown(5),
//   per logical index 28 bytes: unknown(4) index number(4) real index(4) related table
//     type(1) related index(4, -1 none) related table page(4) cascade update(1)
//     cascade delete(1) index type(1: 1 primary key, 2 foreign key) unknown(4),
//   the index names, then for each long-value column (in the order of the column
//   entries) its number(2) and two usage map pointers (owned, free; 4 each), closed by
//   FFFF.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/storage/column_type.h"
#include "db/jet/file/pager.h"

namespace qv::jet {

struct ColumnInfo {
  ColumnDef def;
  uint16_t number = 0;       // position in rows' null mask
  uint16_t varIndex = 0;     // position in the variable-column table of a row
  uint16_t fixedOffset = 0;  // offset in the fixed area of a row
  uint16_t byteLength = 0;
  uint8_t flags = 0;
  uint8_t compressed = 0;
  uint16_t sortLanguage = 0;
  uint8_t sortVersion = 0;
  bool fixed() const { return (flags & 0x01) != 0; }
};

struct IndexColumn {
  uint16_t number = 0;  // column number
  bool ascending = true;
};

struct RealIndex {
  std::vector<IndexColumn> columns;
  uint32_t usageMap = 0;  // row pointer
  uint32_t firstPage = 0;
  uint8_t flags = 0;
  uint32_t rowCount = 0;
};

struct LogicalIndex {
  std::string name;
  uint32_t number = 0;
  uint32_t realIndex = 0;
  uint8_t type = 0;  // 1 primary key, 2 foreign key
  uint8_t relTableType = 0;
  int32_t relIndex = -1;
  uint32_t relTablePage = 0;
  uint8_t cascadeUpdates = 0;
  uint8_t cascadeDeletes = 0;
};

struct LongValueMaps {
  uint16_t column = 0;
  uint32_t owned = 0, free = 0;
};

struct TableDef {
  uint32_t page = 0;
  std::vector<uint32_t> pages;  // the definition's pages, first included
  uint32_t magic = 0;           // the unknown word at 0x0C
  uint32_t rowCount = 0;
  uint32_t autoNumber = 0;
  uint8_t tableType = 0x4E;
  uint16_t maxCols = 0;
  uint16_t varCols = 0;
  uint32_t usedPages = 0;           // row pointer of the owned-pages map
  uint32_t freePages = 0;           // row pointer of the free-space map
  std::vector<ColumnInfo> columns;  // in column-number order
  std::vector<RealIndex> realIndexes;
  std::vector<LogicalIndex> indexes;
  std::vector<LongValueMaps> longValueMaps;
  // Decimal index keys in Jet 4's order rather than ACE's (index_key.h).
  bool legacyNumericKeys = true;
  // Laid out as the engine lays out its own tables (column entries by name, no second
  // column number); only new definitions use it.
  bool engineLayout = false;
};

// The word Access repeats through a definition (at 0x0C, in every column entry).
constexpr uint32_t kDefinitionMagic = 0x0659;

// The position of the column of that exact name in def.columns, or -1.
inline int columnPosition(const TableDef& def, std::string_view name) {
  for (size_t i = 0; i < def.columns.size(); ++i)
    if (def.columns[i].def.name == name) return static_cast<int>(i);
  return -1;
}

// Reads and checks a table definition; throws a format error naming the file and table.
TableDef readTableDef(Pager& pager, uint32_t page, const std::string& tableName);

// Where a real index's entry count lives on the definition's first page.
inline uint32_t realIndexCountOffset(const Layout& l, size_t index) {
  return l.tdefBlockEnd + static_cast<uint32_t>(index) * l.realIndexEntry + 4;
}

// Serialises a definition (Jet 4 layout) into the bytes of its first page and of
// continuation pages (each a whole page; next_pg left 0 for the caller to link).
std::vector<std::vector<uint8_t>> encodeTableDef(const TableDef& def, const Layout& layout);

// Column types of newer files that ColumnType does not name: read, never written.
constexpr uint8_t kTypeComplex = 0x12;           // attachment / multi-valued (an id)
constexpr uint8_t kTypeBigInt = 0x13;            // Large Number, 64-bit
constexpr uint8_t kTypeDateTimeExtended = 0x14;  // Date/Time Extended, stored as text

// Byte size of a column's fixed data (0 for variable-length columns).
uint16_t fixedSize(ColumnType type);
bool isLongValue(ColumnType type);
bool isVariable(ColumnType type);

}  // namespace qv::jet
