// Index B-trees and their keys: the text keys of both General sort orders against the
// keys Access itself stored, the tree under many inserts and removals, and databases
// whose sort order we cannot encode.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/index_key.h"
#include "db/jet/storage/index_tree.h"
#include "db/jet/reader_oracle.h"
#include "db/jet/storage/row_codec.h"
#include "db/jet/sid_places.h"
#include "db/jet/collation/sort_order.h"
#include "db/jet/base/text.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

// Every leaf entry of an index, in tree order, and the number of levels. Checks the
// sibling links on the way: leaves form one chain, nodes one chain per parent.
std::vector<IndexEntryBytes> allEntries(Pager& pager, uint32_t root, int* levels) {
  std::vector<IndexEntryBytes> out;
  std::vector<std::vector<uint32_t>> level{{root}};  // pages grouped by parent
  *levels = 0;
  while (!level.empty()) {
    ++*levels;
    std::vector<std::vector<uint32_t>> below;
    std::vector<uint32_t> chain;
    bool leaves = false;
    for (const auto& group : level) {
      for (size_t k = 0; k < group.size(); ++k) {
        auto p = readIndexPage(pager.read(group[k]), pager.layout());
        if (!p) throw DbError(kErrFormat, "unreadable index page");
        leaves = p->leaf;
        chain.push_back(group[k]);
        if (!p->leaf && *levels > 1) {
          EXPECT_EQ(p->prev, k == 0 ? 0 : group[k - 1]) << "node " << group[k];
          EXPECT_EQ(p->next, k + 1 == group.size() ? 0 : group[k + 1]) << "node " << group[k];
        }
        if (p->leaf) {
          out.insert(out.end(), p->entries.begin(), p->entries.end());
          continue;
        }
        below.emplace_back();
        for (const auto& e : p->entries) below.back().push_back(nodeChild(e));
        if (p->tail) below.back().push_back(p->tail);
      }
    }
    if (leaves && *levels > 1)
      for (size_t k = 0; k < chain.size(); ++k) {
        auto p = readIndexPage(pager.read(chain[k]), pager.layout());
        EXPECT_EQ(p->prev, k == 0 ? 0 : chain[k - 1]) << "leaf " << chain[k];
        EXPECT_EQ(p->next, k + 1 == chain.size() ? 0 : chain[k + 1]) << "leaf " << chain[k];
      }
    level = below;
  }
  return out;
}

DatabaseImpl& impl(Database& db) { return dynamic_cast<DatabaseImpl&>(db); }

// How the catalogue keys of one database compare with ours.
struct CatalogueKeys {
  size_t compared = 0;  // keys we computed and found stored
  size_t missing = 0;   // keys we computed and did not find
  size_t unknown = 0;   // names holding a letter the sort order places where we do not know
  int sortVersion = -1;
  std::vector<std::string> names;  // of the rows compared
};

// The keys Access wrote for the catalogue (MSysObjects: Id and ParentId + Name) against
// the keys we compute from the catalogue rows.
CatalogueKeys compareCatalogueKeys(Database& db, const std::string& path) {
  CatalogueKeys out;
  DatabaseImpl& d = impl(db);
  TableImpl& objects = d.systemTable("MSysObjects");
  const TableDef& def = objects.def();
  EXPECT_FALSE(def.realIndexes.empty());
  std::vector<std::vector<Value>> rows;
  for (uint32_t page : objects.dataPages()) {
    const uint8_t* p = d.pager().read(page);
    for (uint32_t r = 0; r < get16(p, d.pager().layout().dataRowCountOffset); ++r) {
      std::span<const uint8_t> bytes;
      if (!liveRow(d.pager(), p, r, &bytes, path)) continue;
      rows.emplace_back();
      decodeRow(d.pager(), def, bytes, rows.back(), path);
    }
  }
  for (const RealIndex& ri : def.realIndexes) {
    // Keys only: an entry keeps the pointer of where its row was first stored.
    int levels = 0;
    std::multiset<IndexEntryBytes> stored;
    for (const IndexEntryBytes& e : allEntries(d.pager(), ri.firstPage, &levels))
      stored.emplace(e.begin(), e.end() - 4);
    for (const auto& row : rows) {
      IndexEntryBytes key;
      try {
        key = indexKey(def, ri, row);
      } catch (const UnencodableText&) {
        ++out.unknown;
        continue;
      }
      auto it = stored.find(key);
      EXPECT_TRUE(it != stored.end()) << "row " << row[2].s;
      if (it == stored.end()) {
        ++out.missing;
        continue;
      }
      stored.erase(it);
      ++out.compared;
      out.names.push_back(row[2].s);
    }
  }
  out.sortVersion = def.columns[2].sortVersion;
  return out;
}

