// Fuzzes the SQL front end: the input runs as one statement, then line by line, on an
// in-memory database that holds a table with a column of every type. Whatever the input,
// the front end must either succeed or throw an SQL error ("SQL error: ..."), and every
// row it hands to the engine must hold values of the columns' kinds. The lines also run
// as one batch on a second database, which must end as the line-by-line run did: the
// same lines failing, the same rows in every table.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/io/error.h"
#include "db/jet/database.h"
#include "db/sql/executor.h"
#include "db/sql/sql_error.h"
#include "support/memory_database.h"

namespace {

using qv::jet::ColumnDef;
using qv::jet::ColumnType;
using Kind = qv::jet::Value::Kind;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
  std::abort();
}

class CheckingTable final : public qv::jet::Table {
 public:
  CheckingTable(std::string name, std::vector<ColumnDef> columns)
      : name_(std::move(name)), columns_(std::move(columns)) {}
  const std::string& name() const override { return name_; }
  const std::vector<ColumnDef>& columns() const override { return columns_; }
  int64_t rowCount() const override { return rows_; }
  void insert(std::span<const qv::jet::Value> values) override {
    if (values.size() != columns_.size()) fail("row of the wrong width");
    for (size_t i = 0; i < values.size(); ++i) {
      const auto& v = values[i];
      if (v.isNull()) {
        if (columns_[i].notNull && !columns_[i].autoIncrement) fail("Null in a NOT NULL column");
        if (columns_[i].type == ColumnType::kBoolean) fail("Null in a Yes/No column");
        continue;
      }
      if (!qv::test::kindFits(columns_[i].type, v.kind)) fail("value of the wrong kind");
      if (v.kind == Kind::kGuid && v.s.size() != 16) fail("GUID not 16 bytes");
    }
    ++rows_;
  }
  std::unique_ptr<qv::jet::RowCursor> scan() override { return nullptr; }

 private:
  std::string name_;
  std::vector<ColumnDef> columns_;
  int64_t rows_ = 0;
};

class FuzzDatabase final : public qv::jet::Database {
 public:
  FuzzDatabase() {
    std::vector<ColumnDef> all;
    const ColumnType types[] = {ColumnType::kBoolean,  ColumnType::kByte,   ColumnType::kInteger, ColumnType::kLong,
                                ColumnType::kCurrency, ColumnType::kSingle, ColumnType::kDouble,  ColumnType::kDateTime,
                                ColumnType::kBinary,   ColumnType::kText,   ColumnType::kOle,     ColumnType::kMemo,
                                ColumnType::kGuid,     ColumnType::kNumeric};
    char name[] = "a";
    for (ColumnType t : types) {
      ColumnDef c;
      c.name = name;
      c.type = t;
      c.length = 10;
      c.precision = 8;
      c.scale = 3;
      all.push_back(c);
      ++name[0];
    }
    createTable("T", all);
  }
  qv::jet::Format format() const override { return qv::jet::Format::kJet4; }
  const std::string& path() const override { return path_; }
  std::vector<qv::jet::CatalogEntry> catalog() override { return {}; }
  qv::jet::Table* table(const std::string& name) override {
    auto it = tables_.find(name);
    return it == tables_.end() ? nullptr : it->second.get();
  }
  qv::jet::Table& createTable(const std::string& name, const std::vector<ColumnDef>& columns) override {
    if (columns.empty()) fail("table without columns");
    auto& slot = tables_[name];
    if (slot) fail("created a table that exists");
    slot = std::make_unique<CheckingTable>(name, columns);
    return *slot;
  }
  void dropTable(const std::string& name) override {
    if (tables_.erase(name) == 0) fail("dropped a missing table");
  }
  void close() override {}

  std::map<std::string, int64_t> rowCounts() const {
    std::map<std::string, int64_t> out;
    for (const auto& [name, t] : tables_) out[name] = t->rowCount();
    return out;
  }

 private:
  std::string path_ = "fuzz";
  std::map<std::string, std::unique_ptr<CheckingTable>> tables_;
};

void checkSqlError(const qv::DbError& e) {
  std::string_view what = e.what();
  if (e.number() != qv::kErrSql || what.substr(0, qv::sql::kSqlErrorPrefix.size()) != qv::sql::kSqlErrorPrefix) {
    fail("a failure that is not an SQL error");
  }
}

// Runs the statement; true when it failed.
bool runOne(qv::sql::Executor& exec, std::string_view statement) {
  try {
    exec.execute(statement);
    return false;
  } catch (const qv::DbError& e) {
    checkSqlError(e);
    return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  {
    FuzzDatabase db;
    qv::sql::Executor exec(db);
    runOne(exec, input);
  }
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= input.size()) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    lines.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  FuzzDatabase single, batched;
  qv::sql::Executor one(single), many(batched);
  std::vector<size_t> failedOne, failedMany;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (runOne(one, lines[i])) failedOne.push_back(i);
  }
  const size_t run = many.executeBatch(lines, [&](size_t i, const qv::DbError& e) {
    checkSqlError(e);
    failedMany.push_back(i);
    return true;
  });
  if (run != lines.size()) fail("the batch stopped although every failure said go on");
  if (failedMany != failedOne) fail("the batch failed other lines than the lines one by one");
  if (batched.rowCounts() != single.rowCounts()) fail("the batch left other rows than the lines one by one");
  return 0;
}
