#pragma once
// What the engine's benchmarks share: a column definition and the seconds since a
// moment.

#include <chrono>

#include "db/jet/database.h"

namespace qv::bench {

inline qv::jet::ColumnDef column(const char* name, qv::jet::ColumnType type, int length = 0) {
  qv::jet::ColumnDef c;
  c.name = name;
  c.type = type;
  c.length = length;
  return c;
}

inline double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace qv::bench