TEST(JetIndex, CatalogueKeysMatchTheKeysAccessWrote) {
  QV_REQUIRE_TESTDATA();
  std::set<int> versions;
  size_t compared = 0, files = 0;
  for (const std::string& path : test::corpusFiles("access", {".mdb", ".accdb"})) {
    std::unique_ptr<Database> db;
    try {
      OpenOptions o;
      o.readOnly = true;
      db = openDatabase(path, o);
    } catch (const DbError&) {
      continue;  // encrypted or protected
    }
    if (db->format() == Format::kJet3) continue;
    SCOPED_TRACE(path);
    CatalogueKeys keys = compareCatalogueKeys(*db, path);
    EXPECT_EQ(keys.unknown, 0u);
    compared += keys.compared;
    versions.insert(keys.sortVersion);
    ++files;
  }
  EXPECT_GT(files, 80u);
  EXPECT_GT(compared, 8000u);
  EXPECT_EQ(versions, (std::set<int>{0, 1}));  // both General orders were compared
}

// Databases Access made in other languages' orders: Turkish (whose "I" sorts before
// "i", between H and I) and Chinese (PRC). Every catalogue key equals Access's, and so
// does every key of their tables (the check): the keys of those orders, made from
// legacy General and the Windows sorting weight table's exceptions, are Access's.
TEST(JetIndex, KeysOfOtherLanguagesMatchTheKeysAccessWrote) {
  QV_REQUIRE_TESTDATA();
  struct Case {
    const char* file;
    const char* password;
    uint16_t language;
  };
  for (const Case& c : {Case{"access/ucanaccess/example/password-protected.accdb", "alligator3", 0x041F},
                        Case{"access/northwind-ran0dom0host/northwind.accdb", "12345678", 0x0804}}) {
    std::string path = test::testdataDir() + "/" + c.file;
    SCOPED_TRACE(path);
    OpenOptions o;
    o.password = c.password;
    o.readOnly = true;
    auto db = openDatabase(path, o);
    EXPECT_EQ(impl(*db).systemTable("MSysObjects").def().columns[2].sortLanguage, c.language);
    CatalogueKeys keys = compareCatalogueKeys(*db, path);
    EXPECT_GT(keys.compared, 50u);
    EXPECT_EQ(keys.missing, 0u);
    EXPECT_EQ(keys.unknown, 0u);
    // Names with "I" were compared: its own weight in Turkish, General's in Chinese.
    EXPECT_TRUE(std::any_of(keys.names.begin(), keys.names.end(),
                            [](const std::string& n) { return n.find('I') != std::string::npos; }));
    db.reset();
    EXPECT_EQ(checkDatabase(path, o), std::vector<std::string>{});
  }
}

