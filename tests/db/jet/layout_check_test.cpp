// What only Access reads, in check: page 0's commit-byte table, where the first
// catalogue tables live, an .accdb's complex-column catalogue and the flags of user
// columns. Each is damaged in a copy of a good file and check must name it (and
// nothing else); Access's and the engine's own files pass; and a database whose
// catalogue is off still takes new tables soundly.

#include <gtest/gtest.h>

#include <fstream>

#include "db/jet/base/bytes.h"
#include "db/jet/checker.h"
#include "db/jet/file/ciphers.h"
#include "support/column_def.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/database_impl.h"
#include "db/jet/file_patch.h"
#include "db/jet/file/format.h"
#include "db/jet/layout_checks.h"
#include "db/jet/reader_oracle.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

using test::joinedLines;
using test::patchFile;

void restore(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string findings(const std::string& path) { return joinedLines(checkDatabase(path)); }

// Rewrites one 4-byte word of page 0's scrambled region.
void patchHeaderWord(const std::string& path, uint32_t offset, uint32_t value) {
  std::string bytes = test::fileBytes(path);
  std::vector<uint8_t> page(bytes.begin(), bytes.begin() + 4096);
  const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
  crypto::rc4(crypto::ByteView(key, 4), page.data() + 0x18, 128);
  put32(page.data(), offset, value);
  crypto::rc4(crypto::ByteView(key, 4), page.data() + 0x18, 128);
  patchFile(path, 0, std::string(page.begin(), page.end()));
}

// Where things are in a file, found through the engine.
struct Locator {
  explicit Locator(const std::string& path) {
    OpenOptions ro;
    ro.readOnly = true;
    db = openDatabase(path, ro);
    impl = dynamic_cast<DatabaseImpl*>(db.get());
  }
  // The file offset of the Type value in a table's catalogue row.
  size_t catalogueType(const std::string& name) {
    for (const CatalogRow& r : impl->catalogRows()) {
      if (r.name != name) continue;
      const uint8_t* p = impl->pager().read(pageOf(r.pointer));
      RowSpan s = dataRow(p, impl->pager().layout(), rowOf(r.pointer), "");
      uint16_t typeOffset = 0;
      for (const ColumnInfo& c : impl->findTable("MSysObjects", false)->def().columns)
        if (c.def.name == "Type") typeOffset = c.fixedOffset;
      return static_cast<size_t>(pageOf(r.pointer)) * 4096 + s.start + 2 + typeOffset;
    }
    ADD_FAILURE() << "no catalogue row " << name;
    return 0;
  }
  // The file offset of a byte of a column's entry in a table's definition (its first page).
  size_t columnEntry(const std::string& table, const std::string& column, size_t byte) {
    const TableDef& def = impl->findTable(table, false)->def();
    std::vector<uint8_t> page(impl->pager().read(def.page), impl->pager().read(def.page) + 4096);
    // Entries follow the header block; find the one whose name is listed at the same place.
    const size_t entries = 63 + 12 * def.realIndexes.size();
    size_t names = entries + 25 * def.columns.size();
    for (size_t i = 0; i < def.columns.size(); ++i) {
      const uint16_t n = get16(page.data(), names);
      std::string name;
      for (size_t k = 0; k < n; k += 2) name += static_cast<char>(page[names + 2 + k]);
      if (name == column) return static_cast<size_t>(def.page) * 4096 + entries + 25 * i + byte;
      names += 2 + n;
    }
    ADD_FAILURE() << "no column " << column << " in " << table;
    return 0;
  }
  std::unique_ptr<Database> db;
  DatabaseImpl* impl = nullptr;
};

TEST(JetLayoutCheck, EachStructureDamagedInACopyOfAGoodFileIsNamed) {
  test::TempDir dir;
  for (Format format : {Format::kJet4, Format::kAce12}) {
    const std::string path = dir.file(format == Format::kJet4 ? "good.mdb" : "good.accdb");
    {
      auto db = createDatabase(path, format);
      db->createTable("People", {column("Id", ColumnType::kLong), column("Name", ColumnType::kText, 50),
                                 column("Notes", ColumnType::kMemo)});
      db->close();
    }
    ASSERT_EQ(findings(path), "");
    const std::string good = test::fileBytes(path);
    size_t queriesType = 0, peopleName = 0, guidType = 0, textValue = 0;
    {
      Locator at(path);
      queriesType = at.catalogueType("MSysQueries");
      peopleName = at.columnEntry("People", "Name", 15);
      if (format != Format::kJet4) {
        guidType = at.catalogueType("MSysComplexType_GUID");
        textValue = at.columnEntry("MSysComplexType_Text", "Value", 0);
      }
    }

    // A session's slot left busy; the whole table blank.
    patchFile(path, 0xE00 + 2 * 5, std::string("\x01\x01", 2));
    EXPECT_EQ(findings(path),
              "page 0's commit-byte table is not idle: 1 slot (5) mark a change in progress; unless a program has the "
              "database open, Access takes it for one left in the middle of a change and offers to repair it\n");
    patchFile(path, 0xE00, std::string(0x200, '\0'));
    EXPECT_NE(findings(path).find("lacks its idle pattern"), std::string::npos) << findings(path);
    restore(path, good);

    // Page 0 expecting MSysACEs elsewhere; MSysQueries no longer listed as a table.
    patchHeaderWord(path, 0x24, 9);
    EXPECT_EQ(findings(path), "MSysACEs is on page 3, but page 0 names page 9 for it\n");
    restore(path, good);
    patchFile(path, queriesType, std::string("\x08\x00", 2));
    EXPECT_EQ(findings(path), "the catalogue has no MSysQueries, which page 0 expects on page 4\n");
    restore(path, good);

    // A user column with the catalogue's flag.
    patchFile(path, peopleName, "\x12");
    EXPECT_EQ(findings(path),
              "table People: column Name has the flags 0x12, which only the engine's catalogue columns carry\n");
    restore(path, good);

    if (format == Format::kJet4) continue;
    // A complex-column template missing, one with a column of another type.
    patchFile(path, guidType, std::string("\x08\x00", 2));
    EXPECT_EQ(findings(path), "the complex-column catalogue every .accdb has lacks MSysComplexType_GUID\n");
    restore(path, good);
    patchFile(path, textValue, "\x0B");
    EXPECT_EQ(findings(path), "MSysComplexType_Text.Value has the type 11, where Access gives it 10\n");
    restore(path, good);
    ASSERT_EQ(findings(path), "");
  }
}

// Every unencrypted Jet 4 / ACE file of the corpus: what the checks of this file find.
TEST(JetLayoutCheck, AccessAndEngineMadeFilesHoldOnlyWhatTheyHold) {
  QV_REQUIRE_TESTDATA();
  // What the corpus really holds: Northwind was copied while a session had it open,
  // and a test file declares a type no Access version knows in MSysComplexType_Text.
  const std::map<std::string, std::string> expected = {
      {"access/northwind-GabrielLogue/Northwind.mdb",
       "page 0's commit-byte table is not idle: 7 slots (2, 3, 4, 5, 6, 8, 21) mark a change in progress; unless a "
       "program has the database open, Access takes it for one left in the middle of a change and offers to repair "
       "it\n"},
      {"access/jackcess/V2007/unsupportedFieldsTestV2007.accdb",
       "MSysComplexType_Text.Value has the type 72, where Access gives it 10\n"}};
  int files = 0;
  for (const std::string& path : test::corpusFiles("access", {".mdb", ".accdb"})) {
    const std::string name = path.substr(test::testdataDir().size() + 1);
    const std::string bytes = test::fileBytes(path);
    const DatabaseHeader header =
        decodeHeader(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4096), bytes.size(), path);
    if (header.format == Format::kJet3 || header.encodingKey != 0) continue;
    ++files;
    OpenOptions ro;
    ro.readOnly = true;
    ro.password = header.password;
    auto db = openDatabase(path, ro);
    auto& impl = dynamic_cast<DatabaseImpl&>(*db);
    std::vector<std::string> problems;
    checkCommitTable(impl, problems);
    checkCatalogPlaces(impl, problems);
    checkComplexColumnTables(impl, problems);
    checkUserColumnFlags(impl, problems);
    EXPECT_EQ(joinedLines(problems), expected.count(name) ? expected.at(name) : "") << name;
  }
  EXPECT_GE(files, 120);
}

