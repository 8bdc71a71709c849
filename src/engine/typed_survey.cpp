#include "engine/typed_survey.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "db/io/error.h"
#include "db/jet/collation/sort_order.h"
#include "db/paradox/table_reader.h"

namespace qv::engine {
namespace {

uint64_t digest(const std::vector<uint8_t>& bytes) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

std::string describeValue(const TypedColumn& c, const paradox::Value& v) {
  std::string s;
  appendLiteral(c, v, s);
  return s.size() > 60 ? s.substr(0, 57) + "..." : s;
}

std::string keyText(const UniqueKey& key, const std::vector<TypedColumn>& columns,
                    const std::vector<paradox::Value>& row) {
  std::string s;
  for (size_t i = 0; i < key.fields.size(); ++i) {
    if (i) s += ", ";
    s += columns[key.fields[i]].column.name + " = " + describeValue(columns[key.fields[i]], row[key.fields[i]]);
  }
  return s;
}

std::string keyKind(const UniqueKey& key) {
  return key.primaryKey ? std::string("primary key") : "unique index " + key.name;
}

class KeyCheck {
 public:
  KeyCheck(const UniqueKey& key, const std::vector<TypedColumn>& columns, const jet::KeyOrder& order)
      : key_(key), columns_(columns), values_(columns.size()) {
    std::vector<jet::ColumnDef> defs;
    defs.reserve(columns.size());
    for (const TypedColumn& c : columns) defs.push_back(c.column);
    probe_.emplace(defs, order);
  }

  // The key of a record, or nothing (with broken_ set) when it cannot have one.
  std::optional<std::vector<uint8_t>> keyOf(const std::vector<paradox::Value>& row, uint64_t number) {
    for (size_t f : key_.fields) {
      values_[f] = engineValue(columns_[f], row[f]);
      if (key_.primaryKey && values_[f].isNull() && columns_[f].column.type != jet::ColumnType::kBoolean) {
        broken_ = "record " + std::to_string(number) + " leaves its key field " + columns_[f].column.name + " blank";
        return std::nullopt;
      }
    }
    try {
      return probe_->key(key_.columns, values_);
    } catch (const jet::UnencodableText& e) {
      broken_ =
          "record " + std::to_string(number) + " holds a text the database's sort order cannot key (" + e.what() + ")";
    } catch (const DbError& e) {
      broken_ = e.what();
    }
    return std::nullopt;
  }

  void add(const std::vector<paradox::Value>& row, uint64_t number) {
    if (!broken_.empty()) return;
    if (auto k = keyOf(row, number)) digests_.push_back({digest(*k), number});
  }

  // Records whose digest another record shares.
  std::set<uint64_t> suspects() {
    std::sort(digests_.begin(), digests_.end());
    std::set<uint64_t> out;
    for (size_t i = 1; i < digests_.size(); ++i)
      if (digests_[i].first == digests_[i - 1].first) {
        out.insert(digests_[i].second);
        out.insert(digests_[i - 1].second);
      }
    return out;
  }

  // Second look: the whole keys of the suspects, in record order.
  void recheck(const std::vector<paradox::Value>& row, uint64_t number) {
    if (!broken_.empty()) return;
    auto k = keyOf(row, number);
    if (!k) return;
    auto [it, fresh] = seen_.emplace(*k, number);
    if (!fresh)
      broken_ = "record " + std::to_string(number) + " repeats the key of record " + std::to_string(it->second) + " (" +
                keyText(key_, columns_, row) + ")";
  }

  const std::string& broken() const { return broken_; }

 private:
  const UniqueKey& key_;
  const std::vector<TypedColumn>& columns_;
  std::optional<jet::KeyProbe> probe_;
  std::vector<jet::Value> values_;
  std::vector<std::pair<uint64_t, uint64_t>> digests_;
  std::map<std::vector<uint8_t>, uint64_t> seen_;
  std::string broken_;
};

bool mayNeedMore(const TypedColumn& c) {
  using paradox::FieldType;
  switch (c.source) {
    case FieldType::kNumber:
    case FieldType::kMoney:
    case FieldType::kBcd:
    case FieldType::kFmtMemo:
    case FieldType::kDate:
    case FieldType::kTime:
    case FieldType::kTimestamp: return !c.asText && !c.asDouble && !c.asBytes;
    default: return false;
  }
}

}  // namespace

Survey surveyTable(const std::string& dbPath, const std::string& tableName, std::vector<TypedColumn>& columns,
                   const std::vector<UniqueKey>& keys, const jet::KeyOrder& order, const paradox::TextOptions& text) {
  Survey out;
  out.keyKept.assign(keys.size(), true);
  for (TypedColumn& c : columns)
    if (c.asText) out.notes.push_back("Table " + tableName + ", field " + c.column.name + ": " + demote(c, ""));
  std::vector<size_t> watched;
  for (size_t i = 0; i < columns.size(); ++i)
    if (mayNeedMore(columns[i])) watched.push_back(i);
  if (watched.empty() && keys.empty()) return out;

  paradox::TableReader reader(dbPath, io::defaultEnv(), text);
  std::vector<paradox::Value> row;
  // First the types: a key is compared in the type its columns end up with.
  if (!watched.empty()) {
    uint64_t number = 0;
    while (reader.next(row)) {
      ++number;
      for (auto it = watched.begin(); it != watched.end();) {
        TypedColumn& c = columns[*it];
        if (fitsType(c, row[*it])) {
          ++it;
          continue;
        }
        const std::string what = "record " + std::to_string(number) + "'s " + describeValue(c, row[*it]);
        out.notes.push_back("Table " + tableName + ", field " + c.column.name + ": " + demote(c, what));
        it = watched.erase(it);
      }
    }
  }
  if (keys.empty()) return out;

  std::vector<std::unique_ptr<KeyCheck>> checks;
  checks.reserve(keys.size());
  for (const UniqueKey& k : keys) checks.push_back(std::make_unique<KeyCheck>(k, columns, order));
  reader.rewind();
  for (uint64_t number = 1; reader.next(row); ++number)
    for (auto& c : checks) c->add(row, number);
  std::vector<std::set<uint64_t>> suspects;
  bool any = false;
  for (auto& c : checks) {
    suspects.push_back(c->suspects());
    any = any || !suspects.back().empty();
  }
  if (any) {
    reader.rewind();
    for (uint64_t number = 1; reader.next(row); ++number)
      for (size_t i = 0; i < checks.size(); ++i)
        if (suspects[i].count(number)) checks[i]->recheck(row, number);
  }
  for (size_t i = 0; i < checks.size(); ++i) {
    if (checks[i]->broken().empty()) continue;
    out.keyKept[i] = false;
    out.notes.push_back("Table " + tableName + ": " + checks[i]->broken() + ", which its " + keyKind(keys[i]) +
                        " does not allow in Access; the table is converted without it");
  }
  return out;
}

}  // namespace qv::engine