// Text keys of both orders for texts that exercise each part of a key: accents (extra
// bytes), characters that sort as nothing (unprintables), case, trailing blanks,
// descending order.
TEST(JetIndex, TextKeysFollowTheGeneralOrders) {
  const TextKeyEncoder* legacy = textKeyEncoder(0x0409, 0);
  const TextKeyEncoder* current = textKeyEncoder(0x0409, 1);
  ASSERT_NE(legacy, nullptr);
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(textKeyEncoder(0x0401, 0), nullptr);
  EXPECT_EQ(textKeyEncoder(0x041F, 1), nullptr);
  EXPECT_EQ(textKeyEncoder(0x0409, 2), nullptr);
  auto key = [](const TextKeyEncoder* e, const std::u16string& s, bool asc = true) {
    std::vector<uint8_t> out;
    e->append(s, asc, out);
    return out;
  };
  for (const TextKeyEncoder* e : {legacy, current}) {
    SCOPED_TRACE(e->name());
    // Case and trailing blanks do not count; accents and inner hyphens do, after the letters.
    EXPECT_EQ(key(e, u"Tables"), key(e, u"TABLES  "));
    EXPECT_NE(key(e, u"Resume"), key(e, u"Résumé"));
    EXPECT_LT(key(e, u"Resume"), key(e, u"Résumé"));
    EXPECT_LT(key(e, u"Résumé"), key(e, u"Resumes"));
    EXPECT_LT(key(e, u"coop "), key(e, u"co-op"));  // same letters: the hyphen counts only after them
    EXPECT_LT(key(e, u"co-op"), key(e, u"coopers"));
    EXPECT_LT(key(e, u"abc"), key(e, u"abd"));
    EXPECT_LT(key(e, u"\u00C5ngstr\u00F6m"), key(e, u"Zebra")) << "Å sorts with A in the General order";
    std::vector<uint8_t> up = key(e, u"Tabelle 7"), down = key(e, u"Tabelle 7", false);
    ASSERT_EQ(up.size() + 1, down.size());
    for (size_t i = 0; i + 1 < up.size(); ++i) EXPECT_EQ(static_cast<uint8_t>(~up[i]), down[i]);
    EXPECT_EQ(down.back(), 0);
    // Surrogate pairs and long texts (cut at 255 units) encode without trouble.
    EXPECT_FALSE(key(e, u"a\U0001F600b").empty());
    EXPECT_EQ(key(e, std::u16string(300, u'x')), key(e, std::u16string(255, u'x')));
  }
  // Known keys Access wrote (the catalogue of a Jet 4 database): "Tables", "MSysDb".
  EXPECT_EQ(key(legacy, u"Tables"), (std::vector<uint8_t>{0x6d, 0x4a, 0x4c, 0x5e, 0x51, 0x6b, 0x01, 0x00}));
}

// The tree under thousands of long entries in random order: splits of leaves, nodes and
// the root; then removal of everything in another order.
TEST(JetIndex, TreeStaysOrderedThroughSplitsAndRemovals) {
  test::TempDir dir;
  auto db = createDatabase(dir.file("tree.accdb"), Format::kAce12);
  DatabaseImpl& d = impl(*db);
  Pager& pager = d.pager();
  uint32_t root = d.allocatePage();
  std::vector<uint8_t> empty(pager.pageSize());
  ASSERT_TRUE(writeIndexPage(empty.data(), pager.layout(), 2, IndexPage{}));
  std::memcpy(pager.overwrite(root), empty.data(), empty.size());
  std::set<uint32_t> released;
  IndexTree tree(
      pager, 2, root, "test", [&] { return d.allocatePage(); },
      [&](uint32_t p) {
        released.insert(p);
        d.releasePage(p);
      });
  std::mt19937 rng(7);
  std::vector<IndexEntryBytes> entries;
  for (uint32_t i = 0; i < 6000; ++i) {
    IndexEntryBytes e{0x7F};
    size_t len = 20 + rng() % 200;
    for (size_t k = 0; k < len; ++k) e.push_back(static_cast<uint8_t>('A' + rng() % 4));
    for (int k = 3; k >= 0; --k) e.push_back(static_cast<uint8_t>((i + 1000) >> (8 * k)));
    entries.push_back(std::move(e));
  }
  std::set<IndexEntryBytes> model;
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_TRUE(tree.insert(entries[i]));
    model.insert(entries[i]);
    if (i % 1500 == 0 || i + 1 == entries.size()) {
      int levels = 0;
      std::vector<IndexEntryBytes> got = allEntries(pager, root, &levels);
      ASSERT_EQ(got, std::vector<IndexEntryBytes>(model.begin(), model.end())) << "after " << i + 1;
    }
  }
  int levels = 0;
  allEntries(pager, root, &levels);
  EXPECT_GE(levels, 3);  // leaves, nodes and a root above them
  EXPECT_THROW(tree.insert(entries[5]), DbError);
  // The same key for another row: a second entry (not a new key), refused where unique.
  IndexEntryBytes twin = entries[5];
  twin.back() = static_cast<uint8_t>(twin.back() ^ 0x80);
  EXPECT_THROW(tree.insert(twin, true), DbError);
  EXPECT_FALSE(tree.insert(twin));
  bool gone = true;
  EXPECT_TRUE(tree.remove(twin, &gone));
  EXPECT_FALSE(gone);
  for (size_t i = 0; i < entries.size(); i += 97) EXPECT_TRUE(tree.contains(entries[i]));
  std::shuffle(entries.begin(), entries.end(), rng);
  for (size_t i = 0; i < entries.size(); ++i) {
    ASSERT_TRUE(tree.remove(entries[i]));
    model.erase(entries[i]);
    if (i % 1000 == 0) {
      std::vector<IndexEntryBytes> got = allEntries(pager, root, &levels);
      ASSERT_EQ(got, std::vector<IndexEntryBytes>(model.begin(), model.end())) << "after removing " << i + 1;
      EXPECT_FALSE(tree.contains(entries[i]));
    }
  }
  EXPECT_FALSE(tree.remove(entries[0]));
  auto last = readIndexPage(pager.read(root), pager.layout());
  ASSERT_TRUE(last);
  EXPECT_TRUE(last->leaf);
  EXPECT_TRUE(last->entries.empty());
  EXPECT_GT(released.size(), 100u);  // emptied pages went back to the file
  db->close();
}

