#pragma once
// Checks of the structures that only Access reads (mdbtools and mdb-reader pass over
// them): page 0's commit-byte table, where the first catalogue tables live, the
// complex-column catalogue of an .accdb, and the flags of user columns. Each appends a
// sentence per problem it finds; checker.cpp calls them.

#include <string>
#include <vector>

namespace qv::jet {

class DatabaseImpl;

// A commit-byte table (format.h) that is not idle.
void checkCommitTable(DatabaseImpl& db, std::vector<std::string>& problems);
// MSysObjects, MSysACEs, MSysQueries and MSysRelationships away from the pages page 0
// names for them, or missing.
void checkCatalogPlaces(DatabaseImpl& db, std::vector<std::string>& problems);
// An .accdb without MSysComplexColumns or one of the nine MSysComplexType_* tables, or
// with one whose columns are not those Access gives it.
void checkComplexColumnTables(DatabaseImpl& db, std::vector<std::string>& problems);
// A user table's column that carries a flag only the engine's catalogue columns have.
void checkUserColumnFlags(DatabaseImpl& db, std::vector<std::string>& problems);

}  // namespace qv::jet
