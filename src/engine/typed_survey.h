#pragma once
// The typed conversion's look at a table's records before anything is written: which
// columns need a type that holds more (typed_columns.h), and which unique keys the
// records keep. Keys are compared as the target database will compare them
// (jet/key_probe.h): two records whose keys Access takes for one (texts differing only
// in case, say) break a unique key as surely as equal ones.
//
// Memory stays small for any table: a 64-bit digest and a record number per record and
// key; only the records whose digests meet are read again to compare their keys whole.

#include <string>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/key_probe.h"
#include "db/paradox/code_page.h"
#include "engine/typed_columns.h"

namespace qv::engine {

// A unique key the table declares.
struct UniqueKey {
  std::string name;            // "PrimaryKey" or the index's name
  std::vector<size_t> fields;  // positions of its fields
  std::vector<jet::IndexDef::Column> columns;
  bool primaryKey = false;
};

struct Survey {
  std::vector<std::string> notes;  // one sentence for each column changed or key left out
  std::vector<bool> keyKept;       // per unique key
};

// Reads the table at dbPath (whose columns are `columns`, demoted here as needed) and
// checks the keys. tableName names the table in the notes. Throws DbError when the table
// cannot be read.
Survey surveyTable(const std::string& dbPath, const std::string& tableName, std::vector<TypedColumn>& columns,
                   const std::vector<UniqueKey>& keys, const jet::KeyOrder& order,
                   const paradox::TextOptions& text = {});

}  // namespace qv::engine
