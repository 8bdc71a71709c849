#pragma once
// Rows of a data page. Jet 4 layout, front to back:
//   column count (2), the fixed-length columns at their fixed offsets, the
//   variable-length columns one after the other, then -- only when the table has
//   variable-length columns -- the end-of-data offset (2), the offsets of the variable
//   columns from last to first (2 each), their count (2), and last the null mask:
//   (count + 7) / 8 bytes, one bit per column number, 1 = present. A Yes/No column has
//   no data; its bit is its value.
// Jet 3 uses 1-byte counts and offsets; offsets past 255 are reached through a jump
// table (stored just before the variable count) that lists the first variable column
// of each further 256-byte stretch.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "db/jet/storage/long_value.h"
#include "db/jet/storage/table_def.h"
#include "db/jet/storage/value.h"

namespace qv::jet {

// Decodes one row into one value per column (def.columns order).
void decodeRow(Pager& pager, const TableDef& def, std::span<const uint8_t> row, std::vector<Value>& out,
               const std::string& what);

// The bytes a row stores for one column (a long value column's field, say); false when
// the row holds no value for it. Throws a format error naming `what` for a damaged row.
bool storedColumnBytes(const Layout& layout, const TableDef& def, std::span<const uint8_t> row, const ColumnInfo& c,
                       std::span<const uint8_t>* out, const std::string& what);

// Encodes one row (Jet 4 layout) into row. Long values are placed through lv once every
// value has been checked. Throws DbError(kErrSql, ...) for a value that does not fit its
// column (before writing any long value).
void encodeRow(const TableDef& def, std::span<const Value> values, LongValueWriter& lv, std::vector<uint8_t>& row);

// The largest row a data page takes.
uint32_t maxRowSize(const Layout& layout);

}  // namespace qv::jet
