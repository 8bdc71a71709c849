// Statements run as a batch must end exactly as they end one by one: the same rows in
// the file, the same statements failing with the same messages, and no statement that
// was not reported failed missing from the file, whatever write fails on the way.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/fault_env.h"
#include "db/jet/database.h"
#include "db/sql/executor.h"
#include "support/temp_dir.h"

namespace qv::sql {
namespace {

struct Failure {
  size_t index;
  int number;
  std::string message;
  bool operator==(const Failure&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Failure& f) {
  return os << "#" << f.index << " " << f.number << " " << f.message;
}

// Every table's rows as text, after reopening the file.
std::map<std::string, std::vector<std::string>> contents(const std::string& path) {
  std::map<std::string, std::vector<std::string>> out;
  auto db = jet::openDatabase(path);
  for (const jet::CatalogEntry& e : db->catalog()) {
    if (e.kind != jet::ObjectKind::kUserTable) continue;
    auto& rows = out[e.name];
    auto cursor = db->table(e.name)->scan();
    std::vector<jet::Value> row;
    while (cursor->next(row)) {
      std::string text;
      for (const jet::Value& v : row) {
        text += std::to_string(static_cast<int>(v.kind)) + ":" + std::to_string(v.i) + ":" + std::to_string(v.d) + ":" +
                v.s + "|";
      }
      rows.push_back(text);
    }
  }
  return out;
}

// A script that switches tables, drops one, and fails in every way a statement can:
// text too long, a number out of range, broken syntax, an unknown table, bytes that
// are not UTF-8 — at the start, inside and at the edges of runs of rows.
std::vector<std::string> mixedScript() {
  std::vector<std::string> s;
  s.push_back("CREATE TABLE `A` ([ID] INT,[NAME] TEXT(8),[V] FLOAT,[M] MEMO);");
  s.push_back("INSERT INTO `A` VALUES (1,'123456789',0,NULL);");  // too long, first of a run
  for (int i = 0; i < 2600; ++i) {
    std::string name = i % 997 == 5 ? "far too long" : "n" + std::to_string(i);
    if (i == 2047 || i == 2048) name = "also much too long";
    std::string id = i == 300 ? "99999999999" : std::to_string(i);
    if (i == 500) {
      s.push_back("INSERT INTO `A` VALUES (" + id + ",");
    } else if (i == 700) {
      s.push_back("INSERT INTO `NOPE` VALUES (1,'x',0,NULL);");
    } else if (i == 900) {
      s.push_back("INSERT INTO `A` VALUES (1,'\xff\xfe',0,NULL);");
    } else {
      s.push_back("INSERT INTO `A` VALUES (" + id + ",'" + name + "'," + std::to_string(i) + ".5,'" +
                  std::string(static_cast<size_t>(i % 300), 'm') + "');");
    }
    if (i == 1000) s.push_back("CREATE TABLE `B` ([K] INT,[T] TEXT(3));");
    if (i > 1000 && i < 1100)
      s.push_back("INSERT INTO `B` VALUES (" + std::to_string(i) + ",'" + (i % 7 ? "ok" : "long") + "');");
    if (i == 1200) s.push_back("DROP TABLE `B`;");
    if (i == 1201) s.push_back("INSERT INTO `B` VALUES (1,'x');");
  }
  // Rows the engine itself refuses: too large for a page.
  s.push_back(
      "CREATE TABLE `C` ([N] INT,[T1] TEXT(255),[T2] TEXT(255),[T3] TEXT(255),[T4] TEXT(255),[T5] TEXT(255),"
      "[T6] TEXT(255),[T7] TEXT(255),[T8] TEXT(255));");
  for (int i = 0; i < 400; ++i) {
    std::string row = "INSERT INTO `C` VALUES (" + std::to_string(i);
    const int columns = i % 45 == 3 ? 8 : 3;
    for (int c = 0; c < 8; ++c) {
      row += c < columns ? ",'" : ",NULL";
      if (c < columns) {
        for (int k = 0; k < 255; ++k) row += "\xe6\x97\xa5";  // a character stored in two bytes
        row += "'";
      }
    }
    s.push_back(row + ");");
  }
  s.push_back("INSERT INTO `A` VALUES (-1,'12345678',0,NULL);");   // exactly eight characters: fits
  s.push_back("INSERT INTO `A` VALUES (-2,'123456789',0,NULL);");  // too long, last of all
  return s;
}

std::vector<std::string_view> views(const std::vector<std::string>& script) { return {script.begin(), script.end()}; }

TEST(ExecuteBatch, EndsAsTheStatementsEndOneByOne) {
  test::TempDir dir;
  const std::vector<std::string> script = mixedScript();
  std::vector<Failure> oneByOne, batched;
  {
    auto db = jet::createDatabase(dir.file("single.mdb"), jet::Format::kJet4);
    Executor exec(*db);
    for (size_t i = 0; i < script.size(); ++i) {
      try {
        exec.execute(script[i]);
      } catch (const DbError& e) {
        oneByOne.push_back({i, e.number(), e.what()});
      }
    }
    db->close();
  }
  size_t run = 0;
  {
    auto db = jet::createDatabase(dir.file("batch.mdb"), jet::Format::kJet4);
    Executor exec(*db);
    run = exec.executeBatch(views(script), [&](size_t i, const DbError& e) {
      batched.push_back({i, e.number(), e.what()});
      return true;
    });
    db->close();
  }
  EXPECT_EQ(run, script.size());
  EXPECT_GE(oneByOne.size(), 12u);
  EXPECT_EQ(batched, oneByOne);
  const auto expected = contents(dir.file("single.mdb"));
  ASSERT_EQ(expected.count("A"), 1u);
  EXPECT_GT(expected.at("A").size(), 2500u);
  const auto got = contents(dir.file("batch.mdb"));
  for (const auto& [table, rows] : expected)
    EXPECT_EQ(got.count(table) ? got.at(table).size() : 0, rows.size()) << table;
  EXPECT_TRUE(got == expected) << "the batch left other rows than the statements run one by one";
}

TEST(ExecuteBatch, AFailureThatStopsTheBatchLeavesTheStatementsAfterItUnrun) {
  test::TempDir dir;
  std::vector<std::string> script = {"CREATE TABLE `T` ([N] INT,[S] TEXT(2));"};
  for (int i = 0; i < 5000; ++i)
    script.push_back("INSERT INTO `T` VALUES (" + std::to_string(i) + ",'" + (i == 3210 ? "xyz" : "ab") + "');");
  script.push_back("DROP TABLE `T`;");
  auto db = jet::createDatabase(dir.file("stop.mdb"), jet::Format::kAce12);
  Executor exec(*db);
  std::vector<size_t> failed;
  const size_t run = exec.executeBatch(views(script), [&](size_t i, const DbError&) {
    failed.push_back(i);
    return false;
  });
  EXPECT_EQ(failed, std::vector<size_t>{3211});
  EXPECT_EQ(run, 3212u);
  ASSERT_NE(db->table("T"), nullptr);  // the DROP after it did not run
  EXPECT_EQ(db->table("T")->rowCount(), 3210);
  db->close();
  EXPECT_EQ(contents(dir.file("stop.mdb")).at("T").size(), 3210u);
}

// A failing write inside a batch: every statement not reported failed is in the file.
TEST(ExecuteBatch, AFailedWriteLosesNoStatementThatWasNotReported) {
  test::TempDir dir;
  std::vector<std::string> script;
  for (int i = 0; i < 3000; ++i) {
    const std::string text(static_cast<size_t>(120 + i % 130), static_cast<char>('a' + i % 26));
    script.push_back("INSERT INTO `T` VALUES (" + std::to_string(i) + ",'" + text + "'," +
                     (i % 9 ? "NULL" : "'" + text + "'") + ");");
  }
  io::FaultEnv env(io::posixEnv());
  env.setWriteUnit(4096);
  auto prepare = [&](const std::string& path) {
    auto db = jet::createDatabase(path, jet::Format::kJet4);
    Executor(*db).execute("CREATE TABLE `T` ([N] INT,[S] TEXT(255),[M] MEMO);");
    db->close();
  };
  // How many writes the batch makes when nothing fails.
  prepare(dir.file("count.mdb"));
  uint64_t writes = 0;
  {
    jet::OpenOptions options;
    options.env = &env;
    env.arm(0, io::Fault::kNone);
    auto db = jet::openDatabase(dir.file("count.mdb"), options);
    Executor(*db).executeBatch(views(script), [](size_t, const DbError&) { return true; });
    db->close();
    writes = env.writes();
  }
  ASSERT_GT(writes, 20u);
  int trials = 0;
  for (io::Fault fault : {io::Fault::kDiskFull, io::Fault::kShortWrite, io::Fault::kIoError}) {
    for (uint64_t at = 1; at <= writes; at += 1 + writes / 60) {
      const std::string path =
          dir.file("f" + std::to_string(static_cast<int>(fault)) + "_" + std::to_string(at) + ".mdb");
      prepare(path);
      std::set<int> failed;
      jet::OpenOptions options;
      options.env = &env;
      env.arm(at, fault);
      bool ran = false;
      try {
        auto db = jet::openDatabase(path, options);
        Executor(*db).executeBatch(views(script), [&](size_t i, const DbError& e) {
          EXPECT_NE(e.number(), kErrSql) << e.what();
          failed.insert(static_cast<int>(i));
          return true;
        });
        ran = true;
        db->close();
      } catch (const DbError&) {
        // Opening or closing met the fault; closing must not take away what the batch wrote.
      }
      env.disarm();
      if (!ran) continue;
      ++trials;
      std::set<int> present;
      const auto rows = contents(path).at("T");
      for (const std::string& r : rows) present.insert(std::stoi(r.substr(r.find(':') + 1)));
      EXPECT_EQ(present.size(), rows.size()) << "a row written twice, write " << at;
      for (int i = 0; i < static_cast<int>(script.size()); ++i) {
        EXPECT_EQ(present.count(i), 1 - failed.count(i))
            << "statement " << i << (failed.count(i) ? " reported failed but in the file" : " lost")
            << ", fault at write " << at;
      }
    }
  }
  EXPECT_GT(trials, 100);
}

}  // namespace
}  // namespace qv::sql
