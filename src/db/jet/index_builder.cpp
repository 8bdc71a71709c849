// Indexes of the tables made here: a primary key and other indexes given with a new
// table, or added to one of ours later. What they look like follows the tables Access
// makes (table_def.h, index_tree.h):
//   - every index has a real index of its own (Access shares one only between a
//     relationship and an index on the same columns), numbered in the order of making,
//     as its logical index is;
//   - real index flags: 0x80 always, 0x01 unique, 0x02 ignore nulls, 0x08 required; a
//     primary key is 0x89;
//   - logical index: type 1 for the primary key, 0 otherwise; no related table (-1);
//     04 in both cascade bytes; logical indexes listed by name without regard to case;
//   - the real index's entry in the definition's first block counts distinct keys;
//   - each index starts as an empty root leaf on a page of its own, owned through a
//     usage map of its own.
// An index added to a table that holds rows enters every row before the definition
// names it; the whole change goes through the journal, so a row that breaks the index
// leaves the table as it was.

#include <algorithm>
#include <set>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/index_key.h"
#include "db/jet/storage/index_tree.h"
#include "db/jet/storage/row_codec.h"
#include "db/jet/base/text.h"

namespace qv::jet {

Table& Database::createIndexedTable(const std::string& name, const std::vector<ColumnDef>& columns,
                                    const std::vector<IndexDef>& indexes) {
  if (indexes.empty()) return createTable(name, columns);
  throw DbError(kErrSql, "This database cannot create indexes.");
}

void Database::createIndex(const std::string&, const IndexDef&) {
  throw DbError(kErrSql, "This database cannot create indexes.");
}

namespace {

constexpr uint8_t kIndexBase = 0x80;
constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexIgnoreNulls = 0x02;
constexpr uint8_t kIndexRequired = 0x08;
constexpr size_t kMaxIndexes = 32;       // Access's limit per table
constexpr size_t kMaxIndexColumns = 10;  // what a real index entry can name

uint8_t flagsFor(const IndexDef& d) {
  uint8_t f = kIndexBase;
  if (d.primaryKey || d.unique) f |= kIndexUnique;
  if (d.ignoreNulls) f |= kIndexIgnoreNulls;
  if (d.primaryKey || d.required) f |= kIndexRequired;
  return f;
}

void checkIndexName(const std::string& name) {
  std::u16string u = utf8ToUtf16(name);
  if (u.empty() || u.size() > 64) throw DbError(kErrSql, "The index name '" + name + "' must have 1 to 64 characters.");
  if (u[0] == u' ') throw DbError(kErrSql, "The index name '" + name + "' may not begin with a blank.");
  for (char16_t c : u)
    if (c < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
      throw DbError(kErrSql, "The index name '" + name + "' contains a character that is not allowed.");
}

// An index definition with its columns found among a table's (in column-number order).
NewIndex resolve(const IndexDef& d, const std::vector<ColumnDef>& columns, const std::string& table) {
  checkIndexName(d.name);
  if (d.columns.empty()) throw DbError(kErrSql, "Index '" + d.name + "' names no column.");
  if (d.columns.size() > kMaxIndexColumns)
    throw DbError(kErrSql, "Index '" + d.name + "' names " + std::to_string(d.columns.size()) +
                               " columns; an index holds at most 10.");
  NewIndex out;
  out.name = d.name;
  out.flags = flagsFor(d);
  out.primaryKey = d.primaryKey;
  for (const IndexDef::Column& c : d.columns) {
    size_t at = 0;
    while (at < columns.size() && foldName(columns[at].name) != foldName(c.name)) ++at;
    if (at == columns.size())
      throw DbError(kErrSql, "Index '" + d.name + "' names the column '" + c.name + "', which table '" + table +
                                 "' does not have.");
    if (columns[at].type == ColumnType::kOle)
      throw DbError(kErrSql, "Index '" + d.name + "': the OLE Object column '" + c.name + "' cannot be indexed.");
    const auto number = static_cast<uint16_t>(at);
    if (std::any_of(out.columns.begin(), out.columns.end(),
                    [&](const NewIndexColumn& x) { return x.number == number; }))
      throw DbError(kErrSql, "Index '" + d.name + "' names the column '" + c.name + "' twice.");
    out.columns.emplace_back(number, !c.ascending);
  }
  return out;
}

// Checks a set of indexes for one table: one primary key at most, distinct names, the
// limit of indexes per table.
void checkIndexSet(const std::vector<std::string>& names, size_t primaryKeys, const std::string& table) {
  if (primaryKeys > 1) throw DbError(kErrSql, "Table '" + table + "' can have only one primary key.");
  if (names.size() > kMaxIndexes)
    throw DbError(kErrSql, "Table '" + table + "' would have " + std::to_string(names.size()) +
                               " indexes; a table holds at most 32.");
  std::set<std::string> seen;
  for (const std::string& n : names)
    if (!seen.insert(foldName(n)).second)
      throw DbError(kErrSql, "Table '" + table + "' already has an index named '" + n + "'.");
}

// The real index a NewIndex stands for, without pages yet.
RealIndex realIndexOf(const NewIndex& n, const TableDef& def) {
  RealIndex ri;
  for (const NewIndexColumn& c : n.columns) ri.columns.push_back({def.columns[c.number].number, !c.descending});
  ri.flags = n.flags;
  return ri;
}

// The definition's bytes as its pages hold them (each continuation without its header).
std::vector<uint8_t> storedDefinition(Pager& pager, const TableDef& def) {
  std::vector<uint8_t> out;
  const Layout& l = pager.layout();
  for (uint32_t page : def.pages) {
    const uint8_t* p = pager.read(page);
    if (out.empty()) out.assign(p, p + l.pageSize);
    else out.insert(out.end(), p + 8, p + l.pageSize);
  }
  return out;
}

std::vector<uint8_t> joined(const std::vector<std::vector<uint8_t>>& pages) {
  std::vector<uint8_t> out;
  for (const auto& p : pages) {
    if (out.empty()) out = p;
    else out.insert(out.end(), p.begin() + 8, p.end());
  }
  return out;
}

}  // namespace

void sortLogicalIndexes(TableDef& def) {
  std::stable_sort(def.indexes.begin(), def.indexes.end(),
                   [](const LogicalIndex& a, const LogicalIndex& b) { return foldName(a.name) < foldName(b.name); });
}

Table& DatabaseImpl::createIndexedTable(const std::string& name, const std::vector<ColumnDef>& columns,
                                        const std::vector<IndexDef>& indexes) {
  if (indexes.empty()) return createTable(name, columns);
  std::vector<NewIndex> resolved;
  std::vector<std::string> names;
  size_t primaryKeys = 0;
  for (const IndexDef& d : indexes) {
    resolved.push_back(resolve(d, columns, name));
    names.push_back(d.name);
    primaryKeys += d.primaryKey ? 1 : 0;
  }
  checkIndexSet(names, primaryKeys, name);
  // Every key must be one we can give, or the table could take no row.
  const TableDef plan = planTableDef(columns, false, header_);
  for (const NewIndex& n : resolved)
    if (auto why = indexKeyUnsupported(plan, realIndexOf(n, plan)))
      throw DbError(kErrSql, "Index '" + n.name + "' of table '" + name + "' cannot be kept: " + *why + ".");
  return createTableWithIndexes(name, columns, resolved);
}

void DatabaseImpl::rewriteDefinition(TableImpl& table) {
  TableDef& def = table.def();
  const Layout& l = pager_->layout();
  std::vector<std::vector<uint8_t>> pages = encodeTableDef(def, l);
  std::vector<uint32_t> at = def.pages;
  while (at.size() < pages.size()) at.push_back(allocatePage());
  for (size_t i = pages.size(); i < at.size(); ++i) releasePage(at[i]);
  at.resize(pages.size());
  for (size_t i = pages.size(); i-- > 0;) {
    put32(pages[i].data(), 4, i + 1 < pages.size() ? at[i + 1] : 0);
    std::copy(pages[i].begin(), pages[i].end(), pager_->overwrite(at[i]));
  }
  def.pages = std::move(at);
}

void DatabaseImpl::createIndex(const std::string& tableName, const IndexDef& index) {
  checkWritable();
  TableImpl* t = findTable(tableName, true);
  if (!t) throw DbError(kErrSql, "Table '" + tableName + "' does not exist.");
  const std::string name = t->name();
  NewIndex n = resolve(index, t->columns(), name);
  std::vector<std::string> names;
  size_t primaryKeys = index.primaryKey ? 1 : 0;
  for (const LogicalIndex& li : t->def().indexes) {
    names.push_back(li.name);
    primaryKeys += li.type == 1 ? 1 : 0;
  }
  names.push_back(index.name);
  checkIndexSet(names, primaryKeys, name);
  // Only a definition this engine writes back byte for byte may be rewritten: anything
  // else (a table Access made, with parts we do not keep) is left alone.
  {
    std::vector<uint8_t> stored = storedDefinition(*pager_, t->def());
    std::vector<uint8_t> ours = joined(encodeTableDef(t->def(), pager_->layout()));
    const uint32_t length = get32(stored.data(), 8);
    if (length > stored.size() || length > ours.size() ||
        !std::equal(stored.begin() + 8, stored.begin() + length, ours.begin() + 8))
      throw DbError(kErrSql,
                    "An index cannot be added to table '" + name +
                        "': its definition holds parts this program does not write, and rewriting it could lose them.");
  }
  RealIndex ri = realIndexOf(n, t->def());
  if (auto why = indexKeyUnsupported(t->def(), ri))
    throw DbError(kErrSql, "Index '" + index.name + "' of table '" + name + "' cannot be kept: " + *why + ".");

  change(
      [&] {
        TableDef& def = t->def();
        const Layout& l = pager_->layout();
        ri.usageMap = newUsageMapRow(0);
        ri.firstPage = allocateIndexPage(ri.usageMap);
        {
          std::vector<uint8_t> root(l.pageSize);
          writeIndexPage(root.data(), l, def.page, IndexPage{});
          std::copy(root.begin(), root.end(), pager_->overwrite(ri.firstPage));
        }
        const std::string what = "'" + path_ + "' (table " + name + ")";
        const uint32_t map = ri.usageMap;
        IndexTree tree(
            *pager_, def.page, ri.firstPage, what, [this, map] { return allocateIndexPage(map); },
            [this, map](uint32_t p) { releaseIndexPage(map, p); });
        std::vector<Value> values;
        uint64_t rowNumber = 0;
        for (uint32_t page : t->dataPages()) {
          const uint32_t count = dataRowCount(pager_->read(page), l);
          for (uint32_t r = 0; r < count; ++r) {
            std::span<const uint8_t> bytes;
            if (!liveRow(*pager_, pager_->read(page), r, &bytes, what)) continue;
            ++rowNumber;
            decodeRow(*pager_, def, bytes, values, what);
            const bool allNull = keyAllNull(def, ri, values);
            if (ri.flags & kIndexRequired)
              if (const ColumnInfo* c = nullKeyColumn(def, ri, values))
                throw DbError(kErrSql, "Index or primary key cannot contain a Null value: row " +
                                           std::to_string(rowNumber) + " of table '" + name + "' has none in column '" +
                                           c->def.name + "'.");
            if (allNull && (ri.flags & kIndexIgnoreNulls)) continue;
            try {
              if (tree.insert(t->entryOf(ri, values, makePointer(page, r), what),
                              (ri.flags & kIndexUnique) && !allNull))
                ++ri.rowCount;
            } catch (const DbError& e) {
              if (e.number() != kErrSql) throw;
              throw DbError(kErrSql, std::string(e.what()) + " Row " + std::to_string(rowNumber) + " of table '" +
                                         name + "' repeats the key of an earlier row in index '" + index.name + "'.");
            }
          }
        }
        LogicalIndex li;
        li.name = index.name;
        for (const LogicalIndex& other : def.indexes) li.number = std::max(li.number, other.number + 1);
        li.realIndex = static_cast<uint32_t>(def.realIndexes.size());
        li.type = index.primaryKey ? 1 : 0;
        li.cascadeUpdates = 4;
        li.cascadeDeletes = 4;
        def.realIndexes.push_back(std::move(ri));
        def.indexes.push_back(std::move(li));
        sortLogicalIndexes(def);
        rewriteDefinition(*t);
      },
      true);
}

}  // namespace qv::jet
