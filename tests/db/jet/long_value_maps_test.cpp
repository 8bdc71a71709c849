// Where long values and rows go, measured against Access's own files: each Long Text /
// OLE Object column keeps its pages in its own usage map, a chain's pieces each sit alone
// on a page, and the free-space maps list the pages rows go to next -- in what we write,
// in what Access wrote (the corpus), and when we add rows to Access's tables.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/database.h"
#include "db/jet/database_impl.h"
#include "db/jet/reader_oracle.h"
#include "db/jet/storage/row_codec.h"
#include "db/jet/storage/usage_map.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

const std::vector<std::string> kClean;  // what the check finds in a sound database

std::set<uint32_t> listed(Pager& pager, uint32_t pointer) {
  if (pointer == 0) return {};
  std::vector<uint32_t> pages = readUsageMap(pager, pointer, pager.path());
  return {pages.begin(), pages.end()};
}

// One long value column as the file has it.
struct ColumnPages {
  std::set<uint32_t> holding;  // pages its values' rows lie on
  std::set<uint32_t> chain;    // pages of chain pieces among them
  std::set<uint32_t> owned;    // its usage map
  std::set<uint32_t> free;     // its free-space map
};

// The table's long value columns (by column number), from its rows and its maps.
std::map<uint16_t, ColumnPages> longValuePages(DatabaseImpl& db, TableImpl& t) {
  Pager& pager = db.pager();
  const TableDef& def = t.def();
  std::map<uint16_t, ColumnPages> out;
  for (const LongValueMaps& m : def.longValueMaps) {
    out[m.column].owned = listed(pager, m.owned);
    out[m.column].free = listed(pager, m.free);
  }
  for (uint32_t page : t.dataPages()) {
    const uint8_t* b = pager.read(page);
    for (uint32_t r = 0; r < dataRowCount(b, pager.layout()); ++r) {
      std::span<const uint8_t> row;
      if (!liveRow(pager, b, r, &row, "test")) continue;
      for (const ColumnInfo& c : def.columns) {
        std::span<const uint8_t> field;
        if (!isLongValue(c.def.type) || !storedColumnBytes(pager.layout(), def, row, c, &field, "test")) continue;
        for (uint32_t pointer : longValueRows(pager, field.data(), field.size(), "test")) {
          out[c.number].holding.insert(pageOf(pointer));
          if (field[3] == 0) out[c.number].chain.insert(pageOf(pointer));
        }
      }
      b = pager.read(page);
    }
  }
  return out;
}

uint32_t liveRows(Pager& pager, uint32_t page) {
  const uint8_t* b = pager.read(page);
  uint32_t n = 0;
  for (uint32_t r = 0; r < dataRowCount(b, pager.layout()); ++r)
    if (!(get16(b, pager.layout().dataRowCountOffset + 2 + r * 2) & kRowOverflow)) ++n;
  return n;
}

// What Access does with every table it fills, and so what we must do: no long value page
// outside its own column's map, chains never on a free-space map, each chain piece alone
// on its page; `exact` adds what holds for a table only ever added to (no deletions):
// each map lists exactly its column's pages, and each free-space map at most one page.
std::string layoutProblems(DatabaseImpl& db, TableImpl& t, bool exact) {
  Pager& pager = db.pager();
  std::string out;
  std::map<uint16_t, ColumnPages> columns = longValuePages(db, t);
  std::set<uint32_t> tablePages = listed(pager, t.def().usedPages);
  for (const auto& [number, c] : columns) {
    const std::string name = "column " + std::to_string(number);
    for (uint32_t p : c.holding) {
      if (!c.owned.count(p)) out += name + ": page " + std::to_string(p) + " of its values is not in its map\n";
      if (tablePages.count(p)) out += name + ": page " + std::to_string(p) + " is in the table's map\n";
      for (const auto& [other, o] : columns)
        if (other != number && o.owned.count(p))
          out += name + ": page " + std::to_string(p) + " is in another column's map\n";
    }
    for (uint32_t p : c.chain) {
      if (c.free.count(p)) out += name + ": chain page " + std::to_string(p) + " is in its free-space map\n";
      if (liveRows(pager, p) != 1) out += name + ": chain page " + std::to_string(p) + " holds other rows\n";
    }
    for (uint32_t p : c.free)
      if (!c.owned.count(p)) out += name + ": free page " + std::to_string(p) + " is not its own\n";
    if (exact && c.owned != c.holding) out += name + ": its map lists pages that hold none of its values\n";
    if (exact && c.free.size() > 1)
      out += name + ": its free-space map lists " + std::to_string(c.free.size()) + " pages\n";
  }
  return out;
}

