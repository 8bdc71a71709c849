// The consistency check: rows against row counts, usage maps (every page owned once),
// long values, permission rows, and every index (index_tree.h) walked whole -- node keys
// against their children, the leaf chain, the order of entries, each key against the
// key the row's values give (index_key.h), each entry found again by a lookup.

#include "db/jet/checker.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/storage/index_key.h"
#include "db/jet/storage/index_tree.h"
#include "db/jet/layout_checks.h"
#include "db/jet/database_impl.h"
#include "db/jet/long_value_column_check.h"
#include "db/jet/storage/row_codec.h"
#include "db/jet/shared_page_check.h"
#include "db/jet/sid_check.h"
#include "db/jet/collation/sort_order.h"
#include "db/jet/storage/usage_map.h"

namespace qv::jet {
namespace {

class Checker {
 public:
  explicit Checker(DatabaseImpl& db) : db_(db), pager_(db.pager()), l_(pager_.layout()) {}

  std::vector<std::string> run() {
    std::vector<CatalogRow> rows = db_.catalogRows();
    std::set<int32_t> permitted = permissionObjects();
    claim(0, "the database header");
    claim(1, "the global usage map");
    checkCommitTable(db_, problems_);
    checkCatalogPlaces(db_, problems_);
    checkComplexColumnTables(db_, problems_);
    checkUserColumnFlags(db_, problems_);
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
      bool system = isSystemObject(r.flags);
      checkTable(*t, system);
      if (!system && hasAces_ && !permitted.count(r.id))
        problem("table " + r.name + " has no permission rows in MSysACEs");
    }
    checkSharedDataPages(db_, problems_);
    for (std::string& p : checkSids(db_)) problem(std::move(p));
    return problems_;
  }

 private:
  void problem(std::string s) { problems_.push_back(std::move(s)); }

