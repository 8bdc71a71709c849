// The consistency check. Index pages (type 03 node, 04 leaf), Jet 4 offsets (Jet 3 in
// brackets): 02 free space (2), 04 table definition page (4), 08 previous page, 0C
// next page, 10 tail page (4 each), 14 length of the prefix shared by all entries (2),
// then a bitmap from 0x1B (0x16) that marks where each entry after the first starts,
// counted from 0x1E0 (0xF8), where the entries begin. An entry is the key (per column a
// flag byte -- 7F ascending, 80 descending, 00 null -- and the encoded value), the row
// (3-byte big-endian page, 1-byte row) and, in node pages, the big-endian child page.
// Every entry after the first omits the shared prefix. Leaves are chained by next.

#include "db/jet/checker.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "db/io/error.h"
#include "db/jet/bytes.h"
#include "db/jet/data_page.h"
#include "db/jet/database_impl.h"
#include "db/jet/row_codec.h"
#include "db/jet/usage_map.h"

namespace qv::jet {
namespace {

struct IndexEntry {
  std::vector<uint8_t> bytes;  // key + row pointer
  uint32_t page = 0;
  uint32_t row = 0;
};

// The entries of one index page, prefix restored; false when the page is malformed.
bool pageEntries(const uint8_t* p, const Layout& l, bool node, std::vector<std::vector<uint8_t>>* out) {
  const uint32_t maskStart = l.jet3 ? 0x16 : 0x1B;
  const uint32_t dataStart = l.jet3 ? 0xF8 : 0x1E0;
  uint32_t prefix = get16(p, 0x14);
  std::vector<uint32_t> starts{0};
  for (uint32_t i = 0; i < (dataStart - maskStart) * 8; ++i)
    if ((p[maskStart + i / 8] >> (i % 8)) & 1) starts.push_back(i);
  std::vector<uint8_t> first;
  for (size_t k = 0; k + 1 < starts.size(); ++k) {
    uint32_t a = dataStart + starts[k], b = dataStart + starts[k + 1];
    if (b > l.pageSize || a >= b) return false;
    std::vector<uint8_t> e;
    if (k > 0) {
      if (prefix > first.size()) return false;
      e.assign(first.begin(), first.begin() + prefix);
    }
    e.insert(e.end(), p + a, p + b);
    if (e.size() < (node ? 8u : 4u)) return false;
    if (k == 0) first = e;
    out->push_back(std::move(e));
  }
  return true;
}

class Checker {
 public:
  explicit Checker(DatabaseImpl& db) : db_(db), pager_(db.pager()), l_(pager_.layout()) {}

  std::vector<std::string> run() {
    std::vector<CatalogRow> rows = db_.catalogRows();
    std::set<int32_t> permitted = permissionObjects();
    claim(0, "the database header");
    claim(1, "the global usage map");
    for (const CatalogRow& r : rows) {
      if (r.type != kTypeTable) continue;
      uint32_t page = static_cast<uint32_t>(r.id) & 0x00FFFFFF;
      TableImpl* t = nullptr;
      try {
        t = db_.findTable(r.name, false);
      } catch (const DbError& e) {
        problem("table " + r.name + ": " + e.what());
        continue;
      }
      if (!t || t->def().page != page) {
        problem("table " + r.name + ": its definition on page " + std::to_string(page) + " cannot be found");
        continue;
      }
      bool system = (static_cast<uint32_t>(r.flags) & 0x80000002u) != 0;
      checkTable(*t, system);
      if (!system && hasAces_ && !permitted.count(r.id)) problem("table " + r.name + " has no permission rows in MSysACEs");
    }
    return problems_;
  }

 private:
  void problem(std::string s) { problems_.push_back(std::move(s)); }

  void claim(uint32_t page, const std::string& owner) {
    auto [it, fresh] = owners_.emplace(page, owner);
    if (!fresh && it->second != owner) problem("page " + std::to_string(page) + " is owned by " + it->second + " and by " + owner);
  }

  std::set<int32_t> permissionObjects() {
    std::set<int32_t> out;
    TableImpl* aces = db_.findTable("MSysACEs", false);
    if (!aces) return out;
    hasAces_ = true;
    auto c = aces->scan();
    std::vector<Value> row;
    int iObject = -1;
    for (size_t i = 0; i < aces->def().columns.size(); ++i)
      if (aces->def().columns[i].def.name == "ObjectId") iObject = static_cast<int>(i);
    if (iObject < 0) return out;
    try {
      while (c->next(row)) out.insert(static_cast<int32_t>(row[static_cast<size_t>(iObject)].i));
    } catch (const DbError& e) {
      problem(std::string("MSysACEs: ") + e.what());
    }
    return out;
  }

