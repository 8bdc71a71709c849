#include "support/memory_database.h"

#include <algorithm>

#include "db/sql/text_utils.h"

namespace qv::test {
namespace {

using jet::ColumnType;
using Kind = jet::Value::Kind;

class VectorCursor final : public jet::RowCursor {
 public:
  explicit VectorCursor(const std::vector<std::vector<jet::Value>>& rows) : rows_(rows) {}
  bool next(std::vector<jet::Value>& row) override {
    if (i_ >= rows_.size()) return false;
    row = rows_[i_++];
    return true;
  }

 private:
  const std::vector<std::vector<jet::Value>>& rows_;
  size_t i_ = 0;
};

}  // namespace

bool kindFits(ColumnType type, Kind kind) {
  switch (type) {
    case ColumnType::kBoolean: return kind == Kind::kBoolean;
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong: return kind == Kind::kInteger;
    case ColumnType::kCurrency: return kind == Kind::kCurrency;
    case ColumnType::kSingle:
    case ColumnType::kDouble: return kind == Kind::kDouble;
    case ColumnType::kDateTime: return kind == Kind::kDateTime;
    case ColumnType::kBinary:
    case ColumnType::kOle: return kind == Kind::kBinary;
    case ColumnType::kText:
    case ColumnType::kMemo: return kind == Kind::kText;
    case ColumnType::kGuid: return kind == Kind::kGuid;
    case ColumnType::kNumeric: return kind == Kind::kDecimal;
  }
  return false;
}

void MemoryTable::insert(std::span<const jet::Value> values) {
  if (failNextInsert) {
    DbError e = *failNextInsert;
    failNextInsert.reset();
    throw e;
  }
  if (values.size() != columns_.size()) throw DbError(kErrSql, "wrong number of values");
  std::vector<jet::Value> row(values.begin(), values.end());
  for (size_t i = 0; i < columns_.size(); ++i) {
    const jet::ColumnDef& c = columns_[i];
    if (row[i].isNull()) {
      if (c.autoIncrement) {
        row[i] = jet::Value::integer(nextCounter_++);
        continue;
      }
      if (c.notNull) throw DbError(kErrSql, "null in a NOT NULL column");
      continue;
    }
    if (!kindFits(c.type, row[i].kind)) throw DbError(kErrSql, "value of the wrong kind for column " + c.name);
  }
  rows_.push_back(std::move(row));
}

std::unique_ptr<jet::RowCursor> MemoryTable::scan() { return std::make_unique<VectorCursor>(rows_); }

std::vector<jet::CatalogEntry> MemoryDatabase::catalog() {
  std::vector<jet::CatalogEntry> out;
  out.push_back({"MSysObjects", jet::ObjectKind::kSystemTable, 1, 1, static_cast<int32_t>(0x80000002)});
  int32_t id = 100;
  for (const auto& t : tables_) out.push_back({t->name(), jet::ObjectKind::kUserTable, id++, 1, 0});
  out.insert(out.end(), extraCatalog.begin(), extraCatalog.end());
  return out;
}

jet::Table* MemoryDatabase::table(const std::string& name) {
  for (const auto& t : tables_) {
    if (sql::namesEqual(t->name(), name)) return t.get();
  }
  return nullptr;
}

jet::Table& MemoryDatabase::createTable(const std::string& name, const std::vector<jet::ColumnDef>& columns) {
  if (closed_) throw DbError("database is closed");
  if (table(name)) throw DbError(kErrSql, "Table '" + name + "' already exists.");
  if (columns.empty()) throw DbError(kErrSql, "a table needs a column");
  tables_.push_back(std::make_unique<MemoryTable>(name, columns));
  return *tables_.back();
}

void MemoryDatabase::dropTable(const std::string& name) {
  auto it =
      std::find_if(tables_.begin(), tables_.end(), [&](const auto& t) { return sql::namesEqual(t->name(), name); });
  if (it == tables_.end()) throw DbError(kErrSql, "Table '" + name + "' does not exist.");
  tables_.erase(it);
}

}  // namespace qv::test
