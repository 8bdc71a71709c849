#pragma once
// Runs Access SQL statements, one per call, on a Jet database: parses the statement,
// converts its values the way Jet does and hands the row to the engine. The executor
// keeps its parse tree and row buffers from one statement to the next, so a stream of
// INSERT statements costs no allocation beyond what the values themselves need.
//
// Failures: a statement the front end or the engine rejects throws qv::DbError with
// number kErrSql and a description beginning "SQL error: " that says what and where.
// Failures of the file itself (I/O, a full disk) keep the engine's number and text.

#include <string>
#include <string_view>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/value.h"
#include "db/sql/statement.h"

namespace qv::sql {

class Executor {
 public:
  explicit Executor(jet::Database& database) : db_(database) {}

  // Runs one statement; returns the number of rows it affected (1 for INSERT, 0 for
  // CREATE TABLE and DROP TABLE).
  long execute(std::string_view sql);

  jet::Database& database() { return db_; }

 private:
  long createTable(std::string_view sql);
  long dropTable(std::string_view sql);
  long insert(std::string_view sql);
  jet::Table& insertTarget(std::string_view sql);

  jet::Database& db_;
  Statement statement_;
  std::vector<jet::Value> row_;
  std::vector<int> columnOf_;        // INSERT with a column list: value index -> column
  std::vector<bool> columnGiven_;
  // The table of the last INSERT, so a run of INSERTs into one table looks it up once.
  jet::Table* lastTable_ = nullptr;
  std::string lastTableName_;
  std::string nameBuffer_;
};

}  // namespace qv::sql
