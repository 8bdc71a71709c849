#pragma once
// A small in-memory jet::Database for the SQL front end's tests: keeps tables and rows in
// vectors, checks what the real engine checks (unique table names, one value per
// column, kinds that match the columns) and can be told to fail the next insert.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/io/error.h"
#include "db/jet/database.h"

namespace qv::test {

// Whether a value of the kind may be stored in a column of the type, as the engine demands.
bool kindFits(jet::ColumnType type, jet::Value::Kind kind);

class MemoryTable final : public jet::Table {
 public:
  MemoryTable(std::string name, std::vector<jet::ColumnDef> columns)
      : name_(std::move(name)), columns_(std::move(columns)) {}
  const std::string& name() const override { return name_; }
  const std::vector<jet::ColumnDef>& columns() const override { return columns_; }
  int64_t rowCount() const override { return static_cast<int64_t>(rows_.size()); }
  void insert(std::span<const jet::Value> values) override;
  std::unique_ptr<jet::RowCursor> scan() override;

  const std::vector<std::vector<jet::Value>>& rows() const { return rows_; }
  // The next insert throws this error instead of storing the row.
  std::optional<DbError> failNextInsert;

 private:
  std::string name_;
  std::vector<jet::ColumnDef> columns_;
  std::vector<std::vector<jet::Value>> rows_;
  int32_t nextCounter_ = 1;
};

class MemoryDatabase final : public jet::Database {
 public:
  jet::Format format() const override { return jet::Format::kJet4; }
  void setPath(std::string path) { path_ = std::move(path); }
  const std::string& path() const override { return path_; }
  std::vector<jet::CatalogEntry> catalog() override;
  jet::Table* table(const std::string& name) override;
  jet::Table& createTable(const std::string& name, const std::vector<jet::ColumnDef>& columns) override;
  void dropTable(const std::string& name) override;
  void close() override { closed_ = true; }

  MemoryTable* memoryTable(const std::string& name) { return static_cast<MemoryTable*>(table(name)); }
  bool isClosed() const { return closed_; }
  // Catalogue entries besides MSysObjects and the tables (linked tables, queries, ...).
  std::vector<jet::CatalogEntry> extraCatalog;

 private:
  std::string path_ = ":memory:";
  std::vector<std::unique_ptr<MemoryTable>> tables_;
  bool closed_ = false;
};

}  // namespace qv::test