  void claim(uint32_t page, const std::string& owner) {
    auto [it, fresh] = owners_.emplace(page, owner);
    if (!fresh && it->second != owner)
      problem("page " + std::to_string(page) + " is owned by " + it->second + " and by " + owner);
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
      pager_.trim();  // a big table's pages do not all stay in memory
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
          // Only the indexes need the values kept.
          live.emplace(makePointer(p, r), def.realIndexes.empty() ? std::vector<Value>{} : std::move(values));
        } catch (const DbError& e) {
          problem(owner + ": row " + std::to_string(r) + " of page " + std::to_string(p) + ": " + e.what());
        }
      }
    }
    // Access keeps the counts of its own system tables loosely; those of user tables are exact.
    if (live.size() != def.rowCount && !system)
      problem(owner + " holds " + std::to_string(live.size()) + " rows, but its definition counts " +
              std::to_string(def.rowCount));
    for (const LongValueMaps& m : def.longValueMaps) {
      for (uint32_t p : mapPages(owner + " (long values)", m.owned))
        if (p < pager_.pageCount()) claim(p, owner);
      std::vector<uint32_t> lvOwned = mapPages(owner, m.owned);
      std::set<uint32_t> lvSet(lvOwned.begin(), lvOwned.end());
      for (uint32_t p : mapPages(owner, m.free))
        if (!lvSet.count(p)) problem(owner + ": page " + std::to_string(p) + " is in a free-space map but not owned");
    }
    for (uint32_t p : mapPages(owner, def.freePages))
      if (!ownedSet.count(p))
        problem(owner + ": page " + std::to_string(p) + " is in its free-space map but not owned by it");
    checkLongValueColumns(db_, t, problems_);
    // Jet 3 index pages are laid out differently; only Jet 4 and ACE indexes are walked.
    if (!l_.jet3)
      for (size_t i = 0; i < def.realIndexes.size(); ++i) checkIndex(t, def.realIndexes[i], i, live);
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

  // Walks a subtree: its leaves go to leaves (in key order); returns its last entry
  // (empty when the subtree holds none). Node keys must equal their child's last entry.
  std::vector<uint8_t> walk(const std::string& owner, uint32_t tdefPage, uint32_t page, int depth,
                            std::set<uint32_t>& seen, std::vector<std::pair<uint32_t, IndexPage>>& leaves, bool* ok) {
    if (depth > 32 || page == 0 || page >= pager_.pageCount() || !seen.insert(page).second) {
      problem(owner + ": the tree names page " + std::to_string(page) + " wrongly (missing, repeated or too deep)");
      *ok = false;
      return {};
    }
    claim(page, owner.substr(0, owner.find(',')));
    std::optional<IndexPage> p = readIndexPage(pager_.read(page), l_);
    if (!p) {
      problem(owner + ": page " + std::to_string(page) + " is not a readable index page");
      *ok = false;
      return {};
    }
    if (get32(pager_.read(page), 4) != tdefPage)
      problem(owner + ": page " + std::to_string(page) + " names another table");
    if (p->leaf) {
      std::vector<uint8_t> last = p->entries.empty() ? std::vector<uint8_t>{} : p->entries.back();
      leaves.emplace_back(page, std::move(*p));
      return last;
    }
    std::vector<uint8_t> last;
    for (const auto& e : p->entries) {
      std::vector<uint8_t> childLast = walk(owner, tdefPage, nodeChild(e), depth + 1, seen, leaves, ok);
      if (!*ok) return {};
      if (!std::equal(childLast.begin(), childLast.end(), e.begin(), e.end() - 4))
        problem(owner + ": node page " + std::to_string(page) + " keeps a key for child " +
                std::to_string(nodeChild(e)) + " that is not that child's last entry");
      last = childLast;
    }
    if (p->tail != 0) last = walk(owner, tdefPage, p->tail, depth + 1, seen, leaves, ok);
    return last;
  }

  void checkIndex(TableImpl& t, const RealIndex& ri, size_t number,
                  const std::map<uint32_t, std::vector<Value>>& live) {
    const TableDef& def = t.def();
    std::string name = "index " + std::to_string(number);
    for (const LogicalIndex& li : def.indexes)
      if (li.realIndex == number) name = "index " + li.name;
    std::string owner = "table " + t.name() + ", " + name;
    if (ri.firstPage == 0 || ri.firstPage >= pager_.pageCount()) {
      problem(owner + ": its first page " + std::to_string(ri.firstPage) + " does not exist");
      return;
    }
    std::set<uint32_t> seen;
    std::vector<std::pair<uint32_t, IndexPage>> leaves;
    bool ok = true;
    walk(owner, def.page, ri.firstPage, 0, seen, leaves, &ok);
    if (!ok) return;
    // The leaf chain links the leaves in the order the tree holds them.
    for (size_t k = 0; k < leaves.size() && leaves.size() > 1; ++k) {
      uint32_t prev = k == 0 ? 0 : leaves[k - 1].first, next = k + 1 == leaves.size() ? 0 : leaves[k + 1].first;
      if (leaves[k].second.prev != prev || leaves[k].second.next != next) {
        problem(owner + ": the leaf chain at page " + std::to_string(leaves[k].first) + " is broken");
        break;
      }
    }
    std::vector<std::vector<uint8_t>> all;
    for (auto& [page, leaf] : leaves)
      for (auto& e : leaf.entries) all.push_back(std::move(e));
    for (size_t k = 1; k < all.size(); ++k)
      if (!(all[k - 1] < all[k])) {
        problem(owner + ": entries " + std::to_string(k - 1) + " and " + std::to_string(k) + " are out of order");
        break;
      }
    std::optional<std::string> unsupported = indexKeyUnsupported(def, ri);
    std::string what = "'" + db_.path() + "' (" + owner + ")";
    IndexTree tree(
        pager_, def.page, ri.firstPage, what, []() -> uint32_t { throw DbError(kErrGeneric, "read only"); },
        [](uint32_t) { throw DbError(kErrGeneric, "read only"); });
    std::set<uint32_t> pointed;
    int keyProblems = 0;
    for (const auto& e : all) {
      size_t n = e.size();
      uint32_t original = makePointer(
          (static_cast<uint32_t>(e[n - 4]) << 16) | (static_cast<uint32_t>(e[n - 3]) << 8) | e[n - 2], e[n - 1]);
      uint32_t pointer = resolve(original);
      auto it = live.find(pointer);
      if (it == live.end()) {
        problem(owner + ": an entry points to page " + std::to_string(pageOf(original)) + " row " +
                std::to_string(rowOf(original)) + ", which is no row of the table");
        continue;
      }
      if (!pointed.insert(pointer).second) problem(owner + ": two entries point to the same row");
      if (unsupported || keyProblems > 3) continue;
      std::vector<uint8_t> expect;
      try {
        expect = leafEntry(def, ri, it->second, original);
      } catch (const UnencodableText&) {
        continue;  // a letter its sort order places where we do not know: nothing to compare
      }
      if (expect != e) {
        ++keyProblems;
        problem(owner + ": the key of page " + std::to_string(pageOf(pointer)) + " row " +
                std::to_string(rowOf(pointer)) + " is " + hex(e) + ", but its values give " + hex(expect));
      } else if (!tree.contains(e)) {
        ++keyProblems;
        problem(owner + ": a lookup does not find the entry of page " + std::to_string(pageOf(pointer)) + " row " +
                std::to_string(rowOf(pointer)));
      }
    }
    bool ignoreNulls = (ri.flags & 0x02) != 0;
    for (const auto& [pointer, values] : live) {
      if (pointed.count(pointer)) continue;
      bool allNull = true;
      for (const IndexColumn& ic : ri.columns)
        for (size_t c = 0; c < def.columns.size(); ++c)
          if (def.columns[c].number == ic.number && !values[c].isNull() &&
              def.columns[c].def.type != ColumnType::kBoolean)
            allNull = false;
      if (ignoreNulls && allNull) continue;
      problem(owner + ": page " + std::to_string(pageOf(pointer)) + " row " + std::to_string(rowOf(pointer)) +
              " has no index entry (" + std::to_string(all.size()) + " entries for " + std::to_string(live.size()) +
              " rows)");
      break;
    }
  }

  static std::string hex(const std::vector<uint8_t>& b) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (uint8_t x : b) {
      out += digits[x >> 4];
      out += digits[x & 15];
    }
    return out;
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
