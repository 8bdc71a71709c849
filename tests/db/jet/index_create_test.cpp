// Indexes of tables made here: a primary key and other indexes given with a new table or
// added later are kept on every insert, refuse what breaks them without changing the
// file, sort their entries as the values sort, and are laid out as Access lays out its
// own (flags, logical entries, pages).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>

#include "db/io/error.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/index_tree.h"
#include "db/jet/storage/table_def.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

std::string joined(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& x : v) out += x + "\n";
  return out;
}

IndexDef index(const std::string& name, std::vector<IndexDef::Column> columns, bool primaryKey = false,
               bool unique = false) {
  IndexDef d;
  d.name = name;
  d.columns = std::move(columns);
  d.primaryKey = primaryKey;
  d.unique = unique;
  return d;
}

std::vector<Value> row(int64_t id, const std::string& name, double amount) {
  return {Value::integer(id), Value::text(name), Value::real(amount)};
}

const std::vector<ColumnDef> kColumns = {column("Id", ColumnType::kLong), column("Name", ColumnType::kText, 30),
                                         column("Amount", ColumnType::kDouble)};

// The row pointers of an index's leaves, in key order.
std::vector<uint32_t> leafOrder(DatabaseImpl& db, const RealIndex& ri) {
  Pager& pager = db.pager();
  uint32_t page = ri.firstPage;
  for (int depth = 0; depth < 16; ++depth) {
    auto p = readIndexPage(pager.read(page), pager.layout());
    if (!p || p->leaf) break;
    page = p->entries.empty() ? p->tail : nodeChild(p->entries.front());
  }
  std::vector<uint32_t> out;
  while (page != 0) {
    auto p = readIndexPage(pager.read(page), pager.layout());
    if (!p) break;
    for (const auto& e : p->entries)
      out.push_back((uint32_t{e[e.size() - 4]} << 16 | uint32_t{e[e.size() - 3]} << 8 | e[e.size() - 2]) << 8 |
                    e.back());
    page = p->next;
  }
  return out;
}

TEST(JetIndexCreate, IndexesGivenWithATableAreKeptAndRefuseWhatBreaksThem) {
  for (Format format : {Format::kJet4, Format::kAce12, Format::kAce14}) {
    test::TempDir dir;
    const std::string path = dir.file(format == Format::kJet4 ? "k.mdb" : "k.accdb");
    {
      auto db = createDatabase(path, format);
      Table& t =
          db->createIndexedTable("People", kColumns,
                                 {index("PrimaryKey", {{"Id", true}}, true),
                                  index("Name", {{"Name", true}}, false, true), index("Amount", {{"Amount", false}})});
      t.insert(row(1, "Anna", 3.5));
      t.insert(row(2, "Bert", -1));
      std::vector<Value> many;
      for (int i = 3; i <= 600; ++i) {
        auto r = row(i, "Name " + std::to_string(i), i * 0.25);
        many.insert(many.end(), r.begin(), r.end());
      }
      t.insertRows(many);
      // A duplicate key, a name equal but for case, a Null in the primary key: refused,
      // and the table stays as it was.
      EXPECT_THROW(t.insert(row(2, "Carl", 0)), DbError);
      try {
        t.insert(row(700, "ANNA", 0));
        ADD_FAILURE() << "a name equal to another but for case went into a unique index";
      } catch (const DbError& e) {
        EXPECT_EQ(e.number(), kErrSql);
        EXPECT_NE(std::string(e.what()).find("duplicate values"), std::string::npos) << e.what();
      }
      try {
        t.insert(std::vector<Value>{Value::null(), Value::text("Dora"), Value::real(1)});
        ADD_FAILURE() << "a Null went into the primary key";
      } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot contain a Null value"), std::string::npos) << e.what();
      }
      EXPECT_EQ(t.rowCount(), 600);
      db->close();
    }
    EXPECT_EQ(joined(checkDatabase(path)), "") << path;
    // The file as Access would have it: flags, logical entries, their order.
    auto db = openDatabase(path);
    auto& impl = dynamic_cast<DatabaseImpl&>(*db);
    auto* t = impl.findTable("People", true);
    ASSERT_NE(t, nullptr);
    const TableDef& def = t->def();
    ASSERT_EQ(def.realIndexes.size(), 3u);
    EXPECT_EQ(def.realIndexes[0].flags, 0x89);  // primary key: unique, required
    EXPECT_EQ(def.realIndexes[1].flags, 0x81);
    EXPECT_EQ(def.realIndexes[2].flags, 0x80);
    EXPECT_FALSE(def.realIndexes[2].columns[0].ascending);
    EXPECT_EQ(def.realIndexes[0].rowCount, 600u);
    std::vector<std::string> names;
    for (const LogicalIndex& li : def.indexes) {
      names.push_back(li.name);
      EXPECT_EQ(li.cascadeUpdates, 4);
      EXPECT_EQ(li.cascadeDeletes, 4);
      EXPECT_EQ(li.relIndex, -1);
      EXPECT_EQ(li.type, li.name == "PrimaryKey" ? 1 : 0);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Amount", "Name", "PrimaryKey"}));
    // Entries in the order of the values: Amount descending, so the last row first.
    const std::vector<uint32_t> byAmount = leafOrder(impl, def.realIndexes[2]);
    ASSERT_EQ(byAmount.size(), 600u);
    std::vector<Value> first;
    auto cursor = t->scan();
    std::map<uint32_t, double> amounts;
    // Rows come back in insert order; match pointers through a scan of the same order.
    const std::vector<uint32_t> byId = leafOrder(impl, def.realIndexes[0]);
    size_t n = 0;
    while (cursor->next(first)) amounts[byId[n++]] = first[2].d;
    for (size_t i = 1; i < byAmount.size(); ++i) EXPECT_GE(amounts[byAmount[i - 1]], amounts[byAmount[i]]);
  }
}

