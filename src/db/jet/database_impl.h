#pragma once
// The engine's implementation classes, shared by the files that open, create, change
// and check a database.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "db/jet/catalog.h"
#include "db/jet/database.h"
#include "db/jet/file/format.h"
#include "db/jet/file/lock_file.h"
#include "db/jet/storage/long_value.h"
#include "db/jet/file/pager.h"
#include "db/jet/storage/sid_mask.h"
#include "db/jet/storage/table_def.h"

namespace qv::jet {

class DatabaseImpl;

// An index of a new table: its columns (by column number), its flags (table_def.h) and
// whether it is the primary key.
struct NewIndexColumn {
  NewIndexColumn(uint16_t n, bool desc = false) : number(n), descending(desc) {}  // NOLINT: from a bare number
  uint16_t number;
  bool descending;
};
struct NewIndex {
  std::string name;
  std::vector<NewIndexColumn> columns;
  uint8_t flags = 0;
  bool primaryKey = false;
};

// One MSysObjects row as the engine needs it.
struct CatalogRow {
  int32_t id = 0;
  int32_t parentId = 0;
  std::string name;
  int16_t type = 0;
  int32_t flags = 0;
  uint32_t pointer = 0;  // where the row is
};

class TableImpl final : public Table, private LongValuePages {
 public:
  TableImpl(DatabaseImpl& db, std::string name, TableDef def);
  const std::string& name() const override { return name_; }
  const std::vector<ColumnDef>& columns() const override { return columns_; }
  int64_t rowCount() const override { return def_.rowCount; }
  void insert(std::span<const Value> values) override;
  void insertRows(std::span<const Value> values, size_t* rowsInFile = nullptr) override;
  std::unique_ptr<RowCursor> scan() override;

  const TableDef& def() const { return def_; }
  TableDef& def() { return def_; }
  // Inserts without the public checks; the row and the table's counters are changed
  // (not yet written) when it returns. Returns the new row's pointer.
  uint32_t insertRow(std::span<const Value> values);
  // Why this table's indexes cannot be kept up to date, or nullopt when they can.
  std::optional<std::string> indexProblem() const;
  // Adds or removes the index entries of a row (values as decoded from the row).
  void addIndexEntries(std::span<const Value> values, uint32_t pointer);
  // Inserts rows of `width` values, then their entries in each index (in one change).
  void insertIndexedRows(std::span<const Value> values, size_t width);
  // Throws DbError(kErrSql) when a row has a Null in a column of a required index.
  void checkRequiredKeys(std::span<const Value> values) const;
  // A row's leaf entry in one index; a text the index's sort order cannot key is a
  // DbError naming `what`.
  std::vector<uint8_t> entryOf(const RealIndex& ri, std::span<const Value> values, uint32_t pointer,
                               const std::string& what) const;
  void removeIndexEntries(std::span<const Value> values, uint32_t pointer);
  // Every data page the table owns (its usage map), ascending.
  std::vector<uint32_t> dataPages();
  // Forgets everything about a change in progress (after a failed one).
  void forgetInsertPage();
  // The data page rows went to last: the last of the table's pages its free-space map
  // lists (where Access keeps the page it fills), else its last data page; 0 when none.
  uint32_t lastInsertPage();

 private:
  // Rows are placed in steps: each step fills one data page. A row's long values are
  // written as it is encoded; the encoded rows wait and go onto the page together, then
  // the new pages of the step are entered in the usage maps and the counters in the
  // definition are updated. So a step costs a handful of writes however many rows it
  // holds, and every write comes after what it points at.
  void placeRow(std::span<const Value> values);
  // Ends the step; returns the pointer of the last row placed (0 when none was).
  uint32_t endStep();
  // Puts the waiting rows onto the insert page (a page of the step that is full, or the
  // step's end); returns the last one's pointer.
  uint32_t placeWaitingRows();
  void checkRowLength(std::span<const Value> values) const;
  void nextInsertPage();
  void adjustIndexCount(size_t index, int delta);
  // Where each long value column's pages go (long_value.h). A new page is entered in its
  // column's usage map, and a shared one in the column's free-space map, when the step ends.
  uint32_t newPage(uint16_t column, bool shared) override;
  uint32_t lastSharedPage(uint16_t column) override;
  void leaveSharedPage(uint16_t column, uint32_t page) override;
  const LongValueMaps* mapsOf(uint16_t column) const;
  // Enter the step's new pages in the usage maps and bring the free-space maps up to
  // date: they list the pages rows go to next, and no page a row did not fit.
  void enterLongValuePages();
  void enterDataPages();

