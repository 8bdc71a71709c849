#include "db/jet/long_value_column_check.h"

#include <map>
#include <set>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/row_codec.h"
#include "db/jet/storage/usage_map.h"

namespace qv::jet {
namespace {

constexpr int kNoColumn = -1;

std::string columnName(const TableDef& def, int number) {
  for (const ColumnInfo& c : def.columns)
    if (c.number == number) return c.def.name;
  return "number " + std::to_string(number);
}

// "pages 5, 9, 13 and 2 more"
std::string someOf(const std::set<uint32_t>& pages) {
  std::string out = pages.size() == 1 ? "page " : "pages ";
  size_t shown = 0;
  for (uint32_t p : pages) {
    if (shown == 5) break;
    out += (shown++ ? ", " : "") + std::to_string(p);
  }
  if (pages.size() > shown) out += " and " + std::to_string(pages.size() - shown) + " more";
  return out;
}

}  // namespace

void checkLongValueColumns(DatabaseImpl& db, TableImpl& table, std::vector<std::string>& problems) {
  const TableDef& def = table.def();
  if (def.longValueMaps.empty()) return;  // Jet 3 keeps long values with the table's pages
  Pager& pager = db.pager();
  const Layout& l = pager.layout();
  const std::string owner = "table " + table.name();
  const std::string what = "'" + db.path() + "' (" + owner + ")";
  // The column whose map lists each page. An unreadable map is the main check's to report.
  std::map<uint32_t, int> listedBy;
  std::map<std::pair<int, int>, std::set<uint32_t>> twice;
  for (const LongValueMaps& m : def.longValueMaps) {
    if (m.owned == 0) continue;
    try {
      for (uint32_t p : readUsageMap(pager, m.owned, what)) {
        auto [it, fresh] = listedBy.emplace(p, m.column);
        if (!fresh && it->second != m.column) twice[{it->second, m.column}].insert(p);
      }
    } catch (const DbError&) {
    }
  }
  for (const auto& [columns, pages] : twice)
    problems.push_back(owner + ": the usage maps of columns " + columnName(def, columns.first) + " and " +
                       columnName(def, columns.second) + " both list long-value " + someOf(pages));
  // Where each column's values are, from the rows: (column, column whose map lists the page) -> pages.
  std::map<std::pair<int, int>, std::set<uint32_t>> misplaced;
  std::vector<const ColumnInfo*> longColumns;
  for (const ColumnInfo& c : def.columns)
    if (isLongValue(c.def.type)) longColumns.push_back(&c);
  std::vector<uint32_t> dataPages;
  try {
    dataPages = table.dataPages();
  } catch (const DbError&) {
    return;
  }
  for (uint32_t page : dataPages) {
    pager.trim();
    const uint8_t* b = pager.read(page);
    const uint32_t count = dataRowCount(b, l);
    for (uint32_t r = 0; r < count; ++r) {
      std::span<const uint8_t> row;
      try {
        if (!liveRow(pager, b, r, &row, what)) continue;
        for (const ColumnInfo* c : longColumns) {
          std::span<const uint8_t> field;
          if (!storedColumnBytes(l, def, row, *c, &field, what)) continue;
          for (uint32_t pointer : longValueRows(pager, field.data(), field.size(), what)) {
            auto it = listedBy.find(pageOf(pointer));
            const int listed = it == listedBy.end() ? kNoColumn : it->second;
            if (listed != c->number) misplaced[{c->number, listed}].insert(pageOf(pointer));
          }
        }
      } catch (const DbError&) {
        // A damaged row or chain: the main check reports it.
      }
    }
  }
  for (const auto& [columns, pages] : misplaced)
    problems.push_back(owner + ": long-value " + someOf(pages) + " of column " + columnName(def, columns.first) +
                       (pages.size() == 1 ? " is" : " are") +
                       (columns.second == kNoColumn
                            ? " in no column's usage map"
                            : " in the usage map of column " + columnName(def, columns.second)));
}

}  // namespace qv::jet
