#include "db/sql/executor.h"

#include <algorithm>

#include "db/sql/literal_conversion.h"
#include "db/sql/parser.h"
#include "db/sql/sql_error.h"
#include "db/sql/text_utils.h"

#include <utility>

namespace qv::sql {
namespace {

// An engine failure as the statement reports it: one that rejects the statement becomes
// an SQL error; others stay as they are.
DbError statementError(const DbError& e) {
  std::string_view what = e.what();
  if (e.number() != kErrSql || what.substr(0, kSqlErrorPrefix.size()) == kSqlErrorPrefix) return e;
  return DbError(kErrSql, std::string(kSqlErrorPrefix) + std::string(what));
}

[[noreturn]] void rethrowEngineError(const DbError& e) { throw statementError(e); }

void parseChecked(std::string_view sql, Statement& statement) {
  if (size_t bad = findInvalidUtf8(sql); bad != std::string_view::npos) {
    throwSqlError("The statement is not valid UTF-8 text" + atCharacter(sql, bad) + ".");
  }
  parseStatement(sql, statement);
}

// A batch writes its waiting rows at the latest when they are this many, or hold this
// many bytes of text and binary values.
constexpr size_t kBatchRows = 2048;
constexpr size_t kBatchBytes = size_t{8} << 20;

}  // namespace

long Executor::execute(std::string_view sql) {
  parseChecked(sql, statement_);
  return runParsed(sql);
}

size_t Executor::executeBatch(std::span<const std::string_view> statements, const FailureHandler& onFailure) {
  waitingTable_ = nullptr;
  waitingStatements_.clear();
  waitingBytes_ = 0;
  waitingCount_ = 0;
  for (size_t i = 0; i < statements.size(); ++i) {
    const std::string_view sql = statements[i];
    try {
      parseChecked(sql, statement_);
      if (statement_.kind != Statement::Kind::kInsert) {
        if (!writeWaitingRows(onFailure)) return stoppedAfter_;
        runParsed(sql);
        continue;
      }
      jet::Table& table = prepareInsert(sql);
      if (&table != waitingTable_) {
        if (!writeWaitingRows(onFailure)) return stoppedAfter_;
        waitingTable_ = &table;
      }
      // Swapped with the slots of earlier batches: no text is copied, and the strings'
      // buffers go round between row_ and the slots.
      for (jet::Value& v : row_) {
        waitingBytes_ += v.s.size();
        if (waitingCount_ < waitingValues_.size()) {
          std::swap(waitingValues_[waitingCount_], v);
        } else {
          waitingValues_.push_back(v);
        }
        ++waitingCount_;
      }
      waitingStatements_.push_back(i);
      if (waitingStatements_.size() >= kBatchRows || waitingBytes_ >= kBatchBytes) {
        if (!writeWaitingRows(onFailure)) return stoppedAfter_;
      }
    } catch (const DbError& e) {
      // The statements before this one come first.
      if (!writeWaitingRows(onFailure)) return stoppedAfter_;
      if (!onFailure(i, e)) return i + 1;
    }
  }
  if (!writeWaitingRows(onFailure)) return stoppedAfter_;
  return statements.size();
}

bool Executor::writeWaitingRows(const FailureHandler& onFailure) {
  if (waitingStatements_.empty()) return true;
  jet::Table& table = *waitingTable_;
  const size_t width = table.columns().size();
  const size_t count = waitingStatements_.size();
  const std::span<const jet::Value> values = std::span<const jet::Value>(waitingValues_).first(waitingCount_);
  bool goOn = true;
  size_t at = 0;
  while (at < count && goOn) {
    size_t inFile = 0;
    try {
      table.insertRows(values.subspan(at * width), &inFile);
      break;
    } catch (const DbError&) {
      at += inFile;
    }
    // The run failed somewhere after its first inFile rows: row by row from there finds
    // the statement that fails, and the run goes on after it.
    for (; at < count; ++at) {
      try {
        table.insert(values.subspan(at * width, width));
      } catch (const DbError& e) {
        goOn = onFailure(waitingStatements_[at], statementError(e));
        stoppedAfter_ = waitingStatements_[at] + 1;
        ++at;
        break;
      }
    }
  }
  waitingTable_ = nullptr;
  waitingStatements_.clear();
  waitingBytes_ = 0;
  waitingCount_ = 0;
  return goOn;
}

long Executor::runParsed(std::string_view sql) {
  switch (statement_.kind) {
    case Statement::Kind::kCreateTable: return createTable(sql);
    case Statement::Kind::kDropTable: return dropTable(sql);
    case Statement::Kind::kInsert: return insert(sql);
    case Statement::Kind::kCreateIndex: return createIndex(sql);
    case Statement::Kind::kNone: break;
  }
  throwSqlError("Invalid SQL statement.");
}

long Executor::createTable(std::string_view sql) {
  lastTable_ = nullptr;
  nameBuffer_.assign(statement_.table.text);
  if (db_.table(nameBuffer_) != nullptr) {
    throwSqlError("Table " + quoteForMessage(statement_.table.text) + " already exists" +
                  atCharacter(sql, statement_.table.offset) + ".");
  }
  std::vector<jet::ColumnDef> columns;
  columns.reserve(statement_.columns.size());
  for (auto& c : statement_.columns) columns.push_back(std::move(c.def));
  std::vector<jet::IndexDef> indexes;
  for (const IndexClause& clause : statement_.indexes) {
    jet::IndexDef def = indexDefOf(clause);
    // A constraint without a name: the primary key is "PrimaryKey", as Access names it;
    // another takes its first column's name.
    if (def.name.empty()) {
      std::string base = clause.primaryKey ? "PrimaryKey" : def.columns.front().name;
      def.name = base;
      for (int n = 1; std::any_of(indexes.begin(), indexes.end(),
                                  [&](const jet::IndexDef& d) { return namesEqual(d.name, def.name); });
           ++n)
        def.name = base + std::to_string(n);
    }
    indexes.push_back(std::move(def));
  }
  try {
    if (indexes.empty()) db_.createTable(nameBuffer_, columns);
    else db_.createIndexedTable(nameBuffer_, columns, indexes);
  } catch (const DbError& e) {
    rethrowEngineError(e);
  }
  return 0;
}

jet::IndexDef Executor::indexDefOf(const IndexClause& clause) {
  jet::IndexDef def;
  def.name.assign(clause.name.text);
  for (const IndexClause::Column& c : clause.columns) def.columns.push_back({std::string(c.name.text), c.ascending});
  def.primaryKey = clause.primaryKey;
  def.unique = clause.unique;
  def.required = clause.required;
  def.ignoreNulls = clause.ignoreNulls;
  return def;
}

long Executor::createIndex(std::string_view sql) {
  lastTable_ = nullptr;
  nameBuffer_.assign(statement_.table.text);
  if (db_.table(nameBuffer_) == nullptr) {
    throwSqlError("Table " + quoteForMessage(statement_.table.text) + " does not exist" +
                  atCharacter(sql, statement_.table.offset) + ".");
  }
  try {
    db_.createIndex(nameBuffer_, indexDefOf(statement_.indexes.front()));
  } catch (const DbError& e) {
    rethrowEngineError(e);
  }
  return 0;
}

long Executor::dropTable(std::string_view sql) {
  lastTable_ = nullptr;
  nameBuffer_.assign(statement_.table.text);
  if (db_.table(nameBuffer_) == nullptr) {
    throwSqlError("Table " + quoteForMessage(statement_.table.text) + " does not exist" +
                  atCharacter(sql, statement_.table.offset) + ".");
  }
  try {
    db_.dropTable(nameBuffer_);
  } catch (const DbError& e) {
    rethrowEngineError(e);
  }
  return 0;
}

jet::Table& Executor::insertTarget(std::string_view sql) {
  const std::string_view name = statement_.table.text;
  if (lastTable_ != nullptr && name == lastTableName_) return *lastTable_;
  lastTable_ = nullptr;
  nameBuffer_.assign(name);
  jet::Table* table = db_.table(nameBuffer_);
  if (table == nullptr) {
    throwSqlError("Could not find output table " + quoteForMessage(name) + atCharacter(sql, statement_.table.offset) +
                  ".");
  }
  lastTable_ = table;
  lastTableName_.assign(name);
  return *table;
}

long Executor::insert(std::string_view sql) {
  jet::Table& table = prepareInsert(sql);
  try {
    table.insert(row_);
  } catch (const DbError& e) {
    rethrowEngineError(e);
  }
  return 1;
}

jet::Table& Executor::prepareInsert(std::string_view sql) {
  jet::Table& table = insertTarget(sql);
  const std::vector<jet::ColumnDef>& columns = table.columns();
  const size_t columnCount = columns.size();
  const auto& values = statement_.values;
  if (row_.size() != columnCount) row_.resize(columnCount);

  if (!statement_.hasColumnList) {
    if (values.size() != columnCount) {
      throwSqlError("Number of query values and destination fields are not the same: " + std::to_string(values.size()) +
                    " values for the " + std::to_string(columnCount) + " columns of table " +
                    quoteForMessage(table.name()) + atCharacter(sql, statement_.valuesOffset) + ".");
    }
    for (size_t i = 0; i < columnCount; ++i) convertLiteral(sql, values[i], columns[i], row_[i]);
  } else {
    const auto& names = statement_.insertColumns;
    if (values.size() != names.size()) {
      throwSqlError("Number of query values and destination fields are not the same: " + std::to_string(values.size()) +
                    " values for " + std::to_string(names.size()) + " listed columns" +
                    atCharacter(sql, statement_.valuesOffset) + ".");
    }
    columnGiven_.assign(columnCount, false);
    for (size_t v = 0; v < names.size(); ++v) {
      size_t c = 0;
      while (c < columnCount && !namesEqual(columns[c].name, names[v].text)) ++c;
      if (c == columnCount) {
        throwSqlError("The INSERT INTO statement contains the unknown field name " + quoteForMessage(names[v].text) +
                      atCharacter(sql, names[v].offset) + ".");
      }
      if (columnGiven_[c]) {
        throwSqlError("Duplicate output destination " + quoteForMessage(names[v].text) +
                      atCharacter(sql, names[v].offset) + ".");
      }
      columnGiven_[c] = true;
      convertLiteral(sql, values[v], columns[c], row_[c]);
    }
    // Columns not listed take Null (or No for Yes/No; AutoNumber draws its number).
    Literal null;
    null.offset = statement_.valuesOffset;
    for (size_t c = 0; c < columnCount; ++c) {
      if (columnGiven_[c]) continue;
      if (columns[c].notNull && !columns[c].autoIncrement && columns[c].type != jet::ColumnType::kBoolean) {
        throwSqlError("The column " + quoteForMessage(columns[c].name) +
                      " cannot contain a Null value (it is NOT NULL) and is not in the column list" +
                      atCharacter(sql, statement_.table.offset) + ".");
      }
      convertLiteral(sql, null, columns[c], row_[c]);
    }
  }
  return table;
}

}  // namespace qv::sql
