#pragma once
// The keys a Paradox table declares: its primary key (the first fields, as many as its
// header says, backed by its .PX) and its secondary indexes (.Xnn/.Ynn and .XGn/.YGn
// pairs beside it; index_file.h). Each index file is checked against the table
// (primary_index.h, secondary_index.h); one that is missing, damaged or belongs to
// another table is left out with a message naming the file, and the others stand.

#include <cstdint>
#include <string>
#include <vector>

#include "db/io/env.h"

namespace qv::paradox {

struct KeyField {
  uint16_t field = 0;  // the table's field, from 0
  bool descending = false;
};

struct SecondaryIndex {
  std::string name;  // the index's own name, or for an .Xnn the field's name
  std::string file;  // the .Xnn/.XGn it was read from
  std::vector<KeyField> fields;
  bool unique = false;
  bool caseInsensitive = false;
  bool maintained = true;  // kept up to date by Paradox (an incremental index)
};

struct TableKeys {
  uint16_t primaryKeyFields = 0;  // 0: no primary key (or it was left out)
  std::vector<SecondaryIndex> indexes;
  // One sentence for each index left out, naming its file and saying why.
  std::vector<std::string> problems;
};

// Reads the keys of the table at dbPath. Throws DbError only when the table itself cannot
// be read; every problem of an index file ends up in problems.
TableKeys readTableKeys(const std::string& dbPath, io::Env& env = io::defaultEnv());

}  // namespace qv::paradox