  std::vector<uint32_t> mapPages(const std::string& owner, uint32_t pointer) {
    if (pointer == 0) return {};  // no map: nothing owned
    try {
      return readUsageMap(pager_, pointer, "'" + db_.path() + "' (" + owner + ")");
    } catch (const DbError& e) {
      problem(owner + ": " + e.what());
      return {};
    }
  }

  void checkTable(TableImpl& t, bool system) {
    const TableDef& def = t.def();
    std::string owner = "table " + t.name();
    for (uint32_t p : def.pages) claim(p, owner);
    // Rows against the row count; every value readable, long values included.
    std::map<uint32_t, std::vector<Value>> live;  // row pointer -> values
    std::vector<uint32_t> owned = mapPages(owner, def.usedPages);
    std::set<uint32_t> ownedSet(owned.begin(), owned.end());
    for (uint32_t p : owned) {
      if (p >= pager_.pageCount()) {
        problem(owner + ": its usage map names page " + std::to_string(p) + " beyond the end of the file");
        continue;
      }
      const uint8_t* b = pager_.read(p);
      if (b[0] == kPageData && get32(b, 4) == kLvalMarker) {
        claim(p, owner);
        continue;
      }
      if (b[0] != kPageData || get32(b, 4) != def.page) continue;  // Access leaves such bits behind
      claim(p, owner);
      uint32_t count = dataRowCount(b, l_);
      for (uint32_t r = 0; r < count; ++r) {
        try {
          std::span<const uint8_t> bytes;
          if (!liveRow(pager_, b, r, &bytes, owner)) continue;
          std::vector<Value> values;
          decodeRow(pager_, def, bytes, values, "'" + db_.path() + "' (" + owner + ")");
          live.emplace(makePointer(p, r), std::move(values));
        } catch (const DbError& e) {
          problem(owner + ": row " + std::to_string(r) + " of page " + std::to_string(p) + ": " + e.what());
        }
      }
    }
    // Access keeps the counts of its own system tables loosely; those of user tables are exact.
    if (live.size() != def.rowCount && !system)
      problem(owner + " holds " + std::to_string(live.size()) + " rows, but its definition counts " + std::to_string(def.rowCount));
    for (const LongValueMaps& m : def.longValueMaps) {
      for (uint32_t p : mapPages(owner + " (long values)", m.owned))
        if (p < pager_.pageCount()) claim(p, owner);
      std::vector<uint32_t> lvOwned = mapPages(owner, m.owned);
      std::set<uint32_t> lvSet(lvOwned.begin(), lvOwned.end());
      for (uint32_t p : mapPages(owner, m.free))
        if (!lvSet.count(p)) problem(owner + ": page " + std::to_string(p) + " is in a free-space map but not owned");
    }
    for (uint32_t p : mapPages(owner, def.freePages))
      if (!ownedSet.count(p)) problem(owner + ": page " + std::to_string(p) + " is in its free-space map but not owned by it");
    // Jet 3 index pages are laid out differently; only Jet 4 and ACE indexes are walked.
    if (!l_.jet3)
      for (size_t i = 0; i < def.realIndexes.size(); ++i) checkIndex(t, def.realIndexes[i], i, live, system);
  }

  // Where a row that moved lives now: its old slot (flag 0x4000 alone) holds a pointer.
  uint32_t resolve(uint32_t pointer) {
    uint32_t page = pageOf(pointer), row = rowOf(pointer);
    if (page == 0 || page >= pager_.pageCount()) return pointer;
    const uint8_t* b = pager_.read(page);
    if (b[0] != kPageData || row >= dataRowCount(b, l_)) return pointer;
    uint16_t raw = get16(b, l_.dataRowCountOffset + 2 + row * 2);
    if ((raw & 0xC000) != kRowOverflow) return pointer;
    uint32_t start = raw & kRowOffsetMask;
    if (start + 4 > l_.pageSize) return pointer;
    return get32(b, start);
  }

