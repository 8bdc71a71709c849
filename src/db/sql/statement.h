#pragma once
// A parsed statement: what the parser hands to the executor. Names and literals are
// views into the statement text, which must outlive the Statement. A Statement is
// meant to be reused from one statement to the next, so its vectors keep their memory.

#include <cstdint>
#include <string_view>
#include <vector>

#include "db/jet/database.h"

namespace qv::sql {

struct Name {
  std::string_view text;  // without quotes or brackets
  uint32_t offset = 0;    // where it begins in the statement
};

struct Literal {
  enum class Kind : uint8_t { kNull, kBoolean, kNumber, kString, kDate };
  Kind kind = Kind::kNull;
  bool negative = false;  // kNumber: a "-" came before it
  bool booleanValue = false;
  bool hasDoubled = false;  // kString: text holds doubled quote characters
  char quote = 0;           // kString: the enclosing character
  uint32_t offset = 0;      // where it begins (its sign, if any)
  std::string_view text;    // kNumber: digits as written, without sign; kString: inside
                            // of the quotes; kDate: inside of the # signs
};

struct ColumnClause {
  jet::ColumnDef def;
  uint32_t offset = 0;  // where the column's name begins
};

// An index: a CONSTRAINT of CREATE TABLE, or CREATE INDEX.
struct IndexClause {
  struct Column {
    Name name;
    bool ascending = true;
  };
  Name name;            // empty text: none given
  uint32_t offset = 0;  // where the constraint or statement begins
  std::vector<Column> columns;
  bool primaryKey = false;
  bool unique = false;
  bool required = false;     // WITH DISALLOW NULL
  bool ignoreNulls = false;  // WITH IGNORE NULL
};

struct Statement {
  enum class Kind : uint8_t { kNone, kCreateTable, kDropTable, kInsert, kCreateIndex };
  Kind kind = Kind::kNone;
  Name table;
  std::vector<ColumnClause> columns;  // CREATE TABLE
  std::vector<IndexClause> indexes;   // CREATE TABLE's constraints; CREATE INDEX's one
  bool hasColumnList = false;         // INSERT INTO t (a, b) ...
  std::vector<Name> insertColumns;
  std::vector<Literal> values;  // INSERT ... VALUES (...)
  uint32_t valuesOffset = 0;    // where the value list begins

  void clear() {
    kind = Kind::kNone;
    table = {};
    columns.clear();
    indexes.clear();
    hasColumnList = false;
    insertColumns.clear();
    values.clear();
    valuesOffset = 0;
  }
};

}  // namespace qv::sql