// The table's free-space map against the page its rows went to last.
std::string dataFreeProblems(DatabaseImpl& db, TableImpl& t, bool exact) {
  std::vector<uint32_t> pages = t.dataPages();
  if (pages.empty()) return "";
  std::set<uint32_t> free = listed(db.pager(), t.def().freePages);
  if (!free.count(pages.back()))
    return "the last data page " + std::to_string(pages.back()) + " is not in the free-space map\n";
  if (exact && free.size() != 1) return "the free-space map lists " + std::to_string(free.size()) + " pages\n";
  return "";
}

std::vector<ColumnDef> longColumns() {
  return {column("Nummer", ColumnType::kLong), column("Notiz", ColumnType::kMemo), column("Bild", ColumnType::kOle),
          column("Kurz", ColumnType::kText, 20), column("Langtext", ColumnType::kMemo)};
}

// Row i: each long value column gets values of every size class in turn: Null, inline,
// a row of its own on a shared page, one that nearly fills a page, chains of 2 to 5 pages.
std::vector<Value> longRow(int i) {
  static const size_t kSizes[] = {0, 40, 300, 1500, 3990, 4100, 9000, 20000};
  auto sized = [&](int k, char base) {
    size_t n = kSizes[static_cast<size_t>(i * 3 + k) % 8];
    std::string s(n, base);
    for (size_t j = 0; j < n; j += 7) s[j] = static_cast<char>(base + (i + static_cast<int>(j)) % 20);
    return s;
  };
  std::vector<Value> v(5);
  v[0] = Value::integer(i);
  std::string memo = sized(0, 'a');
  v[1] = memo.empty() ? Value::null() : Value::text(memo);
  v[2] = Value::binary(sized(1, 'A'));
  v[3] = Value::text("Zeile " + std::to_string(i));
  std::string lang = sized(2, 'k');
  v[4] = i % 5 == 0 ? Value::null() : Value::text(lang + " Ünïcödé");
  return v;
}

TEST(JetLongValueMaps, EachColumnKeepsItsOwnPagesAndTheFreeMapsListWhereRowsGoNext) {
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  test::TempDir dir;
  for (Format f : {Format::kJet4, Format::kAce12}) {
    SCOPED_TRACE(formatName(f));
    std::string path = dir.file(f == Format::kJet4 ? "lv.mdb" : "lv.accdb");
    {
      auto db = createDatabase(path, f);
      Table& t = db->createTable("Lange Werte", longColumns());
      // A run of rows (the batch path), then rows one by one.
      std::vector<Value> run;
      for (int i = 0; i < 300; ++i)
        for (Value& v : longRow(i)) run.push_back(std::move(v));
      t.insertRows(run);
      for (int i = 300; i < 500; ++i) t.insert(longRow(i));
      db->close();
    }
    {
      // A later session goes on where the first left off.
      auto db = openDatabase(path, {});
      for (int i = 500; i < 560; ++i) db->table("Lange Werte")->insert(longRow(i));
      db->close();
    }
    EXPECT_EQ(checkDatabase(path), kClean);
    auto db = openDatabase(path, {});
    auto& impl = dynamic_cast<DatabaseImpl&>(*db);
    auto& t = dynamic_cast<TableImpl&>(*db->table("Lange Werte"));
    EXPECT_EQ(layoutProblems(impl, t, true), "");
    EXPECT_EQ(dataFreeProblems(impl, t, true), "");
    std::map<uint16_t, ColumnPages> columns = longValuePages(impl, t);
    ASSERT_EQ(columns.size(), 3u);
    for (const auto& [number, c] : columns) {
      EXPECT_FALSE(c.chain.empty()) << number;
      EXPECT_EQ(c.free.size(), 1u) << number;
    }
    // The catalogue's own free-space maps follow the same rule.
    for (const char* system : {"MSysObjects", "MSysACEs"})
      EXPECT_EQ(dataFreeProblems(impl, impl.systemTable(system), false), "") << system;
    EXPECT_EQ(t.rowCount(), 560);
    auto cursor = t.scan();
    std::vector<Value> row;
    int i = 0;
    while (cursor->next(row)) {
      std::vector<Value> expect = longRow(i++);
      ASSERT_EQ(row[1].s, expect[1].s) << i;
      ASSERT_EQ(row[2].s, expect[2].s) << i;
      ASSERT_EQ(row[4].s, expect[4].s) << i;
    }
    EXPECT_EQ(i, 560);
    EXPECT_EQ(test::compareWithMdbReader(path, *db, {"Lange Werte"}), "");
    EXPECT_EQ(test::mdbtoolsCount(path, "Lange Werte"), 560);
  }
}

