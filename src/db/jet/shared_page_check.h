#pragma once
// Part of the consistency check (checker.h): no data page is in two tables' usage maps.
// A table reads the rows of every data page its map lists that names it as owner and
// places new rows on the pages its map lists, so a page two maps claim is one table's
// rows at the mercy of the other.

#include <string>
#include <vector>

namespace qv::jet {

class DatabaseImpl;

// Adds one sentence to problems for each data page that the usage maps of two or more
// tables list.
void checkSharedDataPages(DatabaseImpl& db, std::vector<std::string>& problems);

}  // namespace qv::jet
