#pragma once
// Reading the definition of a secondary index from its entry file (.Xnn or .XGn;
// layout in index_file.h) and checking it against its table: the indexed fields must be
// fields of the table with the same type and size, the fields after them the table's
// key fields (or the record position fields of a table without key), and an index kept
// up to date must hold one entry for each record. Its tree file (.Ynn/.YGn) is checked
// as a primary index of the entry file.

#include <string>
#include <vector>

#include "db/io/env.h"
#include "db/paradox/index_file.h"
#include "db/paradox/table_keys.h"

namespace qv::paradox {

// The table as the checks need it: its header and the records of its data blocks.
struct IndexedTable {
  const IndexFileHeader* header = nullptr;
  std::vector<BlockCount> blocks;
};

// Reads and checks the index in entryPath, whose tree file is treePath ("" when there is
// none). Throws DbError(kErrFormat) naming the file at fault.
SecondaryIndex readSecondaryIndex(const std::string& entryPath, const std::string& treePath, const IndexedTable& table,
                                  io::Env& env);

}  // namespace qv::paradox
