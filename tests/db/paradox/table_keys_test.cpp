// The keys of Paradox tables: every primary and secondary index of the corpus is read
// and checked against its table, and damaged, missing or foreign index files are left
// out with a message that names them.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "db/paradox/table_keys.h"
#include "db/paradox/table_reader.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::paradox {
namespace {

namespace fs = std::filesystem;

std::string corpus(const std::string& rel) { return test::testdataDir() + "/paradox/" + rel; }

void spit(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Copies a table's family (every file named like the table) into dir; returns the
// copied .db path.
std::string copyFamily(const std::string& db, const std::string& dir) {
  const fs::path from(db);
  std::string copied;
  for (const auto& e : fs::directory_iterator(from.parent_path())) {
    std::string stem = e.path().stem().string(), want = from.stem().string();
    if (stem.size() != want.size() || !std::equal(stem.begin(), stem.end(), want.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        }))
      continue;
    fs::copy_file(e.path(), fs::path(dir) / e.path().filename());
    fs::permissions(fs::path(dir) / e.path().filename(), fs::perms::owner_read | fs::perms::owner_write);
    if (e.path() == from) copied = (fs::path(dir) / e.path().filename()).string();
  }
  return copied;
}

bool mentions(const std::vector<std::string>& problems, const std::string& a, const std::string& b = "") {
  for (const std::string& p : problems)
    if (p.find(a) != std::string::npos && p.find(b) != std::string::npos) return true;
  return false;
}

TEST(TableKeys, EveryPrimaryIndexOfTheCorpusFitsItsTable) {
  QV_REQUIRE_TESTDATA();
  int checked = 0;
  for (const std::string& rel : test::corpusFiles("paradox", {".px"})) {
    const fs::path px(rel);
    std::string db;
    for (const auto& e : fs::directory_iterator(px.parent_path()))
      if (e.path().stem() == px.stem() && (e.path().extension() == ".DB" || e.path().extension() == ".db"))
        db = e.path().string();
    ASSERT_FALSE(db.empty()) << rel;
    TableReader table(db);
    const TableKeys keys = readTableKeys(db);
    EXPECT_EQ(keys.primaryKeyFields, table.header().keyFields) << db;
    EXPECT_TRUE(keys.problems.empty()) << db << ": " << (keys.problems.empty() ? "" : keys.problems[0]);
    ++checked;
  }
  EXPECT_GE(checked, 46);
}

TEST(TableKeys, SecondaryIndexesOfTheCorpusReadAsParadoxDefinedThem) {
  QV_REQUIRE_TESTDATA();
  // A single-field index named after its field, case-sensitive (.X06 on City).
  TableKeys k = readTableKeys(corpus("leonhad-paradoxdriver/db/CUSTOMER.DB"));
  ASSERT_EQ(k.indexes.size(), 1u);
  EXPECT_EQ(k.indexes[0].name, "City");
  ASSERT_EQ(k.indexes[0].fields.size(), 1u);
  EXPECT_EQ(k.indexes[0].fields[0].field, 5);
  EXPECT_FALSE(k.indexes[0].caseInsensitive);
  EXPECT_FALSE(k.indexes[0].unique);
  EXPECT_TRUE(k.indexes[0].maintained);

  // A named case-insensitive index (.XG0 "ste" on State).
  k = readTableKeys(corpus("leonhad-paradoxdriver/db/AREACODES.DB"));
  ASSERT_EQ(k.indexes.size(), 1u);
  EXPECT_EQ(k.indexes[0].name, "ste");
  EXPECT_EQ(k.indexes[0].fields[0].field, 1);
  EXPECT_TRUE(k.indexes[0].caseInsensitive);

  // Four named indexes, and a composite one of six fields in another table.
  k = readTableKeys(corpus("ademkocamaz-lazarus-paradox/Build/CARIKRT.DB"));
  ASSERT_EQ(k.indexes.size(), 4u);
  EXPECT_EQ(k.indexes[1].name, "NDXUNVAN");
  EXPECT_EQ(k.indexes[1].fields[0].field, 32);
  k = readTableKeys(corpus("MedilinkPS-Paradox-Reader/zakazky.db"));
  ASSERT_EQ(k.indexes.size(), 1u);
  std::vector<uint16_t> fields;
  for (const KeyField& f : k.indexes[0].fields) fields.push_back(f.field);
  EXPECT_EQ(fields, (std::vector<uint16_t>{1, 2, 3, 4, 6, 10}));

  // A descending index of a table without key, not kept up to date.
  k = readTableKeys(corpus("leonhad-paradoxdriver/joins/indexed.db"));
  ASSERT_EQ(k.indexes.size(), 1u);
  EXPECT_EQ(k.primaryKeyFields, 0);
  EXPECT_TRUE(k.indexes[0].fields[0].descending);
  EXPECT_FALSE(k.indexes[0].maintained);
  EXPECT_EQ(k.indexes[0].name, "Descending");
}

TEST(TableKeys, KeyedTablesWithoutTheirPrimaryIndexAreNamed) {
  QV_REQUIRE_TESTDATA();
  const TableKeys k = readTableKeys(corpus("ademkocamaz-lazarus-paradox/Build/FIRMA.DB"));
  EXPECT_EQ(k.primaryKeyFields, 0);
  EXPECT_TRUE(mentions(k.problems, "FIRMA.PX", "missing")) << (k.problems.empty() ? "" : k.problems[0]);
}

TEST(TableKeys, DamagedOrForeignPrimaryIndexesAreLeftOut) {
  QV_REQUIRE_TESTDATA();
  struct Case {
    const char* what;
    const char* table;
    std::function<void(const std::string& dir)> spoil;
    const char* expect;
  };
  const std::vector<Case> cases = {
      {"cut to its header", "leonhad-paradoxdriver/geog/County.DB",
       [](const std::string& dir) { fs::resize_file(dir + "/County.PX", 2048); }, "County.PX"},
      {"a key of another type", "leonhad-paradoxdriver/geog/County.DB",
       [](const std::string& dir) {
         fs::copy_file(corpus("leonhad-paradoxdriver/db/ORDERS.PX"), dir + "/County.PX",
                       fs::copy_options::overwrite_existing);
       },
       "another table"},
      {"a key of the same type but other records", "leonhad-paradoxdriver/geog/County.DB",
       [](const std::string& dir) {
         fs::copy_file(corpus("leonhad-paradoxdriver/db/GENERAL.PX"), dir + "/County.PX",
                       fs::copy_options::overwrite_existing);
       },
       "County.PX"},
      {"a block count changed", "leonhad-paradoxdriver/geog/County.DB",
       [](const std::string& dir) {
         std::string px = test::fileBytes(dir + "/County.PX");
         px[2048 + 6 + 4 + 3] = static_cast<char>(px[2048 + 6 + 4 + 3] ^ 0x01);  // first entry's count
         spit(dir + "/County.PX", px);
       },
       "records in data block"},
      {"its root out of the file", "leonhad-paradoxdriver/areas/ZIPCODES.DB",
       [](const std::string& dir) {
         std::string px = test::fileBytes(dir + "/ZIPCODES.PX");
         px[0x1E] = 0x40;
         spit(dir + "/ZIPCODES.PX", px);
       },
       "ZIPCODES.PX"},
      {"not an index at all", "leonhad-paradoxdriver/db/ORDERS.DB",
       [](const std::string& dir) { spit(dir + "/ORDERS.PX", "hello"); }, "ORDERS.PX"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string db = copyFamily(corpus(c.table), dir.path());
    c.spoil(dir.path());
    TableKeys k;
    ASSERT_NO_THROW(k = readTableKeys(db)) << c.what;
    EXPECT_EQ(k.primaryKeyFields, 0) << c.what;
    EXPECT_TRUE(mentions(k.problems, c.expect, "without its primary key"))
        << c.what << ": " << (k.problems.empty() ? "(no problem)" : k.problems[0]);
  }
}

TEST(TableKeys, DamagedOrIncompleteSecondaryIndexesAreLeftOutAlone) {
  QV_REQUIRE_TESTDATA();
  const std::string table = "leonhad-paradoxdriver/joins/C.DB";  // indexes .X02/.Y02 and .X03/.Y03
  struct Case {
    const char* what;
    std::function<void(const std::string& dir)> spoil;
    const char* expect;
  };
  const std::vector<Case> cases = {
      {"its tree file missing", [](const std::string& dir) { fs::remove(dir + "/C.Y02"); }, "C.X02"},
      {"its entries missing", [](const std::string& dir) { fs::remove(dir + "/C.X02"); }, "C.Y02"},
      {"another field named",
       [](const std::string& dir) {
         std::string x = test::fileBytes(dir + "/C.X02");
         const size_t at = x.find(std::string("Blk Num\0", 8)) + 8;  // the field numbers follow the names
         x[at] = 9;
         spit(dir + "/C.X02", x);
       },
       "C.X02"},
      {"an entry lost",
       [](const std::string& dir) {
         std::string x = test::fileBytes(dir + "/C.X02");
         x[2048 + 4] = static_cast<char>(x[2048 + 4] - 10);  // one record of 10 bytes fewer
         spit(dir + "/C.X02", x);
       },
       "C.X02"},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string db = copyFamily(corpus(table), dir.path());
    c.spoil(dir.path());
    const TableKeys k = readTableKeys(db);
    EXPECT_EQ(k.primaryKeyFields, 1) << c.what;
    ASSERT_EQ(k.indexes.size(), 1u) << c.what;
    EXPECT_EQ(k.indexes[0].name, "B") << c.what;
    EXPECT_TRUE(mentions(k.problems, c.expect, "without this index"))
        << c.what << ": " << (k.problems.empty() ? "(no problem)" : k.problems[0]);
  }
}

}  // namespace
}  // namespace qv::paradox