  DatabaseImpl& db_;
  std::string name_;
  TableDef def_;
  std::vector<ColumnDef> columns_;
  uint32_t insertPage_ = 0;
  bool insertPageKnown_ = false;
  uint32_t roomLeft_ = 0;         // free bytes of the insert page after the waiting rows
  bool insertPageIsNew_ = false;  // made in this step; not yet in the table's map
  std::vector<uint8_t> waiting_;  // encoded rows waiting for the insert page, back to back
  std::vector<uint32_t> waitingEnds_;
  struct NewLongValuePage {
    uint32_t page;
    uint16_t column;
    bool shared;  // the column's shared page still
  };
  std::vector<NewLongValuePage> newLongValuePages_;                // not yet in their usage maps
  std::vector<std::pair<uint16_t, uint32_t>> leftLongValuePages_;  // shared pages of earlier steps left
  std::vector<uint32_t> stepLongValuePages_;                       // made since the run's last flush
  std::vector<uint8_t> rowBuffer_;
  std::vector<Value> filled_;
  bool flushEachStep_ = false;
  // A run of rows (insertRows) fills up to this many data pages in one step: 512 KB of
  // rows (plus their long values) held until written, and the maps and counters written
  // once for all of them, where 8 pages a step made five times the writes.
  static constexpr size_t kPagesPerStep = 128;
  std::vector<uint32_t> stepNewPages_;   // new data pages of the step not yet in the map
  std::vector<uint32_t> stepFullPages_;  // pages the step filled
  std::vector<uint32_t> leftDataPages_;  // pages the step moved on from: off the free-space map
  uint32_t stepRowsPlaced_ = 0;          // rows placed in the step, not yet counted
  // In insertRows: the row being placed, and how many rows of the run are in the file.
  size_t runRow_ = 0;
  size_t runRowsInFile_ = 0;
  LongValueWriter lv_;
};

class DatabaseImpl final : public Database {
 public:
  DatabaseImpl(std::unique_ptr<Pager> pager, DatabaseHeader header, std::string path);
  ~DatabaseImpl() override;

  Format format() const override { return header_.format; }
  const std::string& path() const override { return path_; }
  std::vector<CatalogEntry> catalog() override;
  Table* table(const std::string& name) override;
  Table& createTable(const std::string& name, const std::vector<ColumnDef>& columns) override;
  Table& createIndexedTable(const std::string& name, const std::vector<ColumnDef>& columns,
                            const std::vector<IndexDef>& indexes) override;
  void createIndex(const std::string& table, const IndexDef& index) override;
  void dropTable(const std::string& name) override;
  void close() override;