// A run of rows (insertRows) enters each index's entries after the rows, in key order,
// with the index's pages decoded once for the run: every index ends as the same rows
// added one at a time leave it, and a run that repeats a unique key leaves nothing.
TEST(JetIndexCreate, ARunOfRowsIndexesAsRowsAddedOneByOne) {
  test::TempDir dir;
  auto leafKeys = [](DatabaseImpl& db, const RealIndex& ri) {
    std::vector<std::vector<uint8_t>> keys;
    uint32_t page = ri.firstPage;
    for (int depth = 0; depth < 16; ++depth) {
      auto p = readIndexPage(db.pager().read(page), db.pager().layout());
      if (!p || p->leaf) break;
      page = p->entries.empty() ? p->tail : nodeChild(p->entries.front());
    }
    while (page != 0) {
      auto p = readIndexPage(db.pager().read(page), db.pager().layout());
      if (!p) break;
      for (const auto& e : p->entries) keys.emplace_back(e.begin(), e.end() - 4);
      page = p->next;
    }
    return keys;
  };
  std::vector<std::vector<Value>> rows;
  for (int i = 0; i < 3000; ++i) {
    const int id = (i * 7919) % 3000 + 1;  // every id once, out of order
    std::vector<Value> r = row(id, "Name " + std::to_string(id % 97), (id % 13) * 1.5);
    if (id % 11 == 0) r[1] = Value::null();
    if (id % 17 == 0) r[2] = Value::null();
    rows.push_back(r);
  }
  auto make = [&](const std::string& path, bool inRuns) {
    auto db = createDatabase(path, Format::kJet4);
    IndexDef amount = index("Amount", {{"Amount", false}});
    amount.ignoreNulls = true;
    Table& t = db->createIndexedTable(
        "People", kColumns, {index("PrimaryKey", {{"Id", true}}, true), index("Name", {{"Name", true}}), amount});
    if (inRuns) {
      for (size_t at = 0; at < rows.size(); at += 700) {
        std::vector<Value> run;
        for (size_t k = at; k < std::min(rows.size(), at + 700); ++k)
          run.insert(run.end(), rows[k].begin(), rows[k].end());
        t.insertRows(run);
      }
      // A run whose last row repeats the first's key: refused whole.
      std::vector<Value> bad;
      for (int id : {5001, 5002, 5001}) {
        auto r = row(id, "x", 1);
        bad.insert(bad.end(), r.begin(), r.end());
      }
      EXPECT_THROW(t.insertRows(bad), DbError);
    } else {
      for (const auto& r : rows) t.insert(r);
    }
    EXPECT_EQ(t.rowCount(), 3000);
    db->close();
    EXPECT_EQ(joined(checkDatabase(path)), "") << path;
  };
  make(dir.file("runs.mdb"), true);
  make(dir.file("single.mdb"), false);
  auto runs = openDatabase(dir.file("runs.mdb"));
  auto single = openDatabase(dir.file("single.mdb"));
  auto& a = dynamic_cast<DatabaseImpl&>(*runs);
  auto& b = dynamic_cast<DatabaseImpl&>(*single);
  const TableDef& da = a.findTable("People", true)->def();
  const TableDef& db = b.findTable("People", true)->def();
  ASSERT_EQ(da.realIndexes.size(), 3u);
  for (size_t i = 0; i < da.realIndexes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(da.realIndexes[i].rowCount, db.realIndexes[i].rowCount);  // distinct keys
    std::vector<std::vector<uint8_t>> keys = leafKeys(a, da.realIndexes[i]);
    EXPECT_EQ(keys, leafKeys(b, db.realIndexes[i]));
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  }
  EXPECT_EQ(leafKeys(a, da.realIndexes[0]).size(), 3000u);
  EXPECT_EQ(leafKeys(a, da.realIndexes[2]).size(), 3000u - 3000u / 17);  // Null amounts stay out
}

