#include "engine/statement_batch.h"

#include <algorithm>
#include <span>
#include <utility>

#include "db/ado/connection.h"
#include "db/ado/error.h"

namespace qv::engine {

void StatementBatch::add(std::string_view statement, long tag) {
  if (ends_.empty()) since_.start();
  text_.append(statement);
  ends_.push_back(text_.size());
  tags_.push_back(tag);
}

void StatementBatch::add(const QString& statement, long tag) {
  if (ends_.empty()) since_.start();
  // Encoded straight into the buffer, as the database would encode it.
  const size_t at = text_.size();
  text_.resize(at + static_cast<size_t>(utf8_.requiredSpace(statement.size())));
  utf8_.resetState();
  char* end = utf8_.appendToBuffer(text_.data() + at, statement);
  text_.resize(static_cast<size_t>(end - text_.data()));
  ends_.push_back(text_.size());
  tags_.push_back(tag);
}

std::string_view StatementBatch::statement(size_t index) const {
  const size_t from = index == 0 ? 0 : ends_[index - 1];
  return std::string_view(text_).substr(from, ends_[index] - from);
}

bool StatementBatch::due(size_t maxStatements, size_t maxBytes, qint64 maxMilliseconds) const {
  if (empty()) return false;
  return ends_.size() >= maxStatements || text_.size() >= maxBytes ||
         (maxMilliseconds >= 0 && since_.elapsed() >= maxMilliseconds);
}

size_t StatementBatch::execute(ado::Connection* connection, const FailureHandler& onFailure,
                               WhenBatchFails whenBatchFails) const {
  return execute(
      [connection]() -> ado::Connection& {
        if (!connection) throw ado::Error(91, QStringLiteral("Object variable not set"));
        return *connection;
      },
      onFailure, whenBatchFails);
}

size_t StatementBatch::execute(const ConnectionFinder& connection, const FailureHandler& onFailure,
                               WhenBatchFails whenBatchFails) const {
  if (empty()) return 0;
  std::vector<std::string_view> views;
  views.reserve(ends_.size());
  for (size_t i = 0; i < ends_.size(); ++i) views.push_back(statement(i));
  size_t next = 0;             // the first statement whose outcome is not yet known
  bool handlerFailed = false;  // what onFailure throws is its own, not the batch's
  try {
    const int ran =
        connection().ExecuteBatch(std::span<const std::string_view>(views), [&](int i, const ado::Error& error) {
          const auto index = static_cast<size_t>(i);
          next = index + 1;
          try {
            return onFailure(index, std::make_exception_ptr(error));
          } catch (...) {
            handlerFailed = true;
            throw;
          }
        });
    return static_cast<size_t>(ran);
  } catch (...) {
    if (handlerFailed || whenBatchFails == WhenBatchFails::kThrow) throw;
    // The batch could not run (no connection, a closed one): each statement not yet
    // reported fails as it would have alone.
    const std::exception_ptr failure = std::current_exception();
    for (size_t i = next; i < views.size(); ++i) {
      if (!onFailure(i, failure)) return i + 1;
    }
    return views.size();
  }
}

std::vector<StatementBatch::Failure> StatementBatch::executeAll(ado::Connection* connection) const {
  std::vector<Failure> failures;
  execute(connection, [&](size_t index, const std::exception_ptr& failure) {
    failures.push_back({index, failure});
    return true;
  });
  // ExecuteBatch reports in statement order; kept so whatever a driver does.
  std::stable_sort(failures.begin(), failures.end(),
                   [](const Failure& a, const Failure& b) { return a.index < b.index; });
  return failures;
}

void StatementBatch::clear() {
  text_.clear();
  ends_.clear();
  tags_.clear();
}

void StatementBatch::release() {
  std::string().swap(text_);
  std::vector<size_t>().swap(ends_);
  std::vector<long>().swap(tags_);
}

void StatementBatch::swap(StatementBatch& other) noexcept {
  text_.swap(other.text_);
  ends_.swap(other.ends_);
  tags_.swap(other.tags_);
  std::swap(since_, other.since_);
}

}  // namespace qv::engine