  Pager& pager() { return *pager_; }
  const DatabaseHeader& header() const { return header_; }
  // Loads the catalogue (MSysObjects and the tables it lists).
  void load();
  // Re-reads every open table's definition in place (after a failed change).
  void reloadDefinitions();
  std::vector<CatalogRow> catalogRows();
  TableImpl& systemTable(const std::string& name);
  TableImpl* findTable(const std::string& name, bool userOnly);
  // Allocates a page: a free page of the file when there is one, otherwise a new one at
  // the end; marks it used in the global map -- or, with deferMark, leaves that to the
  // next markAllocated(), which must come before anything points at the page. The page
  // is not yet initialised.
  uint32_t allocatePage(bool deferMark = false);
  void markAllocated();
  // Marks a page free in the global map and clears it.
  void releasePage(uint32_t page);
  // A usage-map row slot on a shared map page.
  uint32_t newUsageMapRow(uint32_t firstPage);
  // Throws unless the database may be changed.
  void checkWritable();
  // Runs f and writes what it changed; on failure discards the changes and reloads what
  // the file has. A journaled change (creating, dropping a table) reaches the file whole or, after
  // a kill, is taken back whole when the database is next opened.
  template <typename F>
  auto change(F&& f, bool journaled = false) -> decltype(f());
  // Builds a new table (its definition at page fixedPage when non-zero) and its
  // catalogue rows.
  TableImpl& buildTable(const std::string& name, const std::vector<ColumnDef>& columns, bool system, uint32_t fixedPage,
                        int32_t parentId, const std::vector<NewIndex>& indexes = {});
  // Lays out a table from its finished definition (at page fixedPage when non-zero):
  // definition pages, usage maps and empty index roots. The table is then known to the
  // database but has no catalogue or permission rows yet.
  TableImpl& layOutTable(const std::string& name, TableDef def, bool system, uint32_t fixedPage,
                         const std::vector<NewIndex>& indexes);
  void setCatalogTable(std::unique_ptr<TableImpl> t);
  // createTable with indexes already resolved to column numbers (index_builder.cpp).
  Table& createTableWithIndexes(const std::string& name, const std::vector<ColumnDef>& columns,
                                const std::vector<NewIndex>& indexes);
  // Writes a table's definition anew (more or fewer pages as it needs).
  void rewriteDefinition(TableImpl& table);
  bool sortOrderSupported() const;
  // Throws, naming the file and the sort order, unless the catalogue's own indexes
  // (MSysObjects, MSysACEs) can be kept: creating and dropping tables change them.
  void checkCatalogIndexes();
  // A page for an index: allocated, marked in the index's usage map.
  uint32_t allocateIndexPage(uint32_t usageMap);
  void releaseIndexPage(uint32_t usageMap, uint32_t page);
  int32_t tablesContainerId() const { return tablesContainerId_; }
  // The mask of the file's stored SIDs, from page 0 as it now stands (permissions.cpp),
  // and the stored owner of a new table: the engine for a system table, else the Admin user.
  SidMask sidMask();
  std::string ownerSid(bool system);
  // The lock file written while the database is open for writing (nullptr when none),
  // or inUse when another program holds the database's file lock: writes then fail.
  void setLock(std::unique_ptr<LockFile> lock, bool inUse) {
    lock_ = std::move(lock);
    inUse_ = inUse;
  }

 private:
  void writeCatalogRow(const std::string& name, int32_t id, int32_t parentId, int16_t type, int32_t flags);
  // The permission rows of a new table (permissions.h).
  void copyPermissions(int32_t objectId, bool system);
  void markUsed(uint32_t page);

  std::unique_ptr<Pager> pager_;
  std::unique_ptr<LockFile> lock_;  // destroyed before the pager releases the file lock
  bool inUse_ = false;
  DatabaseHeader header_;
  std::string path_;
  bool closed_ = false;
  std::unique_ptr<TableImpl> catalogTable_;
  std::map<std::string, std::unique_ptr<TableImpl>> tables_;  // by folded name
  int32_t tablesContainerId_ = kTablesContainerId;
  std::optional<std::vector<uint32_t>> freeCandidates_;
  std::vector<uint32_t> unmarked_;  // allocated, not yet marked used in the global map
  uint32_t usageMapPage_ = 0;
  // Tables built by the change under way: a change that fails takes them away again.
  std::vector<std::string> built_;
};

template <typename F>
auto DatabaseImpl::change(F&& f, bool journaled) -> decltype(f()) {
  checkWritable();
  pager_->trim();
  built_.clear();
  try {
    if constexpr (std::is_void_v<decltype(f())>) {
      f();
      journaled ? pager_->flushJournaled() : pager_->flush();
    } else {
      decltype(auto) r = f();
      journaled ? pager_->flushJournaled() : pager_->flush();
      return r;
    }
  } catch (...) {
    pager_->discard();
    for (const std::string& key : built_) tables_.erase(key);
    built_.clear();
    try {
      reloadDefinitions();
    } catch (...) {
    }
    throw;
  }
}

// Orders a definition's logical indexes as Access lists them: by name, without regard to case.
void sortLogicalIndexes(TableDef& def);

// Builds the definition of a new table from column definitions (Jet 4 layout rules).
TableDef planTableDef(const std::vector<ColumnDef>& columns, bool system, const DatabaseHeader& header);

// Current time as a Jet date.
double nowAsOleDate();

}  // namespace qv::jet