TEST(JetIndexCreate, IndexPagesAreLaidOutAsAccessLaysThemOut) {
  test::TempDir dir;
  const std::string path = dir.file("pages.mdb");
  {
    auto db = createDatabase(path, Format::kJet4);
    Table& t = db->createIndexedTable("T", kColumns, {index("PrimaryKey", {{"Id", true}}, true)});
    t.insert(row(1, "a", 1));
    t.insert(row(2, "b", 2));
    auto& impl = dynamic_cast<DatabaseImpl&>(*db);
    // A small root leaf holds its entries whole, though they share their first bytes.
    const uint8_t* leaf = impl.pager().read(impl.findTable("T", true)->def().realIndexes[0].firstPage);
    EXPECT_EQ(leaf[0], kPageIndexLeaf);
    EXPECT_EQ(leaf[0x18] | leaf[0x19], 0);
    std::vector<Value> many;
    for (int i = 3; i <= 3000; ++i) {
      auto r = row(i, "x", i);
      many.insert(many.end(), r.begin(), r.end());
    }
    t.insertRows(many);
    db->close();
  }
  auto db = openDatabase(path);
  auto& impl = dynamic_cast<DatabaseImpl&>(*db);
  Pager& pager = impl.pager();
  int nodes = 0, leaves = 0;
  for (uint32_t p = 1; p < pager.pageCount(); ++p) {
    const uint8_t* b = pager.read(p);
    if (b[0] == kPageIndexNode) {
      ++nodes;
      EXPECT_EQ(b[0x1A], 1) << "node page " << p;
      EXPECT_EQ(b[0x18] | b[0x19], 0) << "node page " << p;
    } else if (b[0] == kPageIndexLeaf) {
      ++leaves;
      auto page = readIndexPage(b, pager.layout());
      ASSERT_TRUE(page.has_value());
      size_t whole = 0;
      for (const auto& e : page->entries) whole += e.size();
      const bool prefixed = (b[0x18] | b[0x19]) != 0;
      EXPECT_EQ(prefixed, whole > pager.pageSize() - 0x1E0) << "leaf page " << p;
    }
  }
  EXPECT_GE(nodes, 1);
  EXPECT_GE(leaves, 2);
  EXPECT_EQ(joined(checkDatabase(path)), "");
}

TEST(JetIndexCreate, AnIndexAddedLaterEntersEveryRowOrNothing) {
  test::TempDir dir;
  const std::string path = dir.file("later.accdb");
  {
    auto db = createDatabase(path, Format::kAce12);
    Table& t = db->createTable("T", kColumns);
    for (int i = 1; i <= 300; ++i) t.insert(row(i, i % 7 == 0 ? "seven" : "n" + std::to_string(i), i));
    db->createIndex("T", index("ById", {{"Id", true}}, true));
    try {
      db->createIndex("T", index("ByName", {{"Name", true}}, false, true));
      ADD_FAILURE() << "a unique index went onto repeated names";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find("Row 14"), std::string::npos) << e.what();
    }
    EXPECT_THROW(db->createIndex("T", index("byid", {{"Amount", true}})), DbError);  // the name is taken
    EXPECT_THROW(db->createIndex("T", index("Two", {{"Amount", true}}, true)), DbError) << "a second primary key";
    db->createIndex("T", index("ByName", {{"Name", true}, {"Amount", false}}));
    EXPECT_THROW(t.insert(row(5, "again", 0)), DbError);
    t.insert(row(301, "seven", 301));
    db->close();
  }
  EXPECT_EQ(joined(checkDatabase(path)), "");
  auto db = openDatabase(path);
  auto* t = dynamic_cast<DatabaseImpl&>(*db).findTable("T", true);
  ASSERT_EQ(t->def().realIndexes.size(), 2u);
  EXPECT_EQ(t->def().realIndexes[0].rowCount, 301u);
  EXPECT_EQ(t->rowCount(), 301);
}