// Every unencrypted Jet 4 / ACE file Access made keeps the rules we write by.
TEST(JetLongValueMaps, AccessMadeFilesKeepTheSameRules) {
  QV_REQUIRE_TESTDATA();
  int tablesWithLongValues = 0;
  for (const std::string& file : test::corpusFiles("access", {".mdb", ".accdb"})) {
    std::unique_ptr<Database> db;
    try {
      OpenOptions o;
      o.readOnly = true;
      db = openDatabase(file, o);
    } catch (const DbError&) {
      continue;  // encrypted or protected by a password
    }
    if (db->format() == Format::kJet3) continue;
    SCOPED_TRACE(file);
    auto& impl = dynamic_cast<DatabaseImpl&>(*db);
    for (const CatalogEntry& e : db->catalog()) {
      if (e.kind != ObjectKind::kUserTable && e.kind != ObjectKind::kSystemTable) continue;
      auto* t = dynamic_cast<TableImpl*>(db->table(e.name));
      ASSERT_NE(t, nullptr) << e.name;
      EXPECT_EQ(layoutProblems(impl, *t, false), "") << e.name;
      if (!t->def().longValueMaps.empty()) ++tablesWithLongValues;
      // The tables rows are added to (Access keeps MSysAccessObjects' pages otherwise).
      if (e.kind == ObjectKind::kUserTable || e.name == "MSysObjects" || e.name == "MSysACEs") {
        EXPECT_EQ(dataFreeProblems(impl, *t, false), "") << e.name;
      }
    }
  }
  EXPECT_GT(tablesWithLongValues, 100);
}

// Rows added in many short sessions fill the pages the free-space maps list, as Access
// does, instead of starting new ones each time; in Access's own table too.
TEST(JetLongValueMaps, LaterSessionsGoOnOnThePagesTheFreeSpaceMapsList) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  test::TempDir dir;
  std::string path = dir.file("sessions.mdb");
  createDatabase(path, Format::kJet4)->createTable("T", longColumns());
  for (int i = 0; i < 12; ++i) {
    auto db = openDatabase(path, {});
    db->table("T")->insert(std::vector<Value>{Value::integer(i), Value::text(std::string(200, 'm')),
                                              Value::binary("kurz"), Value::null(),
                                              Value::text(std::string(150, 'l'))});
    db->close();
  }
  {
    auto db = openDatabase(path, {});
    auto& t = dynamic_cast<TableImpl&>(*db->table("T"));
    std::map<uint16_t, ColumnPages> columns = longValuePages(dynamic_cast<DatabaseImpl&>(*db), t);
    EXPECT_EQ(columns[1].owned.size(), 1u);
    EXPECT_EQ(columns[4].owned.size(), 1u);
    EXPECT_EQ(t.dataPages().size(), 1u);
    EXPECT_EQ(test::compareWithMdbReader(path, *db, {"T"}), "");
  }
  EXPECT_EQ(checkDatabase(path), kClean);

  // Northwind's Categories: Description's values share a page its free-space map lists,
  // Picture's are chains. New rows go where Access would put them.
  std::string north = dir.file("north.mdb");
  test::copyFile(test::testdataDir() + "/access/northwind-GabrielLogue/Northwind.mdb", north);
  const std::vector<std::string> before = checkDatabase(north);
  uint32_t descriptionPage = 0;
  {
    auto db = openDatabase(north, {});
    auto& impl = dynamic_cast<DatabaseImpl&>(*db);
    auto& t = dynamic_cast<TableImpl&>(*db->table("Categories"));
    ASSERT_EQ(t.def().columns[2].def.name, "Description");
    std::map<uint16_t, ColumnPages> columns = longValuePages(impl, t);
    ASSERT_EQ(columns[2].free.size(), 1u);
    descriptionPage = *columns[2].free.begin();
    const std::set<uint32_t> pictures = columns[3].owned;
    std::vector<Value> row(t.def().columns.size());
    row[1] = Value::text("Quorvane");
    row[2] = Value::text(std::string(300, 'd'));
    row[3] = Value::binary(std::string(10000, '\x42'));
    t.insert(row);
    columns = longValuePages(impl, t);
    EXPECT_EQ(columns[2].owned, std::set<uint32_t>{descriptionPage});
    EXPECT_EQ(columns[3].owned.size(), pictures.size() + 3);
    EXPECT_EQ(layoutProblems(impl, t, false), "");
    EXPECT_EQ(dataFreeProblems(impl, t, false), "");
    EXPECT_EQ(test::compareWithMdbReader(north, *db, {"Categories"}), "");
    db->close();
  }
  EXPECT_EQ(checkDatabase(north), before);
  EXPECT_EQ(test::mdbtoolsCount(north, "Categories"), 9);
}

}  // namespace
}  // namespace qv::jet
