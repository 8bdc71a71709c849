// The check's view of usage maps that claim the wrong pages: a long value page moved to
// another column's map, dropped from every map or listed twice, and a data page two tables
// claim. Each fault is planted in a copy of a good database through the engine's own map
// functions.

#include <gtest/gtest.h>

#include <algorithm>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/database_impl.h"
#include "db/jet/reader_oracle.h"
#include "db/jet/storage/usage_map.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

std::string joined(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& x : v) out += x + "\n";
  return out;
}

// A database with tables A and B; A has two Long Text columns whose values each need
// pages of their own.
std::string goodDatabase(const test::TempDir& dir) {
  std::string path = dir.file("good.mdb");
  auto db = createDatabase(path, Format::kJet4);
  Table& a = db->createTable(
      "A", {column("N", ColumnType::kLong), column("Eins", ColumnType::kMemo), column("Zwei", ColumnType::kMemo)});
  Table& b = db->createTable("B", {column("N", ColumnType::kLong), column("T", ColumnType::kText, 50)});
  for (int i = 0; i < 40; ++i) {
    a.insert(std::vector<Value>{Value::integer(i), Value::text(std::string(2000 + i, 'e')),
                                Value::text(std::string(6000, 'z'))});
    b.insert(std::vector<Value>{Value::integer(i), Value::text("Zeile " + std::to_string(i))});
  }
  db->close();
  return path;
}

// Runs f on the open database's engine and writes what it changed.
template <typename F>
void plant(const std::string& from, const std::string& to, F f) {
  test::copyFile(from, to);
  auto db = openDatabase(to, {});
  auto& impl = dynamic_cast<DatabaseImpl&>(*db);
  impl.change([&] { f(impl); });
  db->close();
}

uint32_t firstListed(DatabaseImpl& db, uint32_t map) { return readUsageMap(db.pager(), map, "test").front(); }

void setBit(DatabaseImpl& db, uint32_t map, uint32_t page, bool value) {
  setUsageBit(db.pager(), map, page, value, false, [&] { return db.allocatePage(); });
}

const LongValueMaps& mapsOf(DatabaseImpl& db, const char* table, size_t k) {
  return dynamic_cast<TableImpl&>(*db.table(table)).def().longValueMaps.at(k);
}

TEST(JetMapCheck, FindsLongValuePagesOutsideTheirColumnsMap) {
  test::TempDir dir;
  const std::string good = goodDatabase(dir);
  ASSERT_EQ(joined(checkDatabase(good)), "");
  const std::string path = dir.file("bad.mdb");

  // A page of Eins's values listed under Zwei instead.
  uint32_t moved = 0;
  plant(good, path, [&](DatabaseImpl& db) {
    const LongValueMaps& eins = mapsOf(db, "A", 0);
    const LongValueMaps& zwei = mapsOf(db, "A", 1);
    moved = firstListed(db, eins.owned);
    setBit(db, eins.owned, moved, false);
    setBit(db, zwei.owned, moved, true);
  });
  std::string found = joined(checkDatabase(path));
  EXPECT_NE(found.find("table A: long-value page " + std::to_string(moved) +
                       " of column Eins is in the usage map of column Zwei"),
            std::string::npos)
      << found;

  // One in no map at all.
  plant(good, path, [&](DatabaseImpl& db) {
    const LongValueMaps& zwei = mapsOf(db, "A", 1);
    moved = firstListed(db, zwei.owned);
    setBit(db, zwei.owned, moved, false);
  });
  found = joined(checkDatabase(path));
  EXPECT_NE(found.find("long-value page " + std::to_string(moved) + " of column Zwei is in no column's usage map"),
            std::string::npos)
      << found;

  // One in both columns' maps.
  plant(good, path, [&](DatabaseImpl& db) {
    moved = firstListed(db, mapsOf(db, "A", 0).owned);
    setBit(db, mapsOf(db, "A", 1).owned, moved, true);
  });
  found = joined(checkDatabase(path));
  EXPECT_NE(found.find("the usage maps of columns Eins and Zwei both list long-value page " + std::to_string(moved)),
            std::string::npos)
      << found;
}

TEST(JetMapCheck, FindsADataPageTwoTablesClaim) {
  test::TempDir dir;
  const std::string good = goodDatabase(dir);
  const std::string path = dir.file("bad.mdb");
  uint32_t page = 0;
  plant(good, path, [&](DatabaseImpl& db) {
    auto& a = dynamic_cast<TableImpl&>(*db.table("A"));
    auto& b = dynamic_cast<TableImpl&>(*db.table("B"));
    page = b.dataPages().front();
    setBit(db, a.def().usedPages, page, true);
  });
  std::string found = joined(checkDatabase(path));
  EXPECT_NE(found.find("data page " + std::to_string(page) +
                       " is in the usage maps of tables A and B (it holds rows of table B)"),
            std::string::npos)
      << found;
  // Nothing else is wrong: B's rows still read, A's count still holds.
  EXPECT_EQ(std::count(found.begin(), found.end(), '\n'), 1) << found;
}

}  // namespace
}  // namespace qv::jet
