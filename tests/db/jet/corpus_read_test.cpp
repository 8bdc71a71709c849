// Every Access-made database of the corpus: its catalogue and every row of every user
// table as mdb-reader and mdbtools read them.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "db/io/error.h"
#include "db/jet/database.h"
#include "db/jet/reader_oracle.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

// Files whose pages are encrypted (Office crypto): without their password they must not
// open; encryption_test.cpp reads them with it.
bool officeEncrypted(const std::string& f) {
  for (const char* name : {"db-nonstandard.accdb", "db2007-enc.accdb", "db2007-oldenc.accdb", "db2013-enc.accdb",
                           "ASampleDatabase-protected.accdb", "office-agile-4.2.accdb", "office-agile-4.4.accdb",
                           "northwind.accdb", "password-protected.accdb"})
    if (f.size() >= std::string(name).size() &&
        f.compare(f.size() - std::string(name).size(), std::string::npos, name) == 0)
      return true;
  return false;
}

// Files mdb-reader itself cannot read (complex and unsupported column types).
bool mdbReaderFails(const std::string& f) {
  return f.find("complexDataTestV20") != std::string::npos ||
         f.find("unsupportedFieldsTestV2007") != std::string::npos ||
         f.find("ucanaccess/complex.accdb") != std::string::npos;
}

std::string passwordFor(const std::string& f) {
  if (f.find("with-password.mdb") != std::string::npos) return "password";
  if (f.find("ucanaccess/password.mdb") != std::string::npos) return "ucanaccess";
  return "";
}

std::vector<std::string> userTables(Database& db) {
  std::vector<std::string> out;
  for (const CatalogEntry& e : db.catalog())
    if (e.kind == ObjectKind::kUserTable) out.push_back(e.name);
  return out;
}

TEST(JetCorpus, EveryDatabaseReadsLikeMdbReaderAndMdbtools) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  auto files = test::corpusFiles("access", {".mdb", ".accdb"});
  ASSERT_GT(files.size(), 100u);
  int compared = 0;
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    if (officeEncrypted(f)) {
      try {
        openDatabase(f, {});
        ADD_FAILURE() << "an encrypted database opened";
      } catch (const DbError& e) {
        EXPECT_NE(std::string(e.what()).find(f), std::string::npos) << e.what();
      }
      continue;
    }
    OpenOptions options;
    options.password = passwordFor(f);
    options.readOnly = true;
    std::unique_ptr<Database> db = openDatabase(f, options);
    std::vector<std::string> ours = userTables(*db);
    std::vector<std::string> theirs = test::mdbtoolsTables(f);
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours, theirs);
    // Jet 3 texts depend on the code page and mdb-reader reads them differently; its
    // rows are checked through mdbtools' counts there.
    if (db->format() == Format::kJet3) {
      for (const std::string& t : ours) EXPECT_EQ(db->table(t)->rowCount(), test::mdbtoolsCount(f, t)) << t;
      continue;
    }
    std::vector<std::string> readable;
    for (const std::string& t : ours) {
      Table* table = db->table(t);
      ASSERT_NE(table, nullptr) << t;
      bool plain = std::all_of(table->columns().begin(), table->columns().end(), [](const ColumnDef& c) {
        return static_cast<uint8_t>(c.type) <= 0x10 && static_cast<uint8_t>(c.type) != 0x0D &&
               static_cast<uint8_t>(c.type) != 0x0E;
      });
      if (plain) readable.push_back(t);
    }
    if (!mdbReaderFails(f)) {
      EXPECT_EQ(test::compareWithMdbReader(f, *db, readable, options.password), "");
    }
    ++compared;
  }
  EXPECT_GT(compared, 90);
}

TEST(JetCorpus, CatalogueKindsOfASystemTableAndQueries) {
  QV_REQUIRE_TESTDATA();
  std::string f = test::testdataDir() + "/access/jackcess/V2000/queryTestV2000.mdb";
  auto db = openDatabase(f, {});
  std::set<ObjectKind> kinds;
  bool catalogue = false;
  for (const CatalogEntry& e : db->catalog()) {
    kinds.insert(e.kind);
    if (e.name == "MSysObjects") catalogue = e.kind == ObjectKind::kSystemTable && e.objectId == 2;
  }
  EXPECT_TRUE(catalogue);
  EXPECT_TRUE(kinds.count(ObjectKind::kQuery));
  EXPECT_TRUE(kinds.count(ObjectKind::kUserTable));
  EXPECT_EQ(db->table("no such table"), nullptr);
}

TEST(JetCorpus, DatabasePasswordIsChecked) {
  QV_REQUIRE_TESTDATA();
  std::string f = test::testdataDir() + "/access/mdb-reader/password/data/V2000_with-password.mdb";
  try {
    openDatabase(f, {});
    FAIL() << "opened without the password";
  } catch (const DbError& e) {
    EXPECT_EQ(std::string(e.what()), "Not a valid password.");
    EXPECT_EQ(e.number(), kErrPassword);
  }
  OpenOptions wrong;
  wrong.password = "Password";
  EXPECT_THROW(openDatabase(f, wrong), DbError);
  OpenOptions right;
  right.password = "password";
  EXPECT_NO_THROW(openDatabase(f, right));
}

}  // namespace
}  // namespace qv::jet
