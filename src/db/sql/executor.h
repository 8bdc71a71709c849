#pragma once
// Runs Access SQL statements, one per call, on a Jet database: parses the statement,
// converts its values the way Jet does and hands the row to the engine. The executor
// keeps its parse tree and row buffers from one statement to the next, so a stream of
// INSERT statements costs no allocation beyond what the values themselves need.
//
// Failures: a statement the front end or the engine rejects throws qv::DbError with
// number kErrSql and a description beginning "SQL error: " that says what and where.
// Failures of the file itself (I/O, a full disk) keep the engine's number and text.

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/jet/database.h"
#include "db/jet/storage/value.h"
#include "db/sql/statement.h"

namespace qv::sql {

class Executor {
 public:
  explicit Executor(jet::Database& database) : db_(database) {}

  // Runs one statement; returns the number of rows it affected (1 for INSERT, 0 for
  // CREATE TABLE, CREATE INDEX and DROP TABLE).
  long execute(std::string_view sql);

  // Told of a statement of a batch that failed (its index and the error execute() would
  // have thrown) once every statement before it has had its effect. Returns true to go
  // on with the next statement, false to stop.
  using FailureHandler = std::function<bool(size_t index, const DbError& error)>;

  // Runs statements in order with the outcome execute() would have on each, one after
  // the other, but hands a run of INSERTs into one table to the engine at once, which
  // writes it with far fewer writes. When it returns, every statement it ran that did
  // not fail is in the file. Returns the number of statements run: all of them, or up to
  // and including the one whose failure stopped the batch.
  size_t executeBatch(std::span<const std::string_view> statements, const FailureHandler& onFailure);

  jet::Database& database() { return db_; }

 private:
  long runParsed(std::string_view sql);
  long createTable(std::string_view sql);
  long createIndex(std::string_view sql);
  static jet::IndexDef indexDefOf(const IndexClause& clause);
  long dropTable(std::string_view sql);
  long insert(std::string_view sql);
  // Checks the parsed INSERT and converts its values into row_; returns its table.
  jet::Table& prepareInsert(std::string_view sql);
  jet::Table& insertTarget(std::string_view sql);
  // Writes the rows waiting in the batch; false when a failure stopped the batch.
  bool writeWaitingRows(const FailureHandler& onFailure);

  jet::Database& db_;
  Statement statement_;
  std::vector<jet::Value> row_;
  std::vector<int> columnOf_;  // INSERT with a column list: value index -> column
  std::vector<bool> columnGiven_;
  // The table of the last INSERT, so a run of INSERTs into one table looks it up once.
  jet::Table* lastTable_ = nullptr;
  std::string lastTableName_;
  std::string nameBuffer_;
  // A batch's run of INSERTs not yet written: their table, values (the first
  // waitingCount_ of waitingValues_) and statement indexes.
  jet::Table* waitingTable_ = nullptr;
  std::vector<jet::Value> waitingValues_;
  size_t waitingCount_ = 0;
  std::vector<size_t> waitingStatements_;
  size_t waitingBytes_ = 0;
  size_t stoppedAfter_ = 0;  // one past the statement whose failure stopped the batch
};

}  // namespace qv::sql
