// Creating and dropping tables: the definition pages, usage maps, the catalogue row and
// the permission rows.

#include <algorithm>
#include <set>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/storage/index_tree.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/row_codec.h"
#include "db/jet/base/text.h"
#include "db/jet/storage/usage_map.h"

namespace qv::jet {
namespace {

void checkName(const std::string& name, const char* what) {
  std::u16string u = utf8ToUtf16(name);
  if (u.empty() || u.size() > 64)
    throw DbError(kErrSql, std::string("The ") + what + " name '" + name + "' must have 1 to 64 characters.");
  if (u[0] == u' ')
    throw DbError(kErrSql, std::string("The ") + what + " name '" + name + "' may not begin with a blank.");
  for (char16_t c : u)
    if (c < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']')
      throw DbError(kErrSql,
                    std::string("The ") + what + " name '" + name + "' contains a character that is not allowed.");
}

int columnIndex(const TableDef& def, const char* name) {
  for (size_t i = 0; i < def.columns.size(); ++i)
    if (foldName(def.columns[i].def.name) == foldName(name)) return static_cast<int>(i);
  return -1;
}

}  // namespace

TableDef planTableDef(const std::vector<ColumnDef>& columns, bool system, const DatabaseHeader& header) {
  TableDef def;
  def.magic = kDefinitionMagic;
  def.tableType = system ? 0x53 : 0x4E;
  def.legacyNumericKeys = header.format == Format::kJet3 || header.format == Format::kJet4;
  uint16_t fixedOffset = 0, varIndex = 0, number = 0;
  for (const ColumnDef& in : columns) {
    ColumnInfo c;
    c.def = in;
    c.number = number++;
    c.sortLanguage = c.def.type == ColumnType::kNumeric ? 0 : header.sortLanguage;
    c.sortVersion = c.def.type == ColumnType::kNumeric ? 0 : header.sortVersion;
    bool variable = isVariable(in.type);
    // 0x10 marks the engine's catalogue columns; a user column never carries it.
    c.flags = static_cast<uint8_t>((variable ? 0x02 : 0x03) | (system ? 0x10 : 0));
    if (in.autoIncrement && in.type == ColumnType::kLong) c.flags |= 0x04;
    c.def.autoIncrement = in.autoIncrement && in.type == ColumnType::kLong;
    if (in.type == ColumnType::kText || in.type == ColumnType::kMemo) c.compressed = 1;
    switch (in.type) {
      case ColumnType::kText: c.byteLength = static_cast<uint16_t>(in.length * 2); break;
      case ColumnType::kBinary: c.byteLength = static_cast<uint16_t>(in.length); break;
      case ColumnType::kMemo:
      case ColumnType::kOle: c.byteLength = 0; break;
      case ColumnType::kBoolean: c.byteLength = 1; break;
      default: c.byteLength = fixedSize(in.type); break;
    }
    if (variable) {
      c.varIndex = varIndex++;
    } else {
      // As Access writes it: a fixed column counts the variable ones before it, and a
      // Yes/No column (kept in the null mask) has offset 0.
      c.varIndex = varIndex;
      c.fixedOffset = in.type == ColumnType::kBoolean ? 0 : fixedOffset;
      fixedOffset = static_cast<uint16_t>(fixedOffset + fixedSize(in.type));
    }
    def.columns.push_back(std::move(c));
  }
  def.maxCols = number;
  def.varCols = varIndex;
  return def;
}

TableImpl& DatabaseImpl::buildTable(const std::string& name, const std::vector<ColumnDef>& columns, bool system,
                                    uint32_t fixedPage, int32_t parentId, const std::vector<NewIndex>& indexes) {
  TableImpl& table = layOutTable(name, planTableDef(columns, system, header_), system, fixedPage, indexes);
  const uint32_t page = table.def().page;
  if (page != kCatalogPage && catalogTable_) {
    writeCatalogRow(name, static_cast<int32_t>(page), parentId, kTypeTable, system ? kSystemFlag : 0);
    copyPermissions(static_cast<int32_t>(page), system);
  }
  return table;
}

TableImpl& DatabaseImpl::layOutTable(const std::string& name, TableDef def, [[maybe_unused]] bool system,
                                     uint32_t fixedPage, const std::vector<NewIndex>& indexes) {
  const Layout& l = pager_->layout();
  uint32_t page = fixedPage != 0 ? fixedPage : allocatePage();
  def.page = page;
  def.usedPages = newUsageMapRow(0);
  def.freePages = newUsageMapRow(0);
  for (const ColumnInfo& c : def.columns)
    if (isLongValue(c.def.type)) def.longValueMaps.push_back({c.number, newUsageMapRow(0), newUsageMapRow(0)});
  // Each index starts as an empty root leaf, owned through its own usage map.
  for (size_t i = 0; i < indexes.size(); ++i) {
    RealIndex ri;
    for (const NewIndexColumn& c : indexes[i].columns) ri.columns.push_back({c.number, !c.descending});
    ri.flags = indexes[i].flags;
    ri.usageMap = newUsageMapRow(0);
    ri.firstPage = allocateIndexPage(ri.usageMap);
    std::vector<uint8_t> root(l.pageSize);
    writeIndexPage(root.data(), l, page, IndexPage{});
    std::copy(root.begin(), root.end(), pager_->overwrite(ri.firstPage));
    def.realIndexes.push_back(std::move(ri));
    LogicalIndex li;
    li.name = indexes[i].name;
    li.number = static_cast<uint32_t>(i);
    li.realIndex = static_cast<uint32_t>(i);
    li.type = indexes[i].primaryKey ? 1 : 0;
    li.cascadeUpdates = 4;  // as Access marks every index that is no relationship's
    li.cascadeDeletes = 4;
    def.indexes.push_back(std::move(li));
  }
  sortLogicalIndexes(def);
  auto pages = encodeTableDef(def, l);
  def.pages.push_back(page);
  for (size_t i = 1; i < pages.size(); ++i) def.pages.push_back(allocatePage());
  // Continuation pages first, then the first page that links to them.
  for (size_t i = pages.size(); i-- > 0;) {
    put32(pages[i].data(), 4, i + 1 < pages.size() ? def.pages[i + 1] : 0);
    uint8_t* p = pager_->overwrite(def.pages[i]);
    std::copy(pages[i].begin(), pages[i].end(), p);
  }
  auto table = std::make_unique<TableImpl>(*this, name, std::move(def));
  TableImpl& ref = *table;
  if (page == kCatalogPage) {
    catalogTable_ = std::move(table);
    return ref;
  }
  tables_[foldName(name)] = std::move(table);
  built_.push_back(foldName(name));
  return ref;
}

void DatabaseImpl::writeCatalogRow(const std::string& name, int32_t id, int32_t parentId, int16_t type, int32_t flags) {
  const TableDef& def = catalogTable_->def();
  std::vector<Value> row(def.columns.size());
  double now = nowAsOleDate();
  auto set = [&](const char* column, Value v) {
    int i = columnIndex(def, column);
    if (i >= 0) row[static_cast<size_t>(i)] = std::move(v);
  };
  set("Id", Value::integer(id));
  set("ParentId", Value::integer(parentId));
  set("Name", Value::text(name));
  set("Type", Value::integer(type));
  set("DateCreate", Value::dateTime(now));
  set("DateUpdate", Value::dateTime(now));
  set("Owner", Value::binary(ownerSid((flags & kSystemFlag) != 0)));
  set("Flags", Value::integer(flags));
  catalogTable_->insertRow(row);
}

Table& DatabaseImpl::createTable(const std::string& name, const std::vector<ColumnDef>& columns) {
  return createTableWithIndexes(name, columns, {});
}

Table& DatabaseImpl::createTableWithIndexes(const std::string& name, const std::vector<ColumnDef>& columns,
                                            const std::vector<NewIndex>& indexes) {
  checkWritable();
  checkCatalogIndexes();
  checkName(name, "table");
  if (columns.empty()) throw DbError(kErrSql, "Table '" + name + "' needs at least one column.");
  if (columns.size() > 255) throw DbError(kErrSql, "Table '" + name + "' has more than 255 columns.");
  std::set<std::string> seen;
  for (const ColumnDef& c : columns) {
    checkName(c.name, "column");
    if (!seen.insert(foldName(c.name)).second)
      throw DbError(kErrSql, "Column '" + c.name + "' appears twice in table '" + name + "'.");
    if (c.type == ColumnType::kText && (c.length < 1 || c.length > 255))
      throw DbError(kErrSql, "The size of text column '" + c.name + "' must be 1 to 255.");
    if (c.type == ColumnType::kBinary && (c.length < 1 || c.length > 255))
      throw DbError(kErrSql, "The size of binary column '" + c.name + "' must be 1 to 255.");
    if (c.type == ColumnType::kNumeric && (c.precision < 1 || c.precision > 28 || c.scale < 0 || c.scale > c.precision))
      throw DbError(kErrSql, "Decimal column '" + c.name + "' needs a precision of 1 to 28 and a scale within it.");
    if (c.autoIncrement && c.type != ColumnType::kLong)
      throw DbError(kErrSql, "Only a Long column can be an AutoNumber ('" + c.name + "').");
  }
  std::string key = foldName(name);
  for (const CatalogRow& r : catalogRows())
    if (r.parentId == tablesContainerId_ && foldName(r.name) == key)
      throw DbError(kErrSql, "Table '" + name + "' already exists.");
  return change([&]() -> Table& { return buildTable(name, columns, false, 0, tablesContainerId_, indexes); }, true);
}

void DatabaseImpl::dropTable(const std::string& name) {
  checkWritable();
  TableImpl* t = findTable(name, true);
  if (!t) throw DbError(kErrSql, "Table '" + name + "' does not exist.");
  checkCatalogIndexes();
  const int32_t id = static_cast<int32_t>(t->def().page);
  change(
      [&] {
        const Layout& l = pager_->layout();
        // Collect everything the table owns before anything changes.
        std::string what = "'" + path_ + "' (table " + t->name() + ")";
        std::set<uint32_t> pages;
        auto addMap = [&](uint32_t pointer) {
          if (pointer == 0) return;
          for (uint32_t p : readUsageMap(*pager_, pointer, what))
            if (p > kCatalogPage && p < pager_->pageCount()) pages.insert(p);
          const uint8_t* row = rowAt(*pager_, pointer, what).data();
          if (row[0] == 1) {
            size_t n = rowAt(*pager_, pointer, what).size();
            for (size_t k = 1; k + 4 <= n; k += 4) {
              uint32_t mp = get32(row, k);
              if (mp > kCatalogPage && mp < pager_->pageCount()) pages.insert(mp);
            }
          }
        };
        const TableDef& def = t->def();
        addMap(def.usedPages);
        addMap(def.freePages);
        for (const LongValueMaps& m : def.longValueMaps) {
          addMap(m.owned);
          addMap(m.free);
        }
        for (const RealIndex& ri : def.realIndexes) addMap(ri.usageMap);
        for (uint32_t p : def.pages) pages.insert(p);
        // Only pages that really belong to this table.
        std::vector<uint32_t> release;
        for (uint32_t p : pages) {
          const uint8_t* b = pager_->read(p);
          bool mine = (b[0] == kPageData && (get32(b, 4) == def.page || get32(b, 4) == kLvalMarker)) ||
                      b[0] == kPageTableDef || b[0] == kPageIndexNode || b[0] == kPageIndexLeaf ||
                      b[0] == kPageUsageMap;
          if (mine) release.push_back(p);
        }
        // First the catalogue row and the permission rows go, then the pages.
        auto deleteRow = [&](TableImpl& table, uint32_t pointer) {
          if (!table.def().realIndexes.empty()) {
            std::vector<Value> values;
            decodeRow(*pager_, table.def(), rowAt(*pager_, pointer, what), values, what);
            table.removeIndexEntries(values, pointer);
          }
          uint32_t page = pageOf(pointer), row = rowOf(pointer);
          uint8_t* p = pager_->modify(page, l.dataRowCountOffset + 2 + row * 2, 2);
          uint32_t off = l.dataRowCountOffset + 2 + row * 2;
          put16(p, off, get16(p, off) | kRowDeleted | kRowOverflow);
          TableDef& d = table.def();
          d.rowCount -= 1;
          put32(pager_->modify(d.page, l.tdefRowCount, 4), l.tdefRowCount, d.rowCount);
        };
        for (const CatalogRow& r : catalogRows())
          if (r.id == id && r.type == kTypeTable) deleteRow(*catalogTable_, r.pointer);
        if (TableImpl* aces = findTable("MSysACEs", false)) {
          int iObject = columnIndex(aces->def(), "ObjectId");
          std::vector<uint32_t> doomed;
          std::vector<Value> row;
          for (uint32_t page : aces->dataPages()) {
            const uint8_t* p = pager_->read(page);
            uint32_t count = dataRowCount(p, l);
            for (uint32_t r = 0; r < count; ++r) {
              std::span<const uint8_t> bytes;
              if (!liveRow(*pager_, p, r, &bytes, what)) continue;
              decodeRow(*pager_, aces->def(), bytes, row, what);
              if (iObject >= 0 && row[static_cast<size_t>(iObject)].i == id) doomed.push_back(makePointer(page, r));
            }
          }
          for (uint32_t pointer : doomed) deleteRow(*aces, pointer);
        }
        for (uint32_t p : release) releasePage(p);
      },
      true);
  tables_.erase(foldName(name));
}

}  // namespace qv::jet
