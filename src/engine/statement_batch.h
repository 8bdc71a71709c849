#pragma once
// Statements gathered for the database and executed together. The conversion run,
// Execute SQL, `quorvane-cli exec` and the typed run all gather their statements here:
// the UTF-8 texts back to back in one buffer, where each ends, and a tag for each (its
// row or its line). Executed through ado::Connection::ExecuteBatch, they let the
// database write a run of rows at once while every statement keeps the outcome it would
// have had alone; each failure is handed back with the statement's index, in statement
// order, for its caller to report at the statement's own step.
//
// The buffer serves batch after batch (clear() keeps it); release() gives it back.

#include <QElapsedTimer>
#include <QString>
#include <QStringEncoder>
#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::ado {
class Connection;
}

namespace qv::engine {

class StatementBatch {
 public:
  // What execute() does when the batch cannot run at all (no connection, a closed one).
  enum class WhenBatchFails {
    kEachStatementFails,  // each statement not yet reported fails with that error, in order
    kThrow,               // the error reaches the caller; what ran before it is kept
  };
  // Called for a failing statement once the statements before it have had their effect;
  // returns true to go on with the next statement, false to stop the batch.
  using FailureHandler = std::function<bool(size_t index, const std::exception_ptr& failure)>;
  struct Failure {
    size_t index;
    std::exception_ptr error;
  };

  void add(std::string_view statement, long tag);
  void add(const QString& statement, long tag);

  bool empty() const { return ends_.empty(); }
  size_t size() const { return ends_.size(); }
  // The statements' UTF-8 bytes.
  size_t bytes() const { return text_.size(); }
  std::string_view statement(size_t index) const;
  long tag(size_t index) const { return tags_[index]; }
  // Whether the batch should go now: it holds maxStatements statements or maxBytes bytes,
  // or its first statement has waited maxMilliseconds (negative: no limit of time).
  bool due(size_t maxStatements, size_t maxBytes, qint64 maxMilliseconds = -1) const;

  // Executes the statements in order; onFailure hears of each failure as it is found.
  // A null connection fails as a closed one would ("Object variable not set"). Returns
  // how many statements ran: all, or up to and including the one whose failure stopped
  // the batch. The statements stay in the batch.
  size_t execute(ado::Connection* connection, const FailureHandler& onFailure,
                 WhenBatchFails whenBatchFails = WhenBatchFails::kEachStatementFails) const;
  // The same with the connection found when the batch runs: what the finder throws is
  // the batch's failure.
  using ConnectionFinder = std::function<ado::Connection&()>;
  size_t execute(const ConnectionFinder& connection, const FailureHandler& onFailure,
                 WhenBatchFails whenBatchFails = WhenBatchFails::kEachStatementFails) const;
  // Executes every statement whatever fails and hands back the failures in statement
  // order, for a caller that reports them only once the whole batch is in the database.
  std::vector<Failure> executeAll(ado::Connection* connection) const;

  // Empties the batch, keeping its buffer for the next one.
  void clear();
  // Empties the batch and gives its memory back.
  void release();
  void swap(StatementBatch& other) noexcept;

 private:
  std::string text_;
  std::vector<size_t> ends_;
  std::vector<long> tags_;
  QElapsedTimer since_;
  QStringEncoder utf8_{QStringEncoder::Utf8};
};

}  // namespace qv::engine
