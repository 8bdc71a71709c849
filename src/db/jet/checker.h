#pragma once
// A consistency check of a whole database, ours or Access's: every table's rows against
// its row count and readable to the end (long-value chains included); every index
// walked (entries in order, each pointing at a live row of its table, one entry for
// every row with a non-Null key); usage
// maps (every page owned by one object at most, owned pages of the right kind, not
// marked free, free-space maps inside owned maps, no data page in two tables' maps, each
// long value page in its own column's map); a permission row for every table;
// and what only Access reads (layout_checks.h): page 0's commit-byte table, where the
// first catalogue tables live, an .accdb's complex-column catalogue, user columns that
// carry catalogue flags; every security ID naming an account (sid_check.h).

#include <string>
#include <vector>

#include "db/jet/database.h"

namespace qv::jet {

// Every problem found, one sentence each; empty when the database is consistent.
// Throws DbError when the database cannot be opened at all.
std::vector<std::string> checkDatabase(const std::string& path, const OpenOptions& options = {});

}  // namespace qv::jet