// A database in a sort order we have no weights for refuses every change that would
// touch an index, names the file and the order, and stays byte for byte as it was.
TEST(JetIndex, UnknownSortOrderRefusesWritesWithoutHarm) {
  test::TempDir dir;
  std::string path = dir.file("arabic.mdb");
  {
    auto db = createDatabase(path, Format::kJet4);
    db->createTable("Alt", {column("A", ColumnType::kLong)});
    db->close();
  }
  {
    // Rewrite page 0 as if the database had been made with another sort order.
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::vector<uint8_t> page(4096);
    f.read(reinterpret_cast<char*>(page.data()), 4096);
    DatabaseHeader h = decodeHeader(page, 4096 * 20, path);
    h.sortLanguage = 0x0401;
    std::vector<uint8_t> out = encodeHeader(h);
    f.seekp(0);
    f.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    // ... and its catalogue's text columns with it (each column names its sort order).
    std::vector<uint8_t> tdef(4096);
    f.seekg(2 * 4096);
    f.read(reinterpret_cast<char*>(tdef.data()), 4096);
    uint32_t columns = get16(tdef.data(), 45), reals = get32(tdef.data(), 51);
    for (uint32_t i = 0; i < columns; ++i) {
      size_t at = 63 + 12 * reals + 25 * i;
      if (tdef[at] == 0x0A || tdef[at] == 0x0C) put16(tdef.data(), at + 11, 0x0401);
    }
    f.seekp(2 * 4096);
    f.write(reinterpret_cast<const char*>(tdef.data()), 4096);
    f.close();
    // The stored SIDs follow the key the new page 0 gives, as in a database made so.
    test::remaskSids(path, SidMask::fromStoredPage0(page));
  }
  auto contents = [&] { return test::fileBytes(path); };
  const std::string original = contents();
  {
    auto db = openDatabase(path, {});
    try {
      db->createTable("Neu", {column("A", ColumnType::kLong)});
      FAIL() << "created a table";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("language 0x0401"), std::string::npos) << e.what();
    }
    EXPECT_THROW(db->dropTable("Alt"), DbError);
    EXPECT_EQ(contents(), original);
    // Rows of an unindexed table still go in; a table with a text index in that order
    // refuses them.
    db->table("Alt")->insert(std::vector<Value>{Value::integer(1)});
    Table* objects = db->table("MSysObjects");
    ASSERT_NE(objects, nullptr);
    std::vector<Value> row(objects->columns().size());
    row[0] = Value::integer(99);
    row[2] = Value::text("x");
    try {
      objects->insert(row);
      FAIL() << "inserted into an index we cannot encode";
    } catch (const DbError& e) {
      EXPECT_NE(std::string(e.what()).find("sort order language 0x0401"), std::string::npos) << e.what();
    }
    db->close();
  }
  auto db = openDatabase(path, {});
  EXPECT_EQ(db->table("Alt")->rowCount(), 1);
  EXPECT_EQ(db->table("Neu"), nullptr);
  EXPECT_EQ(checkDatabase(path), std::vector<std::string>{});
}

