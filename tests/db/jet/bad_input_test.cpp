// Files that are not (whole) Access databases: a clear error naming the file, never a
// crash or a read outside a buffer.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "db/io/error.h"
#include "db/jet/database.h"
#include "db/jet/reader_oracle.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Opens, lists and reads everything; returns the error text ("" when all went well).
std::string readAll(const std::string& path) {
  try {
    auto db = openDatabase(path, {});
    for (const CatalogEntry& e : db->catalog()) {
      if (e.kind != ObjectKind::kUserTable) continue;
      Table* t = db->table(e.name);
      if (!t) continue;
      auto c = t->scan();
      std::vector<Value> row;
      while (c->next(row)) {
      }
    }
    return "";
  } catch (const DbError& e) {
    return e.what();
  }
}

TEST(JetBadInput, NonDatabasesAndTruncatedFilesNameTheFile) {
  test::TempDir dir;
  std::string missing = dir.file("missing.mdb");
  EXPECT_NE(readAll(missing).find(missing), std::string::npos);
  std::string text = dir.file("text.mdb");
  writeBytes(text, std::string(10000, 'x'));
  EXPECT_NE(readAll(text).find("is not an Access database"), std::string::npos);
  std::string empty = dir.file("empty.accdb");
  writeBytes(empty, "");
  EXPECT_NE(readAll(empty).find(empty), std::string::npos);

  auto db = createDatabase(dir.file("new.mdb"), Format::kJet4);
  db->close();
  std::string whole = test::fileBytes(dir.file("new.mdb"));
  std::string cut = dir.file("cut.mdb");
  writeBytes(cut, whole.substr(0, 4096 * 2 + 100));
  EXPECT_NE(readAll(cut).find(cut), std::string::npos);

  std::string newer = dir.file("newer.accdb");
  std::string bumped = whole;
  bumped[0x14] = 0x09;
  writeBytes(newer, bumped);
  EXPECT_NE(readAll(newer).find("newer format"), std::string::npos);
}

TEST(JetBadInput, DamagedPagesNeverCrash) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  std::mt19937 rng(4);
  for (const char* name : {"access/jackcess/V2000/testV2000.mdb", "access/jackcess/V1997/testV1997.mdb",
                           "access/jackcess/V2007/testV2007.accdb"}) {
    std::string original = test::fileBytes(test::testdataDir() + "/" + name);
    if (original.empty()) continue;
    for (int round = 0; round < 60; ++round) {
      std::string damaged = original;
      int hits = 1 + static_cast<int>(rng() % 40);
      for (int k = 0; k < hits; ++k) {
        // Aim at the catalogue and table definitions more often than at the rest.
        size_t at = (k % 2 == 0) ? 4096 + rng() % (4096 * 6) : rng() % damaged.size();
        damaged[at % damaged.size()] = static_cast<char>(rng());
      }
      std::string path = dir.file("damaged.mdb");
      writeBytes(path, damaged);
      std::string err = readAll(path);
      if (!err.empty()) {
        EXPECT_NE(err.find("damaged.mdb"), std::string::npos) << err;
      }
    }
  }
}

TEST(JetBadInput, ReadOnlyFileRefusesChanges) {
  test::TempDir dir;
  std::string path = dir.file("ro.mdb");
  createDatabase(path, Format::kJet4)->close();
  OpenOptions ro;
  ro.readOnly = true;
  auto db = openDatabase(path, ro);
  std::string before = test::fileBytes(path);
  try {
    db->createTable("T", {ColumnDef{"A", ColumnType::kLong}});
    FAIL() << "a read-only database was changed";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
  EXPECT_EQ(test::fileBytes(path), before);
}

TEST(JetBadInput, AFileCutShortByAnotherProgramIsNeverReportedAsWritten) {
  test::TempDir dir;
  std::string path = dir.file("cut.mdb");
  createDatabase(path, Format::kJet4)->close();
  // Cut after the session's last write: the close says so, naming the file.
  auto db = openDatabase(path, {});
  Table& t = db->createTable("T", {ColumnDef{"A", ColumnType::kLong}});
  for (int i = 0; i < 100; ++i) t.insert(std::vector<Value>{Value::integer(i)});
  std::filesystem::resize_file(path, 4096);
  try {
    db->close();
    FAIL() << "a close succeeded on a file another program had cut short";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("cut short"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace qv::jet
