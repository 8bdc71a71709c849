#include "db/sql/column_types.h"

#include <array>

#include "db/sql/lexer.h"

namespace qv::sql {
namespace {

using jet::ColumnType;

struct Entry {
  std::string_view word;
  ColumnTypeName name;
};

constexpr ColumnTypeName make(ColumnType t, SizeRule s = SizeRule::kNone, int length = 0, bool memo = false,
                              bool counter = false) {
  return ColumnTypeName{t, s, length, memo, counter};
}

constexpr std::array kTypes = {
    Entry{"TEXT", make(ColumnType::kText, SizeRule::kLength, 255, true)},
    Entry{"MEMO", make(ColumnType::kMemo)},
    Entry{"LONGTEXT", make(ColumnType::kMemo)},
    Entry{"LONGCHAR", make(ColumnType::kMemo)},
    Entry{"NOTE", make(ColumnType::kMemo)},
    Entry{"NTEXT", make(ColumnType::kMemo)},
    Entry{"CHAR", make(ColumnType::kText, SizeRule::kLength, 255)},
    Entry{"CHARACTER", make(ColumnType::kText, SizeRule::kLength, 255)},
    Entry{"VARCHAR", make(ColumnType::kText, SizeRule::kLength, 255)},
    Entry{"NCHAR", make(ColumnType::kText, SizeRule::kLength, 255)},
    Entry{"NVARCHAR", make(ColumnType::kText, SizeRule::kLength, 255)},
    Entry{"STRING", make(ColumnType::kText, SizeRule::kLength, 255)},
    Entry{"ALPHANUMERIC", make(ColumnType::kText, SizeRule::kLength, 255)},
    Entry{"INT", make(ColumnType::kLong)},
    Entry{"INTEGER", make(ColumnType::kLong)},
    Entry{"LONG", make(ColumnType::kLong)},
    Entry{"INTEGER4", make(ColumnType::kLong)},
    Entry{"INT4", make(ColumnType::kLong)},
    Entry{"COUNTER", make(ColumnType::kLong, SizeRule::kSeed, 0, false, true)},
    Entry{"AUTOINCREMENT", make(ColumnType::kLong, SizeRule::kSeed, 0, false, true)},
    Entry{"SMALLINT", make(ColumnType::kInteger)},
    Entry{"SHORT", make(ColumnType::kInteger)},
    Entry{"INTEGER2", make(ColumnType::kInteger)},
    Entry{"INT2", make(ColumnType::kInteger)},
    Entry{"BYTE", make(ColumnType::kByte)},
    Entry{"TINYINT", make(ColumnType::kByte)},
    Entry{"INTEGER1", make(ColumnType::kByte)},
    Entry{"FLOAT", make(ColumnType::kDouble)},
    Entry{"DOUBLE", make(ColumnType::kDouble)},
    Entry{"FLOAT8", make(ColumnType::kDouble)},
    Entry{"NUMBER", make(ColumnType::kDouble)},
    Entry{"IEEEDOUBLE", make(ColumnType::kDouble)},
    Entry{"REAL", make(ColumnType::kSingle)},
    Entry{"SINGLE", make(ColumnType::kSingle)},
    Entry{"FLOAT4", make(ColumnType::kSingle)},
    Entry{"IEEESINGLE", make(ColumnType::kSingle)},
    Entry{"DECIMAL", make(ColumnType::kNumeric, SizeRule::kPrecision)},
    Entry{"NUMERIC", make(ColumnType::kNumeric, SizeRule::kPrecision)},
    Entry{"DEC", make(ColumnType::kNumeric, SizeRule::kPrecision)},
    Entry{"MONEY", make(ColumnType::kCurrency)},
    Entry{"CURRENCY", make(ColumnType::kCurrency)},
    Entry{"DATETIME", make(ColumnType::kDateTime)},
    Entry{"DATE", make(ColumnType::kDateTime)},
    Entry{"TIME", make(ColumnType::kDateTime)},
    Entry{"TIMESTAMP", make(ColumnType::kDateTime)},
    Entry{"BIT", make(ColumnType::kBoolean)},
    Entry{"YESNO", make(ColumnType::kBoolean)},
    Entry{"LOGICAL", make(ColumnType::kBoolean)},
    Entry{"LOGICAL1", make(ColumnType::kBoolean)},
    Entry{"BOOLEAN", make(ColumnType::kBoolean)},
    Entry{"BLOB", make(ColumnType::kOle)},
    Entry{"LONGBINARY", make(ColumnType::kOle)},
    Entry{"IMAGE", make(ColumnType::kOle)},
    Entry{"OLEOBJECT", make(ColumnType::kOle)},
    Entry{"GENERAL", make(ColumnType::kOle)},
    Entry{"BINARY", make(ColumnType::kBinary, SizeRule::kLength, 255)},
    Entry{"VARBINARY", make(ColumnType::kBinary, SizeRule::kLength, 255)},
    Entry{"GUID", make(ColumnType::kGuid)},
    Entry{"UNIQUEIDENTIFIER", make(ColumnType::kGuid)},
};

}  // namespace

std::optional<ColumnTypeName> lookupColumnType(std::string_view word) {
  for (const auto& e : kTypes) {
    if (isKeyword(word, e.word)) return e.name;
  }
  return std::nullopt;
}

std::string columnTypeText(const jet::ColumnDef& column) {
  switch (column.type) {
    case ColumnType::kBoolean: return "YESNO";
    case ColumnType::kByte: return "BYTE";
    case ColumnType::kInteger: return "SMALLINT";
    case ColumnType::kLong: return column.autoIncrement ? "COUNTER" : "LONG";
    case ColumnType::kCurrency: return "CURRENCY";
    case ColumnType::kSingle: return "SINGLE";
    case ColumnType::kDouble: return "DOUBLE";
    case ColumnType::kDateTime: return "DATETIME";
    case ColumnType::kBinary: return "BINARY(" + std::to_string(column.length) + ")";
    case ColumnType::kText: return "TEXT(" + std::to_string(column.length) + ")";
    case ColumnType::kOle: return "OLE Object";
    case ColumnType::kMemo: return "Long Text";
    case ColumnType::kGuid: return "GUID";
    case ColumnType::kNumeric:
      return "DECIMAL(" + std::to_string(column.precision) + "," + std::to_string(column.scale) + ")";
  }
  return "unknown type";
}

}  // namespace qv::sql