  void checkIndex(TableImpl& t, const RealIndex& ri, size_t number, const std::map<uint32_t, std::vector<Value>>& live,
                  bool /*system*/) {
    const TableDef& def = t.def();
    std::string name = "index " + std::to_string(number);
    for (const LogicalIndex& li : def.indexes)
      if (li.realIndex == number) name = "index " + li.name;
    std::string owner = "table " + t.name() + ", " + name;
    if (ri.firstPage == 0 || ri.firstPage >= pager_.pageCount()) {
      problem(owner + ": its first page " + std::to_string(ri.firstPage) + " does not exist");
      return;
    }
    // Descend to the first leaf, then follow the leaf chain.
    uint32_t page = ri.firstPage;
    std::set<uint32_t> seen;
    for (int depth = 0; depth < 32; ++depth) {
      const uint8_t* b = pager_.read(page);
      claim(page, "table " + t.name());
      if (b[0] == kPageIndexLeaf) break;
      if (b[0] != kPageIndexNode) {
        problem(owner + ": page " + std::to_string(page) + " is not an index page");
        return;
      }
      std::vector<std::vector<uint8_t>> entries;
      if (!pageEntries(b, l_, true, &entries) || entries.empty()) {
        problem(owner + ": node page " + std::to_string(page) + " is malformed");
        return;
      }
      const auto& e = entries.front();
      uint32_t child = (static_cast<uint32_t>(e[e.size() - 4]) << 24) | (static_cast<uint32_t>(e[e.size() - 3]) << 16) |
                       (static_cast<uint32_t>(e[e.size() - 2]) << 8) | e[e.size() - 1];
      if (child == 0 || child >= pager_.pageCount()) {
        problem(owner + ": node page " + std::to_string(page) + " points to a missing page");
        return;
      }
      page = child;
    }
    std::vector<IndexEntry> all;
    int leaves = 0;
    while (page != 0) {
      ++leaves;
      if (!seen.insert(page).second || page >= pager_.pageCount()) {
        problem(owner + ": its leaf chain loops or leaves the file");
        break;
      }
      const uint8_t* b = pager_.read(page);
      claim(page, "table " + t.name());
      if (b[0] != kPageIndexLeaf) {
        problem(owner + ": page " + std::to_string(page) + " in its leaf chain is not a leaf");
        break;
      }
      std::vector<std::vector<uint8_t>> entries;
      if (!pageEntries(b, l_, false, &entries)) {
        problem(owner + ": leaf page " + std::to_string(page) + " is malformed");
        break;
      }
      for (auto& e : entries) {
        IndexEntry ie;
        size_t n = e.size();
        ie.page = (static_cast<uint32_t>(e[n - 4]) << 16) | (static_cast<uint32_t>(e[n - 3]) << 8) | e[n - 2];
        ie.row = e[n - 1];
        ie.bytes = std::move(e);
        all.push_back(std::move(ie));
      }
      page = get32(b, 0x0C);
    }
    // Indexes of more than one leaf are checked entry by entry only: the order across
    // leaves and completeness need the node levels, which this walk does not verify yet.
    const bool whole = leaves == 1;
    for (size_t k = 1; whole && k < all.size(); ++k)
      if (all[k].bytes < all[k - 1].bytes) {
        problem(owner + ": entries " + std::to_string(k - 1) + " and " + std::to_string(k) + " are out of order");
        break;
      }
    std::set<uint32_t> pointed;
    bool ignoreNulls = (ri.flags & 0x02) != 0;
    for (const IndexEntry& e : all) {
      uint32_t pointer = resolve(makePointer(e.page, e.row));
      auto it = live.find(pointer);
      if (it == live.end()) {
        problem(owner + ": an entry points to page " + std::to_string(e.page) + " row " + std::to_string(e.row) +
                ", which is no row of the table");
        continue;
      }
      if (!pointed.insert(pointer).second) problem(owner + ": two entries point to the same row");
    }
    if (!ignoreNulls && whole) {
      for (const auto& [pointer, values] : live) {
        // A row whose indexed values are all Null may be left out (ignore-nulls indexes).
        bool allNull = true;
        for (const IndexColumn& ic : ri.columns)
          for (size_t c = 0; c < def.columns.size(); ++c)
            if (def.columns[c].number == ic.number && !values[c].isNull() && def.columns[c].def.type != ColumnType::kBoolean)
              allNull = false;
        if (allNull) continue;
        if (!pointed.count(pointer)) {
          problem(owner + ": page " + std::to_string(pageOf(pointer)) + " row " + std::to_string(rowOf(pointer)) +
                  " has no index entry (" + std::to_string(all.size()) + " entries for " + std::to_string(live.size()) +
                  " rows)");
          break;
        }
      }
    }
  }

  DatabaseImpl& db_;
  Pager& pager_;
  const Layout& l_;
  std::vector<std::string> problems_;
  std::map<uint32_t, std::string> owners_;
  bool hasAces_ = false;
};

}  // namespace

std::vector<std::string> checkDatabase(const std::string& path, const OpenOptions& options) {
  OpenOptions ro = options;
  ro.readOnly = true;
  std::unique_ptr<Database> db = openDatabase(path, ro);
  auto* impl = dynamic_cast<DatabaseImpl*>(db.get());
  if (!impl) return {"not a database of this engine"};
  return Checker(*impl).run();
}

}  // namespace qv::jet
