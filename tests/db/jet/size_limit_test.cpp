// The 2 GB limit of an Access database, without 2 GB of writes: the database's file is
// stretched to a few pages short of the limit with a hole (a sparse file: the kernel keeps
// no blocks for it, and no map lists its pages), then filled through the engine and the
// SQL front end until a statement needs a page beyond 2^31 bytes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string_view>

#include "db/io/env.h"
#include "db/io/error.h"
#include "support/fault_env.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/file/format.h"
#include "db/jet/file/journal.h"
#include "db/jet/reader_oracle.h"
#include "db/sql/executor.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

const std::vector<std::string> kClean;  // what the check finds in a sound database

constexpr uint64_t kLimit = uint64_t{1} << 31;
constexpr uint64_t kPage = 4096;
// The pages a new database's global map covers and may hand out again: the file's first
// pages, where the writes before the hole land.
constexpr uint64_t kFront = 512 * kPage;

// A new database with table T (a number and a Long Text) whose file then grows by a hole
// to `pagesLeft` pages short of the limit.
std::string nearlyFull(const test::TempDir& dir, Format f, uint64_t pagesLeft) {
  std::string path = dir.file(f == Format::kJet4 ? "full.mdb" : "full.accdb");
  auto db = createDatabase(path, f);
  db->createTable("T", {column("N", ColumnType::kLong), column("M", ColumnType::kMemo)});
  db->close();
  io::posixEnv().open(path, io::OpenMode::kReadWrite)->truncate(kLimit - pagesLeft * kPage);
  return path;
}

// Everything of the file that is not hole: its front and whatever lies after the hole.
std::string written(const std::string& path, uint64_t holeEnd) {
  std::ifstream in(path, std::ios::binary);
  const uint64_t size = std::filesystem::file_size(path);
  std::string out(kFront + (size - holeEnd), '\0');
  in.read(out.data(), static_cast<std::streamsize>(kFront));
  in.seekg(static_cast<std::streamoff>(holeEnd));
  in.read(out.data() + kFront, static_cast<std::streamsize>(size - holeEnd));
  return out + "|" + std::to_string(size);
}

std::vector<Value> memoRow(int i) {
  // 2,000 characters are stored as 4,000 bytes: a long-value page each.
  return {Value::integer(i), Value::text(std::string(2000, static_cast<char>('a' + i % 26)))};
}

bool sizeLimitError(const std::string& what, const std::string& path) {
  return what.find("'" + path +
                   "' cannot grow beyond 2 GB (2,147,483,648 bytes), the largest an Access database can be") !=
         std::string::npos;
}

// Inserts memo rows until one fails; returns how many went in, and the file as it was
// before the failing statement.
int fillUp(Table& t, const std::string& path, uint64_t holeEnd, std::string* before, std::string* error) {
  for (int i = 0; i < 4000; ++i) {
    if (std::filesystem::file_size(path) > holeEnd) *before = written(path, holeEnd);
    try {
      t.insert(memoRow(i));
    } catch (const DbError& e) {
      *error = e.what();
      return i;
    }
  }
  return -1;
}

TEST(JetSizeLimit, TheStatementThatWouldPassTwoGigabytesFailsWholeAndTheDatabaseStaysUsable) {
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  test::TempDir dir;
  for (Format f : {Format::kJet4, Format::kAce12}) {
    SCOPED_TRACE(formatName(f));
    const uint64_t holeEnd = kLimit - 48 * kPage;
    const std::string path = nearlyFull(dir, f, 48);
    int rows = 0;
    {
      auto db = openDatabase(path, {});
      Table& t = *db->table("T");
      std::string before, error;
      rows = fillUp(t, path, holeEnd, &before, &error);
      ASSERT_GT(rows, 0) << error;
      EXPECT_TRUE(sizeLimitError(error, path)) << error;
      // The file reached the limit as near as whole statements go, and not a byte of the
      // failed statement was written.
      const uint64_t size = std::filesystem::file_size(path);
      EXPECT_LE(size, kLimit);
      EXPECT_GE(size, kLimit - 4 * kPage);
      EXPECT_TRUE(written(path, holeEnd) == before) << "the file changed";
      // Every statement after it that needs room fails the same way, writing nothing:
      // more rows, a new table (through its journal, which does not stay behind).
      for (int k = 0; k < 5; ++k) {
        try {
          t.insert(memoRow(rows + k));
          ADD_FAILURE() << "a row went in beyond the limit";
        } catch (const DbError& e) {
          EXPECT_TRUE(sizeLimitError(e.what(), path)) << e.what();
        }
      }
      try {
        db->createTable("Neu", {column("A", ColumnType::kLong)});
        ADD_FAILURE() << "a table was created beyond the limit";
      } catch (const DbError& e) {
        EXPECT_TRUE(sizeLimitError(e.what(), path)) << e.what();
      }
      EXPECT_FALSE(std::filesystem::exists(journalPath(path)));
      EXPECT_TRUE(written(path, holeEnd) == before) << "the file changed";
      EXPECT_EQ(db->table("Neu"), nullptr);
      // What went in reads back whole.
      EXPECT_EQ(t.rowCount(), rows);
      auto cursor = t.scan();
      std::vector<Value> row;
      int i = 0;
      while (cursor->next(row)) {
        ASSERT_EQ(row[1].s, memoRow(i).at(1).s) << i;
        ++i;
      }
      EXPECT_EQ(i, rows);
      db->close();
    }
    // Other readers open it as it is (mdb-reader reads a whole file into memory and stops
    // at 2 GiB, so mdbtools alone reads this one).
    EXPECT_EQ(checkDatabase(path), kClean);
    EXPECT_EQ(test::mdbtoolsCount(path, "T"), rows);
    std::filesystem::remove(path);
  }
}

