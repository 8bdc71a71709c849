#pragma once
// A column definition for the engine's tests: a name, a type and, for Text and Binary,
// a length (0 keeps the definition's default).

#include <string>

#include "db/jet/database.h"

namespace qv::jet {

inline ColumnDef column(const std::string& name, ColumnType type, int length = 0) {
  ColumnDef c;
  c.name = name;
  c.type = type;
  c.length = length;
  return c;
}

}  // namespace qv::jet
