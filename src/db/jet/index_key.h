#pragma once
// The key of an index entry, built from a row's values. Per index column: a flag byte
// (7F ascending, 80 descending; 00 or FF for Null, which then has no value bytes), then
// the value, big-endian:
//   Byte               the byte;
//   Integer, Long,     two's complement with the sign bit inverted (so negatives sort
//   Currency           first); Currency is the 64-bit scaled integer;
//   Single, Double,    IEEE bits: positives with the sign bit inverted, negatives with
//   Date/Time          every bit inverted;
//   Yes/No             00 true, FF false (a Yes/No column is never Null);
//   Text, Long Text    the sort-order key of sort_order.h;
//   Binary             8-byte groups, each followed by 09 when more follow or by the
//                      number of bytes it holds (zero-padded) when it is the last;
//   GUID               its 16 bytes in the order its text reads (the stored first three
//                      fields, little-endian, byte-reversed), as Binary;
//   Decimal            the sign byte (00/80) and the 16-byte magnitude, big-endian: a
//                      positive value's sign byte becomes FF, a negative value's 00 with
//                      its magnitude inverted. Descending: Jet 4 inverts positives (and
//                      keeps FF), ACE inverts positives whole (FF becomes 00).
// A descending column inverts the value bytes (the flag stays 80). The entry that a leaf
// stores is the key followed by the row's pointer (3-byte big-endian page, 1-byte row).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "db/jet/table_def.h"
#include "db/jet/value.h"

namespace qv::jet {

// Why an index cannot be kept by us, or nullopt when it can (every column of a type we
// encode, text columns in a sort order we know).
std::optional<std::string> indexKeyUnsupported(const TableDef& def, const RealIndex& index);

// The key of a row (values in column-number order, as decoded); the index must be
// supported.
std::vector<uint8_t> indexKey(const TableDef& def, const RealIndex& index, std::span<const Value> values);

// Whether a row leaves every column of an index Null (Yes/No columns never are), and the
// first column it leaves Null (nullptr when none).
bool keyAllNull(const TableDef& def, const RealIndex& index, std::span<const Value> values);
const ColumnInfo* nullKeyColumn(const TableDef& def, const RealIndex& index, std::span<const Value> values);

// Key followed by the row pointer: the leaf entry of a row.
std::vector<uint8_t> leafEntry(const TableDef& def, const RealIndex& index, std::span<const Value> values,
                               uint32_t rowPointer);

}  // namespace qv::jet
