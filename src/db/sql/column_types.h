#pragma once
// The Access column type names a CREATE TABLE statement may use, and what each makes:
//
//   TEXT (no size), MEMO, LONGTEXT, LONGCHAR, NOTE, NTEXT        Long Text (memo)
//   TEXT(n), CHAR[(n)], CHARACTER [VARYING][(n)], VARCHAR[(n)],
//     NCHAR, NVARCHAR, NATIONAL CHAR..., STRING, ALPHANUMERIC     Text(n), 255 by default
//   INT, INTEGER, LONG, INTEGER4, INT4                           Long Integer
//   COUNTER, AUTOINCREMENT                                       Long Integer, AutoNumber
//   SMALLINT, SHORT, INTEGER2, INT2                              Integer
//   BYTE, TINYINT, INTEGER1                                      Byte
//   FLOAT, DOUBLE [PRECISION], FLOAT8, NUMBER, IEEEDOUBLE        Double
//   REAL, SINGLE, FLOAT4, IEEESINGLE                             Single
//   DECIMAL[(p[,s])], NUMERIC, DEC                               Decimal, (18,0) by default
//   MONEY, CURRENCY                                              Currency
//   DATETIME, DATE, TIME, TIMESTAMP                              Date/Time
//   BIT, YESNO, LOGICAL, LOGICAL1, BOOLEAN                       Yes/No
//   BLOB, LONGBINARY, IMAGE, OLEOBJECT, GENERAL                  OLE Object
//   BINARY[(n)], VARBINARY[(n)]                                  Binary(n), 255 by default
//   GUID, UNIQUEIDENTIFIER                                       Replication ID
//
// Type names are compared without regard to case.

#include <optional>
#include <string>
#include <string_view>

#include "db/jet/database.h"

namespace qv::sql {

enum class SizeRule : uint8_t {
  kNone,       // takes no size
  kLength,     // optional (n): a length
  kPrecision,  // optional (p[, s])
  kSeed,       // optional (seed, increment), COUNTER only
};

struct ColumnTypeName {
  jet::ColumnType type;
  SizeRule size;
  int defaultLength;     // kLength types
  bool memoWithoutSize;  // TEXT: Long Text unless a size follows
  bool autoIncrement;
};

// The type a (single-word) type name stands for, or nothing for an unknown name.
std::optional<ColumnTypeName> lookupColumnType(std::string_view word);

// The largest sizes Jet allows.
inline constexpr int kMaxTextLength = 255;
inline constexpr int kMaxBinaryLength = 255;
inline constexpr int kMaxDecimalPrecision = 28;

// The name a message uses for a column's type ("TEXT(50)", "DECIMAL(18,2)", "LONG").
std::string columnTypeText(const jet::ColumnDef& column);

}  // namespace qv::sql
