#pragma once
// Checks a database against the independent readers: mdb-reader (through node and
// tests/js/mdb_dump.mjs) value by value, and mdbtools' row counts and table list.

#include <string>
#include <vector>

#include "db/jet/database.h"

namespace qv::test {

bool mdbReaderAvailable();
bool mdbtoolsAvailable();

// "" when mdb-reader reads every given table of the file exactly as our engine does
// (same rows in the same order, every value equal); otherwise the first difference.
std::string compareWithMdbReader(const std::string& path, jet::Database& db, const std::vector<std::string>& tables,
                                 const std::string& password = "");
// The user tables mdb-tables lists, and mdb-count's row count of one table (-1 on failure).
std::vector<std::string> mdbtoolsTables(const std::string& path);
long mdbtoolsCount(const std::string& path, const std::string& table);
// mdb-export's CSV of one table, one string per line.
std::vector<std::string> mdbtoolsExport(const std::string& path, const std::string& table);

// Bytes as lower-case hexadecimal digits.
std::string hex(const std::string& bytes);

// Copies a file (a corpus database to a temporary folder before changing it).
void copyFile(const std::string& from, const std::string& to);

}  // namespace qv::test
