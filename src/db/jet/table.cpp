// Table: scanning rows and inserting them.

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/storage/index_key.h"
#include "db/jet/storage/index_tree.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/row_codec.h"
#include "db/jet/collation/sort_order.h"
#include "db/jet/storage/usage_map.h"

namespace qv::jet {
namespace {

class TableCursor final : public RowCursor {
 public:
  TableCursor(DatabaseImpl& db, TableImpl& table) : db_(db), table_(table), pages_(table.dataPages()) {
    what_ = "'" + db.path() + "' (table " + table.name() + ")";
  }
  bool next(std::vector<Value>& row) override {
    Pager& pager = db_.pager();
    const Layout& l = pager.layout();
    while (pageIndex_ < pages_.size()) {
      const uint8_t* p = pager.read(pages_[pageIndex_]);
      uint32_t count = dataRowCount(p, l);
      while (rowIndex_ < count) {
        std::span<const uint8_t> bytes;
        if (!liveRow(pager, p, rowIndex_++, &bytes, what_)) continue;
        decodeRow(pager, table_.def(), bytes, row, what_);
        return true;
      }
      ++pageIndex_;
      rowIndex_ = 0;
    }
    return false;
  }

 private:
  DatabaseImpl& db_;
  TableImpl& table_;
  std::vector<uint32_t> pages_;
  size_t pageIndex_ = 0;
  uint32_t rowIndex_ = 0;
  std::string what_;
};

}  // namespace

TableImpl::TableImpl(DatabaseImpl& db, std::string name, TableDef def)
    : db_(db), name_(std::move(name)), def_(std::move(def)), lv_(db.pager(), *this) {
  for (const ColumnInfo& c : def_.columns) columns_.push_back(c.def);
}

std::vector<uint32_t> TableImpl::dataPages() {
  Pager& pager = db_.pager();
  std::string what = "'" + pager.path() + "' (table " + name_ + ")";
  std::vector<uint32_t> out;
  if (def_.usedPages == 0) return out;  // a table that never held a row
  for (uint32_t page : readUsageMap(pager, def_.usedPages, what)) {
    if (page == 0 || page >= pager.pageCount()) continue;
    const uint8_t* p = pager.read(page);
    if (p[0] == kPageData && get32(p, 4) == def_.page) out.push_back(page);
  }
  return out;
}

std::unique_ptr<RowCursor> TableImpl::scan() { return std::make_unique<TableCursor>(db_, *this); }

void TableImpl::insert(std::span<const Value> values) {
  if (auto problem = indexProblem())
    throw fileError(kErrGeneric, db_.path(), "rows cannot be added to table " + name_ + ": " + *problem);
  db_.change([&] { insertRow(values); });
}

void TableImpl::insertRows(std::span<const Value> values, size_t* rowsInFile) {
  if (rowsInFile) *rowsInFile = 0;
  if (auto problem = indexProblem())
    throw fileError(kErrGeneric, db_.path(), "rows cannot be added to table " + name_ + ": " + *problem);
  const size_t n = def_.columns.size();
  if (n == 0 || values.size() % n != 0)
    throw DbError(kErrSql, "Table '" + name_ + "' has " + std::to_string(n) + " columns, but " +
                               std::to_string(values.size()) + " values were given.");
  if (values.empty()) return;
  if (!def_.realIndexes.empty()) {
    // Each row's index entries need its pointer: an indexed table takes its rows one by
    // one, and all of them reach the file together.
    db_.change([&] { insertIndexedRows(values, n); });
    if (rowsInFile) *rowsInFile = values.size() / n;
    return;
  }
  // Each step is written as soon as it ends, so a long run keeps little in memory.
  flushEachStep_ = true;
  runRow_ = 0;
  runRowsInFile_ = 0;
  stepFullPages_.clear();
  stepLongValuePages_.clear();
  try {
    db_.change([&] {
      for (size_t at = 0; at < values.size(); at += n, ++runRow_) {
        try {
          placeRow(values.subspan(at, n));
        } catch (const DbError& e) {
          // A value that does not fit is found before anything of its row is written:
          // the rows before it go in, then the error is reported.
          if (e.number() != kErrSql) throw;
          endStep();
          db_.pager().flush();
          runRowsInFile_ = runRow_;
          throw;
        }
      }
      endStep();
    });
  } catch (...) {
    stepFullPages_.clear();
    stepLongValuePages_.clear();
    flushEachStep_ = false;
    if (rowsInFile) *rowsInFile = runRowsInFile_;
    throw;
  }
  // The last step is written too: the buffers of the pages it filled serve the next run,
  // as each earlier step's did, rather than stay cached until the cache is trimmed.
  Pager& pager = db_.pager();
  for (uint32_t full : stepFullPages_) pager.release(full);
  for (uint32_t page : stepLongValuePages_)
    if (!lv_.isSharedPage(page)) pager.release(page);
  stepFullPages_.clear();
  stepLongValuePages_.clear();
  flushEachStep_ = false;
  if (rowsInFile) *rowsInFile = values.size() / n;
}

std::optional<std::string> TableImpl::indexProblem() const {
  if (db_.pager().layout().jet3 && !def_.realIndexes.empty()) return "Jet 3 indexes are not supported";
  for (const RealIndex& ri : def_.realIndexes)
    if (auto why = indexKeyUnsupported(def_, ri)) return "its indexes cannot be kept (" + *why + ")";
  return std::nullopt;
}

void TableImpl::adjustIndexCount(size_t index, int delta) {
  Pager& pager = db_.pager();
  RealIndex& ri = def_.realIndexes[index];
  ri.rowCount = static_cast<uint32_t>(static_cast<int64_t>(ri.rowCount) + delta);
  uint32_t off = realIndexCountOffset(pager.layout(), index);
  put32(pager.modify(def_.page, off, 4), off, ri.rowCount);
}

namespace {

constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexIgnoreNulls = 0x02;
constexpr uint8_t kIndexRequired = 0x08;

}  // namespace

void TableImpl::checkRequiredKeys(std::span<const Value> values) const {
  // A required index (a primary key) takes no row with a Null in any of its columns.
  for (const RealIndex& ri : def_.realIndexes) {
    if (!(ri.flags & kIndexRequired)) continue;
    if (const ColumnInfo* c = nullKeyColumn(def_, ri, values))
      throw DbError(kErrSql, "Index or primary key cannot contain a Null value (column '" + c->def.name +
                                 "' of table '" + name_ + "').");
  }
}

std::vector<uint8_t> TableImpl::entryOf(const RealIndex& ri, std::span<const Value> values, uint32_t pointer,
                                        const std::string& what) const {
  try {
    return leafEntry(def_, ri, values, pointer);
  } catch (const UnencodableText& e) {
    throw DbError(kErrGeneric, what + ", " + e.what());
  }
}

void TableImpl::addIndexEntries(std::span<const Value> values, uint32_t pointer) {
  std::string what = "'" + db_.path() + "' (table " + name_ + ")";
  checkRequiredKeys(values);
  for (size_t i = 0; i < def_.realIndexes.size(); ++i) {
    RealIndex& ri = def_.realIndexes[i];
    // Rows whose key is all Null stay out of an ignore-nulls index; Null keys never
    // clash in a unique one.
    bool allNull = keyAllNull(def_, ri, values);
    if (allNull && (ri.flags & kIndexIgnoreNulls)) continue;
    bool unique = (ri.flags & kIndexUnique) && !allNull;
    uint32_t map = ri.usageMap;
    IndexTree tree(
        db_.pager(), def_.page, ri.firstPage, what, [this, map] { return db_.allocateIndexPage(map); },
        [this, map](uint32_t p) { db_.releaseIndexPage(map, p); });
    // The definition counts each index's distinct keys.
    if (tree.insert(entryOf(ri, values, pointer, what), unique)) adjustIndexCount(i, 1);
  }
}

void TableImpl::insertIndexedRows(std::span<const Value> values, size_t width) {
  // The rows go in first, then their index entries: each index takes the run's entries in
  // key order, so one entry after another lands on the leaf the one before changed, and
  // the pages an index decodes serve the whole run.
  Pager& pager = db_.pager();
  const std::string what = "'" + db_.path() + "' (table " + name_ + ")";
  struct Pending {
    IndexEntryBytes entry;
    bool unique;
  };
  std::vector<std::vector<Pending>> pending(def_.realIndexes.size());
  std::vector<Value> stored;
  for (size_t at = 0; at < values.size(); at += width) {
    placeRow(values.subspan(at, width));
    const uint32_t pointer = endStep();
    if (pointer == 0) continue;
    // Keys come from the row as stored, so they say exactly what a reader of the row sees.
    decodeRow(pager, def_, rowAt(pager, pointer, what), stored, what);
    checkRequiredKeys(stored);
    for (size_t i = 0; i < def_.realIndexes.size(); ++i) {
      const RealIndex& ri = def_.realIndexes[i];
      // Rows whose key is all Null stay out of an ignore-nulls index; Null keys never
      // clash in a unique one.
      const bool allNull = keyAllNull(def_, ri, stored);
      if (allNull && (ri.flags & kIndexIgnoreNulls)) continue;
      pending[i].push_back({entryOf(ri, stored, pointer, what), (ri.flags & kIndexUnique) && !allNull});
    }
  }
  for (size_t i = 0; i < pending.size(); ++i) {
    std::vector<Pending>& run = pending[i];
    std::sort(run.begin(), run.end(), [](const Pending& a, const Pending& b) { return a.entry < b.entry; });
    const uint32_t map = def_.realIndexes[i].usageMap;
    DecodedIndexPages decoded;
    IndexTree tree(
        pager, def_.page, def_.realIndexes[i].firstPage, what, [this, map] { return db_.allocateIndexPage(map); },
        [this, map](uint32_t p) { db_.releaseIndexPage(map, p); }, &decoded);
    int newKeys = 0;
    for (const Pending& p : run)
      if (tree.insert(p.entry, p.unique)) ++newKeys;
    // The definition counts each index's distinct keys.
    if (newKeys != 0) adjustIndexCount(i, newKeys);
  }
}

void TableImpl::removeIndexEntries(std::span<const Value> values, uint32_t pointer) {
  std::string what = "'" + db_.path() + "' (table " + name_ + ")";
  for (size_t i = 0; i < def_.realIndexes.size(); ++i) {
    RealIndex& ri = def_.realIndexes[i];
    if ((ri.flags & kIndexIgnoreNulls) && keyAllNull(def_, ri, values)) continue;
    uint32_t map = ri.usageMap;
    IndexTree tree(
        db_.pager(), def_.page, ri.firstPage, what, [this, map] { return db_.allocateIndexPage(map); },
        [this, map](uint32_t p) { db_.releaseIndexPage(map, p); });
    bool keyGone = false;
    if (tree.remove(entryOf(ri, values, pointer, what), &keyGone) && keyGone && ri.rowCount > 0)
      adjustIndexCount(i, -1);
  }
}

void TableImpl::forgetInsertPage() {
  insertPage_ = 0;
  insertPageKnown_ = false;
  insertPageIsNew_ = false;
  roomLeft_ = 0;
  waiting_.clear();
  waitingEnds_.clear();
  stepNewPages_.clear();
  stepFullPages_.clear();
  stepRowsPlaced_ = 0;
  newLongValuePages_.clear();
  leftLongValuePages_.clear();
  leftDataPages_.clear();
  stepLongValuePages_.clear();
  lv_.forgetPages();
}

uint32_t TableImpl::newPage(uint16_t column, bool shared) {
  // Entered in the usage maps when the step ends: until a row points at it the page is
  // not reachable, and the maps then change once for all of the step's new pages.
  uint32_t page = db_.allocatePage(true);
  newLongValuePages_.push_back({page, column, shared});
  if (flushEachStep_) stepLongValuePages_.push_back(page);
  return page;
}

void TableImpl::leaveSharedPage(uint16_t column, uint32_t page) {
  // A run no longer comes back to it: its buffer goes with the step's other pages.
  if (flushEachStep_) stepLongValuePages_.push_back(page);
  for (auto it = newLongValuePages_.rbegin(); it != newLongValuePages_.rend(); ++it)
    if (it->page == page) {
      it->shared = false;  // new in this step: it never reaches the free-space map
      return;
    }
  leftLongValuePages_.emplace_back(column, page);
}

const LongValueMaps* TableImpl::mapsOf(uint16_t column) const {
  for (const LongValueMaps& m : def_.longValueMaps)
    if (m.column == column) return &m;
  return nullptr;
}

namespace {

// The last page a map lists that passes `fits` (0 when none), found from the end.
template <typename Fits>
uint32_t lastListed(Pager& pager, uint32_t pointer, const std::string& what, Fits fits) {
  if (pointer == 0) return 0;
  std::vector<uint32_t> pages = readUsageMap(pager, pointer, what);
  for (auto it = pages.rbegin(); it != pages.rend(); ++it)
    if (*it != 0 && *it < pager.pageCount() && fits(pager.read(*it))) return *it;
  return 0;
}

}  // namespace

uint32_t TableImpl::lastSharedPage(uint16_t column) {
  const LongValueMaps* m = mapsOf(column);
  if (!m) return 0;
  Pager& pager = db_.pager();
  return lastListed(pager, m->free, "'" + pager.path() + "' (table " + name_ + ")",
                    [](const uint8_t* p) { return p[0] == kPageData && get32(p, 4) == kLvalMarker; });
}

uint32_t TableImpl::lastInsertPage() {
  Pager& pager = db_.pager();
  const std::string what = "'" + pager.path() + "' (table " + name_ + ")";
  auto mine = [this](const uint8_t* p) { return p[0] == kPageData && get32(p, 4) == def_.page; };
  uint32_t page = lastListed(pager, def_.freePages, what, mine);
  return page != 0 ? page : lastListed(pager, def_.usedPages, what, mine);
}

void TableImpl::nextInsertPage() {
  Pager& pager = db_.pager();
  const Layout& l = pager.layout();
  uint32_t page = db_.allocatePage(true);
  initDataPage(pager.overwrite(page), l, def_.page);
  insertPage_ = page;
  insertPageIsNew_ = true;
  roomLeft_ = dataFreeSpace(pager.read(page), l);
}

void TableImpl::checkRowLength(std::span<const Value> values) const {
  if (values.size() != def_.columns.size())
    throw DbError(kErrSql, "Table '" + name_ + "' has " + std::to_string(def_.columns.size()) + " columns, but " +
                               std::to_string(values.size()) + " values were given.");
}

void TableImpl::placeRow(std::span<const Value> values) {
  Pager& pager = db_.pager();
  const Layout& l = pager.layout();
  checkRowLength(values);
  uint32_t autoNumber = def_.autoNumber;
  bool filled = false;
  std::span<const Value> use = values;
  for (size_t i = 0; i < def_.columns.size(); ++i) {
    const ColumnInfo& c = def_.columns[i];
    if (c.def.autoIncrement && c.def.type == ColumnType::kLong) {
      if (!filled) {
        filled_.assign(values.begin(), values.end());
        filled = true;
      }
      if (filled_[i].isNull()) {
        if (autoNumber >= 0x7FFFFFFFu) throw DbError(kErrSql, "The AutoNumber of table '" + name_ + "' is exhausted.");
        filled_[i] = Value::integer(static_cast<int64_t>(++autoNumber));
      } else if (filled_[i].kind == Value::Kind::kInteger && filled_[i].i > static_cast<int64_t>(autoNumber) &&
                 filled_[i].i <= 0x7FFFFFFF) {
        autoNumber = static_cast<uint32_t>(filled_[i].i);
      }
    } else if (c.def.notNull && values[i].isNull() && c.def.type != ColumnType::kBoolean) {
      throw DbError(kErrSql, "The field '" + name_ + "." + c.def.name + "' cannot contain a Null value.");
    }
  }
  if (filled) use = filled_;
  encodeRow(def_, use, lv_, rowBuffer_);
  if (rowBuffer_.size() > maxRowSize(l)) throw DbError(kErrSql, "Record is too large.");
  const auto size = static_cast<uint32_t>(rowBuffer_.size());
  if (!insertPageKnown_) {
    insertPage_ = lastInsertPage();
    insertPageKnown_ = true;
    insertPageIsNew_ = false;
    roomLeft_ = insertPage_ != 0 ? dataFreeSpace(pager.read(insertPage_), l) : 0;
  }
  if (insertPage_ == 0 || roomLeft_ < size + 2) {
    if (insertPage_ != 0) {
      stepFullPages_.push_back(insertPage_);
      leftDataPages_.push_back(insertPage_);
    }
    if (flushEachStep_ && insertPage_ != 0 && stepFullPages_.size() < kPagesPerStep) {
      // A run's step fills several pages: they go out together, and the maps and the
      // counters are written once for all of them when the step ends. The page may be one
      // the table already lists, whose rows are read at once: the long values they point
      // at enter their maps first. A page new in this step is reachable only once the
      // step's end enters it, after those maps.
      if (!insertPageIsNew_) {
        db_.markAllocated();
        enterLongValuePages();
      }
      placeWaitingRows();
    } else {
      endStep();
      if (flushEachStep_) {
        pager.flush();
        pager.trim();
        runRowsInFile_ = runRow_;
        // The run will not come back to the pages it filled: their buffers serve the next ones.
        for (uint32_t full : stepFullPages_) pager.release(full);
        // So do the long-value pages it made, but for the shared ones that still have room.
        for (uint32_t page : stepLongValuePages_)
          if (!lv_.isSharedPage(page)) pager.release(page);
        stepLongValuePages_.clear();
      }
      stepFullPages_.clear();
    }
    nextInsertPage();
  }
  roomLeft_ -= size + 2;
  waiting_.insert(waiting_.end(), rowBuffer_.begin(), rowBuffer_.end());
  waitingEnds_.push_back(static_cast<uint32_t>(waiting_.size()));
  def_.autoNumber = autoNumber;
}

uint32_t TableImpl::placeWaitingRows() {
  Pager& pager = db_.pager();
  uint32_t pointer = 0;
  uint32_t from = 0;
  for (uint32_t end : waitingEnds_) {
    uint32_t row = appendDataRow(pager, insertPage_, {waiting_.data() + from, end - from});
    pointer = makePointer(insertPage_, row);
    from = end;
  }
  stepRowsPlaced_ += static_cast<uint32_t>(waitingEnds_.size());
  waiting_.clear();
  waitingEnds_.clear();
  if (insertPageIsNew_) {
    stepNewPages_.push_back(insertPage_);
    insertPageIsNew_ = false;
  }
  return pointer;
}

void TableImpl::enterLongValuePages() {
  Pager& pager = db_.pager();
  auto allocate = [this] { return db_.allocatePage(); };
  for (const auto& [column, page] : leftLongValuePages_)
    if (const LongValueMaps* m = mapsOf(column); m && m->free != 0)
      setUsageBit(pager, m->free, page, false, false, allocate);
  leftLongValuePages_.clear();
  // One map after the other, so that the bits of each map page go out as one write.
  for (const NewLongValuePage& n : newLongValuePages_) {
    const LongValueMaps* m = mapsOf(n.column);
    setUsageBit(pager, m ? m->owned : def_.usedPages, n.page, true, false, allocate);
  }
  for (const NewLongValuePage& n : newLongValuePages_) {
    const LongValueMaps* m = mapsOf(n.column);
    if (n.shared && m && m->free != 0) setUsageBit(pager, m->free, n.page, true, false, allocate);
  }
  newLongValuePages_.clear();
}

void TableImpl::enterDataPages() {
  Pager& pager = db_.pager();
  auto allocate = [this] { return db_.allocatePage(); };
  auto has = [](const std::vector<uint32_t>& v, uint32_t page) {
    return std::find(v.begin(), v.end(), page) != v.end();
  };
  if (def_.freePages != 0)
    for (uint32_t page : leftDataPages_)
      if (!has(stepNewPages_, page)) setUsageBit(pager, def_.freePages, page, false, false, allocate);
  for (uint32_t page : stepNewPages_) setUsageBit(pager, def_.usedPages, page, true, false, allocate);
  if (def_.freePages != 0)
    for (uint32_t page : stepNewPages_)
      if (!has(leftDataPages_, page)) setUsageBit(pager, def_.freePages, page, true, false, allocate);
  leftDataPages_.clear();
  stepNewPages_.clear();
}

uint32_t TableImpl::endStep() {
  Pager& pager = db_.pager();
  const Layout& l = pager.layout();
  // The step's new pages marked used in the global map, before anything points at them.
  db_.markAllocated();
  // The long-value pages of the step's rows in their columns' maps, before the rows that
  // point at them.
  enterLongValuePages();
  const uint32_t pointer = insertPage_ != 0 ? placeWaitingRows() : 0;
  // New data pages join the table once they hold their rows.
  enterDataPages();
  const uint32_t placed = stepRowsPlaced_;
  stepRowsPlaced_ = 0;
  // Last, the definition's counters (one small write).
  uint32_t storedAuto = get32(pager.read(def_.page), l.tdefAutoNumber);
  if (placed > 0 || storedAuto != def_.autoNumber) {
    def_.rowCount += placed;
    uint32_t from = l.tdefRowCount;
    uint32_t to = storedAuto != def_.autoNumber ? l.tdefAutoNumber + 4 : l.tdefRowCount + 4;
    uint8_t* t = pager.modify(def_.page, from, to - from);
    put32(t, l.tdefRowCount, def_.rowCount);
    put32(t, l.tdefAutoNumber, def_.autoNumber);
  }
  return pointer;
}

uint32_t TableImpl::insertRow(std::span<const Value> values) {
  placeRow(values);
  uint32_t pointer = endStep();
  if (!def_.realIndexes.empty() && pointer != 0) {
    // Keys come from the row as stored, so they say exactly what a reader of the row sees.
    Pager& pager = db_.pager();
    std::vector<Value> stored;
    std::string what = "'" + db_.path() + "' (table " + name_ + ")";
    decodeRow(pager, def_, rowAt(pager, pointer, what), stored, what);
    addIndexEntries(stored, pointer);
  }
  return pointer;
}

}  // namespace qv::jet
