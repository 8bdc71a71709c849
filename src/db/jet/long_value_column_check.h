#pragma once
// Part of the consistency check (checker.h): every long-value page belongs to the one
// column whose values it holds. Access keeps each Long Text / OLE Object column's pages
// in that column's own usage map and looks for a value's pages there; a page listed
// under another column (or under none) is one Access may hand out again, or free while
// a value still lives on it.

#include <string>
#include <vector>

namespace qv::jet {

class DatabaseImpl;
class TableImpl;

// Adds one sentence to problems for each kind of misplaced page of the table: pages that
// hold a column's values but are listed in another column's usage map or in none, and
// pages that two columns' maps both list.
void checkLongValueColumns(DatabaseImpl& db, TableImpl& table, std::vector<std::string>& problems);

}  // namespace qv::jet
