#pragma once
// Checking a tree file (a table's .PX, or the .Ynn/.YGn of a secondary index) against
// the file it indexes. The layout is in index_file.h. A tree file is accepted when its
// header describes the indexed file's key fields, and walking its tree from the root
// reaches every data block of the indexed file exactly once, with the record count the
// block really has, each upper entry counting what lies below it. That finds a damaged
// or cut-short file, one left over from another table, and one that no longer matches
// its table, without relying on the sort order of the keys.

#include <string>
#include <vector>

#include "db/io/env.h"
#include "db/paradox/index_file.h"

namespace qv::paradox {

// Checks the tree file at path. keyFields are the indexed file's key fields as its
// header lists them; dataBlocks are its data blocks with their record counts
// (chainRecordCounts). Throws DbError(kErrFormat) naming the file when it does not fit.
void checkTreeFile(const std::string& path, io::Env& env, const std::vector<FieldSlot>& keyFields,
                   const std::vector<BlockCount>& dataBlocks);

}  // namespace qv::paradox
