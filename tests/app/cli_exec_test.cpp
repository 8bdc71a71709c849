// quorvane-cli exec on real database files: one statement, a script on standard input
// with failures reported by line, --stop-on-error, and a missing database.

#include <gtest/gtest.h>

#include <fstream>

#include "db/jet/database.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::sql {
namespace {

const std::string kCli = std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli";

int run(const std::string& args, std::string* out) { return test::runCommand(kCli + " " + args + " 2>&1", out); }

TEST(CliExec, RunsStatementsAndReportsFailuresByLine) {
  QV_REQUIRE_TOOL(!test::nodeToolsDir().empty(), "node with mdb-reader");
  test::TempDir dir;
  const std::string db = dir.file("shop.mdb");
  jet::createDatabase(db, jet::Format::kJet4)->close();

  std::string out;
  ASSERT_EQ(run("exec '" + db + "' 'CREATE TABLE `T` ([ID] INT,[NAME] TEXT(5))'", &out), 0) << out;
  EXPECT_NE(out.find("1 statement executed, 0 failed"), std::string::npos) << out;

  const std::string script = dir.file("script.sql");
  std::ofstream(script) << "INSERT INTO `T` VALUES (1, 'one');\r\n"
                           "INSERT INTO `T` VALUES (2, 'too long');\n"
                           "\n"
                           "insert into t values (3, 'three')\n"
                           "INSERT INTO `T` VALUES (4, 'x'); junk\n"
                           "INSERT INTO `T` VALUES (5, 'fi\nve');\n";
  EXPECT_EQ(run("exec '" + db + "' < '" + script + "'", &out), 1);
  EXPECT_NE(out.find("line 2: SQL error: The field is too small"), std::string::npos) << out;
  EXPECT_NE(out.find("line 5: SQL error: Characters found after end of SQL statement."), std::string::npos) << out;
  EXPECT_NE(out.find("3 statements executed, 2 failed, 3 rows affected"), std::string::npos) << out;

  EXPECT_EQ(run("exec --stop-on-error '" + db + "' < '" + script + "'", &out), 1);
  EXPECT_NE(out.find("1 statement executed, 1 failed"), std::string::npos) << out;

  ASSERT_EQ(test::runCommand("node '" + test::nodeToolsDir() + "/mdb_dump.mjs' '" + db + "'", &out), 0);
  // The line break inside the text belongs to the row.
  EXPECT_NE(out.find("\"rows\":[[1,\"one\"],[3,\"three\"],[5,\"fi\\nve\"],[1,\"one\"]]"), std::string::npos) << out;

  // A long script goes in batches: a failure deep inside one is reported by its line,
  // and --stop-on-error leaves exactly the rows before it.
  {
    std::ofstream big(script, std::ios::trunc);
    big << "CREATE TABLE `B` ([N] INT)\n";
    for (int i = 1; i <= 2500; ++i)
      big << "INSERT INTO `B` VALUES (" << (i == 1700 ? "'x'" : std::to_string(i)) << ")\n";
  }
  EXPECT_EQ(run("exec --stop-on-error '" + db + "' < '" + script + "'", &out), 1);
  EXPECT_NE(out.find("line 1701: SQL error: Data type mismatch: 'x' is not a number"), std::string::npos) << out;
  EXPECT_NE(out.find("1700 statements executed, 1 failed, 1699 rows affected"), std::string::npos) << out;
  EXPECT_EQ(jet::openDatabase(db)->table("B")->rowCount(), 1699);
  ASSERT_EQ(run("exec '" + db + "' 'DROP TABLE `B`'", &out), 0) << out;
  EXPECT_EQ(run("exec '" + db + "' < '" + script + "'", &out), 1);
  EXPECT_NE(out.find("2500 statements executed, 1 failed, 2499 rows affected"), std::string::npos) << out;

  EXPECT_EQ(run("exec '" + dir.file("missing.mdb") + "' 'DROP TABLE `T`'", &out), 1);
  EXPECT_NE(out.find("Could not find file '" + dir.file("missing.mdb") + "'."), std::string::npos) << out;
  EXPECT_EQ(run("exec", &out), 2);
}

}  // namespace
}  // namespace qv::sql
