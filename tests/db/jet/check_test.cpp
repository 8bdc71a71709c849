// The consistency check: quiet on what we write and on Access's own databases, and it
// finds damage of each kind it looks for.

#include <gtest/gtest.h>

#include <fstream>

#include "db/io/error.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/database_impl.h"
#include "db/jet/file_patch.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

using test::joinedLines;
using test::patchFile;

TEST(JetCheck, OurDatabasesAreConsistentAfterEveryChange) {
  test::TempDir dir;
  for (Format f : {Format::kJet4, Format::kAce12}) {
    std::string path = dir.file(f == Format::kJet4 ? "c.mdb" : "c.accdb");
    auto db = createDatabase(path, f);
    EXPECT_EQ(joinedLines(checkDatabase(path)), "");
    for (int k = 0; k < 5; ++k) {
      Table& t = db->createTable(
          "T" + std::to_string(k),
          {column("A", ColumnType::kLong), column("M", ColumnType::kMemo), column("O", ColumnType::kOle)});
      for (int i = 0; i < 700; ++i)
        t.insert(std::vector<Value>{Value::integer(i),
                                    Value::text(std::string(static_cast<size_t>(i * 13 % 9000), 'x')),
                                    Value::binary(std::string(static_cast<size_t>(i % 80), 'y'))});
    }
    db->dropTable("T2");
    EXPECT_EQ(joinedLines(checkDatabase(path)), "");
    db->close();
  }
}

TEST(JetCheck, AccessMadeDatabasesPass) {
  QV_REQUIRE_TESTDATA();
  for (const char* name : {"access/jackcess-created/empty-v2000.mdb", "access/jackcess-created/empty-v2010.accdb",
                           "access/jackcess/V2000/bigIndexTestV2000.mdb", "access/jackcess/V2000/testV2000.mdb",
                           "access/jackcess/V2003/indexTestV2003.mdb"}) {
    std::string path = test::testdataDir() + "/" + name;
    EXPECT_EQ(joinedLines(checkDatabase(path)), "") << name;
  }
  // GUID keys, ascending and descending, as Access writes them; the file's one finding is
  // a row count Access left one short.
  const std::string guids = test::testdataDir() + "/access/jackcess/old-test-data/testIndexCodes.mdb";
  EXPECT_EQ(joinedLines(checkDatabase(guids)), "table Table1 holds 275 rows, but its definition counts 274\n");
}

TEST(JetCheck, FindsWrongCountsMissingPermissionsAndBrokenChains) {
  test::TempDir dir;
  std::string path = dir.file("d.mdb");
  {
    auto db = createDatabase(path, Format::kJet4);
    Table& t = db->createTable("T", {column("A", ColumnType::kLong), column("M", ColumnType::kMemo)});
    for (int i = 0; i < 20; ++i) t.insert(std::vector<Value>{Value::integer(i), Value::text(std::string(9000, 'z'))});
    db->close();
  }
  // The table's definition page is named by its catalogue Id; its row count is at 16.
  auto db = openDatabase(path, {});
  int32_t id = 0;
  for (const CatalogEntry& e : db->catalog())
    if (e.name == "T") id = e.objectId;
  db->close();
  ASSERT_GT(id, 2);
  const std::string original = test::fileBytes(path);
  patchFile(path, static_cast<size_t>(id) * 4096 + 16, std::string("\x15\x00\x00\x00", 4));
  EXPECT_NE(joinedLines(checkDatabase(path)).find("holds 20 rows, but its definition counts 21"), std::string::npos);

  // A long-value page wiped: the rows that use it cannot be read.
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(original.data(), static_cast<std::streamsize>(original.size()));
  }
  size_t lval = original.find("LVAL");
  ASSERT_NE(lval, std::string::npos);
  patchFile(path, lval / 4096 * 4096, std::string(4096, '\0'));
  EXPECT_NE(joinedLines(checkDatabase(path)).find("table T"), std::string::npos);
}

// Damage in the catalogue's indexes: a key that does not say what its row holds, an
// entry for a row that does not exist (and so a row without an entry), a broken chain.
TEST(JetCheck, FindsDamagedIndexEntries) {
  test::TempDir dir;
  std::string path = dir.file("i.mdb");
  uint32_t nameRoot = 0, idRoot = 0;
  {
    auto db = createDatabase(path, Format::kJet4);
    for (int i = 0; i < 200; ++i)
      db->createTable(std::to_string(i * 7919 % 1000) + " Tabelle mit einem langen Namen",
                      {column("A", ColumnType::kLong)});
    auto& objects = dynamic_cast<TableImpl&>(*db->table("MSysObjects"));
    ASSERT_EQ(objects.def().realIndexes.size(), 2u);
    nameRoot = objects.def().realIndexes[0].firstPage;  // (ParentId, Name): a tree by now
    idRoot = objects.def().realIndexes[1].firstPage;    // Id: one leaf
    db->close();
  }
  EXPECT_EQ(joinedLines(checkDatabase(path)), "");
  const std::string original = test::fileBytes(path);
  auto restore = [&] {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(original.data(), static_cast<std::streamsize>(original.size()));
  };
  auto byteAt = [&](size_t at) { return static_cast<uint8_t>(original[at]); };
  // The first Id entry: 7F, four key bytes, then the row pointer; a key byte changed.
  size_t first = static_cast<size_t>(idRoot) * 4096 + 0x1E0;
  ASSERT_EQ(byteAt(first), 0x7F);
  patchFile(path, first + 4, std::string(1, static_cast<char>(byteAt(first + 4) ^ 0x01)));
  std::string found = joinedLines(checkDatabase(path));
  EXPECT_NE(found.find("index Id: the key of page"), std::string::npos) << found;
  // Its row byte pointed elsewhere: no such row, and that row lacks its entry.
  restore();
  patchFile(path, first + 8, std::string(1, static_cast<char>(0xF0)));
  found = joinedLines(checkDatabase(path));
  EXPECT_NE(found.find("which is no row of the table"), std::string::npos) << found;
  EXPECT_NE(found.find("has no index entry"), std::string::npos) << found;
  // The root of (ParentId, Name) is a node; its first leaf's next link cut.
  restore();
  ASSERT_EQ(byteAt(static_cast<size_t>(nameRoot) * 4096), 0x03);
  size_t e = static_cast<size_t>(nameRoot) * 4096 + 0x1E0;
  size_t bit = 0;
  while (!((byteAt(static_cast<size_t>(nameRoot) * 4096 + 0x1B + bit / 8) >> (bit % 8)) & 1)) ++bit;
  size_t leaf = (static_cast<size_t>(byteAt(e + bit - 4)) << 24) | (static_cast<size_t>(byteAt(e + bit - 3)) << 16) |
                (static_cast<size_t>(byteAt(e + bit - 2)) << 8) | byteAt(e + bit - 1);
  ASSERT_EQ(byteAt(leaf * 4096), 0x04);
  patchFile(path, leaf * 4096 + 0x10, std::string(4, '\0'));
  found = joinedLines(checkDatabase(path));
  EXPECT_NE(found.find("leaf chain"), std::string::npos) << found;
  restore();
  EXPECT_EQ(joinedLines(checkDatabase(path)), "");
}

}  // namespace
}  // namespace qv::jet