TEST(JetLayoutCheck, ADatabaseWhoseCatalogueIsOffStillTakesTablesSoundly) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const std::string path = dir.file("off.accdb");
  test::copyFile(test::testdataDir() + "/access/jackcess-created/empty-v2010.accdb", path);
  {
    Locator at(path);
    patchFile(path, at.catalogueType("MSysComplexType_GUID"), std::string("\x08\x00", 2));
  }
  patchHeaderWord(path, 0x2C, 12);
  patchFile(path, 0xE00 + 2 * 9, std::string("\x03\x01", 2));
  const std::string found =
      "page 0's commit-byte table is not idle: 1 slot (9) mark a change in progress; unless a program has the "
      "database open, Access takes it for one left in the middle of a change and offers to repair it\n"
      "MSysRelationships is on page 5, but page 0 names page 12 for it\n"
      "the complex-column catalogue every .accdb has lacks MSysComplexType_GUID\n";
  ASSERT_EQ(findings(path), found);
  const std::string before = test::fileBytes(path);
  {
    auto db = openDatabase(path, {});
    Table& t = db->createTable("Added", {column("N", ColumnType::kLong), column("S", ColumnType::kText, 20)});
    for (int i = 0; i < 50; ++i) t.insert(std::vector<Value>{Value::integer(i), Value::text("v" + std::to_string(i))});
    if (test::mdbReaderAvailable()) {
      EXPECT_EQ(test::compareWithMdbReader(path, *db, {"Added"}), "");
    } else if (test::underCi()) {
      ADD_FAILURE() << "mdb-reader is not installed";
    }
    db->close();
  }
  // The new table is sound, the findings are what they were, and page 0 is untouched.
  EXPECT_EQ(findings(path), found);
  EXPECT_EQ(test::fileBytes(path).substr(0, 4096), before.substr(0, 4096));
  if (test::mdbtoolsAvailable()) {
    EXPECT_EQ(test::mdbtoolsCount(path, "Added"), 50);
  } else if (test::underCi()) {
    ADD_FAILURE() << "mdbtools is not installed";
  }
}

}  // namespace
}  // namespace qv::jet