// Rows added to indexed tables Access made: every index takes the new entries where
// Access would (the check compares each key and finds each by lookup), both readers read
// the rows, and a row that would repeat a unique key is refused without a trace.
TEST(JetIndex, RowsAddedToAccessIndexedTablesKeepEveryIndex) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  test::TempDir dir;
  int tables = 0, refused = 0;
  for (const char* name :
       {"access/jackcess/V2003/indexTestV2003.mdb", "access/jackcess/V2010/indexTestV2010.accdb",
        "access/jackcess/V2003/testV2003.mdb", "access/jackcess/V2007/testIndexPropertiesV2007.accdb"}) {
    std::string path = dir.file(std::string("copy") + (std::string(name).ends_with(".mdb") ? ".mdb" : ".accdb"));
    std::filesystem::remove(path);
    test::copyFile(test::testdataDir() + "/" + name, path);
    SCOPED_TRACE(name);
    std::vector<std::string> changed;
    {
      auto db = openDatabase(path, {});
      for (const CatalogEntry& e : db->catalog()) {
        if (e.kind != ObjectKind::kUserTable) continue;
        auto& t = dynamic_cast<TableImpl&>(*db->table(e.name));
        if (t.def().realIndexes.empty() || t.indexProblem()) continue;
        bool plain = std::all_of(t.columns().begin(), t.columns().end(), [](const ColumnDef& c) {
          return static_cast<uint8_t>(c.type) <= 0x10 && c.type != ColumnType::kNumeric && c.type != ColumnType::kGuid;
        });
        if (!plain) continue;
        std::vector<std::vector<Value>> rows;
        auto cursor = t.scan();
        std::vector<Value> row;
        while (cursor->next(row) && rows.size() < 50) rows.push_back(row);
        int k = 0;
        for (std::vector<Value> r : rows) {
          ++k;
          for (size_t c = 0; c < r.size(); ++c) {
            const ColumnDef& col = t.columns()[c];
            if (r[c].isNull()) continue;
            switch (col.type) {
              case ColumnType::kLong:
                r[c] = col.autoIncrement ? Value::null() : Value::integer(r[c].i / 2 + 500000 + k);
                break;
              case ColumnType::kInteger: r[c] = Value::integer(r[c].i / 2 + 9000 + k); break;
              case ColumnType::kByte: r[c] = Value::integer((r[c].i + k) % 256); break;
              case ColumnType::kDouble:
              case ColumnType::kSingle:
              case ColumnType::kDateTime:
                r[c] = Value::real(r[c].d + 0.5 + k);
                r[c].kind = col.type == ColumnType::kDateTime ? Value::Kind::kDateTime : Value::Kind::kDouble;
                break;
              case ColumnType::kText:
              case ColumnType::kMemo:
                r[c] =
                    Value::text((std::to_string(k) + "ä " + r[c].s)
                                    .substr(0, col.type == ColumnType::kText ? static_cast<size_t>(col.length) : 1000));
                break;
              default: break;
            }
          }
          int64_t before = t.rowCount();
          try {
            t.insert(r);
          } catch (const DbError& err) {
            EXPECT_NE(std::string(err.what()).find("duplicate values"), std::string::npos) << err.what();
            EXPECT_EQ(t.rowCount(), before);
            ++refused;
          }
        }
        // The same row again repeats every key: unique indexes refuse it.
        bool hasUnique = std::any_of(t.def().realIndexes.begin(), t.def().realIndexes.end(),
                                     [](const RealIndex& ri) { return ri.flags & 0x01; });
        if (hasUnique && !rows.empty()) {
          int64_t before = t.rowCount();
          auto last = t.scan();
          std::vector<Value> copy, r2;
          while (last->next(r2)) copy = r2;
          for (size_t c = 0; c < copy.size(); ++c)
            if (t.columns()[c].autoIncrement) copy[c] = Value::null();
          bool autoKey =
              std::any_of(t.columns().begin(), t.columns().end(), [](const ColumnDef& c) { return c.autoIncrement; });
          if (!autoKey) {
            EXPECT_THROW(t.insert(copy), DbError) << e.name;
            EXPECT_EQ(t.rowCount(), before);
          }
        }
        changed.push_back(e.name);
        ++tables;
      }
      db->close();
    }
    EXPECT_EQ(checkDatabase(path), std::vector<std::string>{});
    auto db = openDatabase(path, {});
    EXPECT_EQ(test::compareWithMdbReader(path, *db, changed), "");
  }
  EXPECT_GE(tables, 4);
  EXPECT_LT(refused, 20);
}

}  // namespace
}  // namespace qv::jet