TEST(JetIndexCreate, DecimalAndGuidKeysSortAsTheirValues) {
  const std::vector<std::string> decimals = {"-12345.678", "-2", "-0.5", "0", "0.001", "1", "99.99", "123456789012.5"};
  for (Format format : {Format::kJet4, Format::kAce12}) {
    for (bool ascending : {true, false}) {
      test::TempDir dir;
      const std::string path = dir.file(format == Format::kJet4 ? "d.mdb" : "d.accdb");
      ColumnDef dec = column("D", ColumnType::kNumeric);
      dec.precision = 20;
      dec.scale = 4;
      std::vector<ColumnDef> cols = {dec, column("G", ColumnType::kGuid)};
      {
        auto db = createDatabase(path, format);
        Table& t = db->createIndexedTable(
            "T", cols, {index("D", {{"D", ascending}}, false, true), index("G", {{"G", ascending}})});
        std::vector<std::string> order = decimals;
        std::rotate(order.begin(), order.begin() + 3, order.end());  // not in order
        for (size_t i = 0; i < order.size(); ++i) {
          std::string guid(16, '\0');
          guid[0] = static_cast<char>(i * 29 % 256);
          guid[15] = static_cast<char>(i);
          t.insert(std::vector<Value>{Value::decimal(order[i]), Value::guid(guid)});
        }
        EXPECT_THROW(t.insert(std::vector<Value>{Value::decimal("1.0000"), Value::guid(std::string(16, 'x'))}),
                     DbError);
        db->close();
      }
      EXPECT_EQ(joined(checkDatabase(path)), "") << path;
      auto db = openDatabase(path);
      auto& impl = dynamic_cast<DatabaseImpl&>(*db);
      auto* t = impl.findTable("T", true);
      EXPECT_EQ(leafOrder(impl, t->def().realIndexes[1]).size(), decimals.size());
      // The rows' pointers ascend in the order a scan returns them.
      const std::vector<uint32_t> decimalOrder = leafOrder(impl, t->def().realIndexes[0]);
      ASSERT_EQ(decimalOrder.size(), decimals.size());
      std::vector<uint32_t> pointers = decimalOrder;
      std::sort(pointers.begin(), pointers.end());
      std::map<uint32_t, std::string> byPointer;
      std::vector<Value> r;
      auto cursor = t->scan();
      for (size_t k = 0; cursor->next(r); ++k) byPointer[pointers.at(k)] = r[0].s;
      std::vector<std::string> sorted;
      for (uint32_t p : decimalOrder) sorted.push_back(byPointer[p]);
      std::vector<double> numbers;
      for (const std::string& s : sorted) numbers.push_back(std::stod(s));
      const bool jet4Descending = format == Format::kJet4 && !ascending;
      if (jet4Descending) {
        // Jet 4 sorts descending Decimals with the negatives first (as Access 2000-2003 did).
        EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.begin() + 3, std::greater<>()));
        EXPECT_TRUE(std::all_of(numbers.begin(), numbers.begin() + 3, [](double d) { return d < 0; }));
        EXPECT_TRUE(std::is_sorted(numbers.begin() + 3, numbers.end(), std::greater<>()));
      } else if (ascending) {
        EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end())) << path;
      } else {
        EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end(), std::greater<>())) << path;
      }
    }
  }
}

TEST(JetIndexCreate, AnAccessMadeTableIsNotRewritten) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const std::string path = dir.file("access.mdb");
  std::filesystem::copy_file(test::testdataDir() + "/access/jackcess/V2003/testV2003.mdb", path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::string before = test::fileBytes(path);
  auto db = openDatabase(path);
  std::string table;
  for (const CatalogEntry& e : db->catalog())
    if (e.kind == ObjectKind::kUserTable) table = e.name;
  ASSERT_FALSE(table.empty());
  try {
    db->createIndex(table, index("Added", {{db->table(table)->columns()[0].name, true}}));
    ADD_FAILURE() << "an index was added to an Access-made table";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("does not write"), std::string::npos) << e.what();
  }
  db->close();
  EXPECT_EQ(test::fileBytes(path), before);
}

}  // namespace
}  // namespace qv::jet