// The SQL front end runs a run of INSERTs as one batch; at the limit each statement still
// has its own outcome: the rows that fit in the table's last page go in, the ones that
// need a new page fail.
TEST(JetSizeLimit, ABatchOfInsertsKeepsEachStatementsOwnOutcomeAtTheLimit) {
  QV_REQUIRE_TOOL(test::mdbtoolsAvailable(), "mdbtools");
  test::TempDir dir;
  const uint64_t holeEnd = kLimit - 48 * kPage;
  const std::string path = nearlyFull(dir, Format::kJet4, 48);
  int rows = 0;
  {
    auto db = openDatabase(path, {});
    std::string before, error;
    rows = fillUp(*db->table("T"), path, holeEnd, &before, &error);
    ASSERT_GT(rows, 0) << error;
    const std::string memo = "'" + std::string(2000, 'q') + "'";
    const std::vector<std::string> script = {
        "INSERT INTO `T` VALUES (1, NULL)", "INSERT INTO `T` VALUES (2, " + memo + ")",
        "INSERT INTO `T` VALUES (3, 'kurz')", "INSERT INTO `T` VALUES (4, " + memo + ")",
        "INSERT INTO `T` VALUES (5, NULL)"};
    std::vector<std::string_view> views(script.begin(), script.end());
    std::vector<size_t> failed;
    sql::Executor exec(*db);
    const size_t run = exec.executeBatch(views, [&](size_t i, const DbError& e) {
      failed.push_back(i);
      EXPECT_TRUE(sizeLimitError(e.what(), path)) << e.what();
      return true;
    });
    EXPECT_EQ(run, script.size());
    EXPECT_EQ(failed, (std::vector<size_t>{1, 3}));
    EXPECT_EQ(db->table("T")->rowCount(), rows + 3);
    db->close();
  }
  EXPECT_LE(std::filesystem::file_size(path), kLimit);
  EXPECT_EQ(checkDatabase(path), kClean);
  EXPECT_EQ(test::mdbtoolsCount(path, "T"), rows + 3);
}

// A refused change leaves the session as sound as the file: a write that fails midway
// (a full disk, at each write in turn) is taken back, and the rows inserted after it in
// the same session, into pages the failed change had touched, read back whole.
TEST(JetSizeLimit, TheSessionGoesOnSoundlyAfterAChangeFailedMidway) {
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  test::TempDir dir;
  io::FaultEnv env(io::posixEnv());
  env.setWriteUnit(4096);
  for (uint64_t at = 1; at <= 8; ++at) {
    const std::string path = dir.file("midway" + std::to_string(at) + ".mdb");
    {
      auto db = createDatabase(path, Format::kJet4);
      db->createTable("T", {column("N", ColumnType::kLong), column("M", ColumnType::kMemo)});
      db->close();
    }
    OpenOptions options;
    options.env = &env;
    auto db = openDatabase(path, options);
    Table& t = *db->table("T");
    std::vector<int> in;
    auto row = [](int i) {
      return std::vector<Value>{Value::integer(i),
                                Value::text(std::string(static_cast<size_t>(60 + i * 97 % 3000), 'r'))};
    };
    env.arm(at, io::Fault::kDiskFull);
    for (int i = 0; i < 40; ++i) {
      try {
        t.insert(row(i));
        in.push_back(i);
      } catch (const DbError&) {
      }
      if (i == 20) env.disarm();
    }
    EXPECT_EQ(in.size(), 39u) << at;  // one insert met the full disk
    auto cursor = t.scan();
    std::vector<Value> got;
    size_t k = 0;
    while (cursor->next(got)) {
      ASSERT_LT(k, in.size());
      EXPECT_EQ(got[0].i, in[k]);
      EXPECT_EQ(got[1].s, row(in[k])[1].s);
      ++k;
    }
    EXPECT_EQ(k, in.size());
    EXPECT_EQ(test::compareWithMdbReader(path, *db, {"T"}), "");
    db->close();
    EXPECT_EQ(checkDatabase(path), kClean) << at;
  }
}

}  // namespace
}  // namespace qv::jet
