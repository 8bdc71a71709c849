// The executor over an in-memory engine: whole statements in, rows and errors out.

#include <gtest/gtest.h>

#include "db/jet/storage/date.h"
#include "db/sql/executor.h"
#include "support/memory_database.h"

namespace qv::sql {
namespace {

using Kind = jet::Value::Kind;

class SqlExecutor : public ::testing::Test {
 protected:
  std::string failure(std::string_view sql) {
    try {
      exec.execute(sql);
    } catch (const DbError& e) {
      lastNumber = e.number();
      return e.what();
    }
    return "";
  }

  test::MemoryDatabase db;
  Executor exec{db};
  int lastNumber = 0;
};

TEST_F(SqlExecutor, RunsTheConvertersStatements) {
  EXPECT_EQ(
      exec.execute("CREATE TABLE `STOCK` ([ID] INT,[NAME] TEXT,[PRICE] FLOAT,[WHEN] TEXT,[PIC] BLOB,[QTY] DECIMAL);"),
      0);
  EXPECT_EQ(exec.execute("INSERT INTO `STOCK` VALUES (7, 'O''Brien', 3.25, '01/03/2021', '0x0102', 12);"), 1);
  EXPECT_EQ(exec.execute("INSERT INTO `STOCK` VALUES (8,NULL, 1E+20, '01/03/2021 14:05:09',NULL, -3);"), 1);
  auto* t = db.memoryTable("STOCK");
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->rows().size(), 2u);
  const auto& r0 = t->rows()[0];
  EXPECT_EQ(r0[0].i, 7);
  EXPECT_EQ(r0[1].s, "O'Brien");
  EXPECT_EQ(r0[2].d, 3.25);
  EXPECT_EQ(r0[3].s, "01/03/2021");
  EXPECT_EQ(r0[4].s, std::string("\x01\x02", 2));
  EXPECT_EQ(r0[5].s, "12");
  const auto& r1 = t->rows()[1];
  EXPECT_EQ(r1[1].kind, Kind::kNull);
  EXPECT_EQ(r1[2].d, 1e20);
  EXPECT_EQ(r1[4].kind, Kind::kNull);
  EXPECT_EQ(r1[5].s, "-3");
  EXPECT_EQ(exec.execute("DROP TABLE `STOCK`;"), 0);
  EXPECT_EQ(db.table("STOCK"), nullptr);
  // A new table of the same name is a new table, not the dropped one.
  exec.execute("CREATE TABLE `STOCK` ([A] TEXT(3))");
  exec.execute("INSERT INTO stock VALUES ('abc')");
  EXPECT_EQ(db.memoryTable("STOCK")->rows().size(), 1u);
}

TEST_F(SqlExecutor, ColumnListsFillTheRest) {
  exec.execute("create table t (id counter, name varchar(20), ok bit, qty long)");
  exec.execute("insert into T ( [NAME] , qty ) values ( 'x' , 5 )");
  exec.execute("insert into t (qty, name) values (6, 'y')");
  const auto& rows = db.memoryTable("t")->rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].i, 1);  // the engine drew the AutoNumber
  EXPECT_EQ(rows[1][0].i, 2);
  EXPECT_EQ(rows[0][1].s, "x");
  EXPECT_EQ(rows[0][2].kind, Kind::kBoolean);
  EXPECT_FALSE(rows[0][2].b);
  EXPECT_EQ(rows[1][3].i, 6);
  EXPECT_EQ(rows[1][1].s, "y");
}

TEST_F(SqlExecutor, RejectsWithPreciseMessages) {
  exec.execute("CREATE TABLE T (A INT, B TEXT(2) NOT NULL)");
  EXPECT_EQ(failure("CREATE TABLE t (X INT)"), "SQL error: Table 't' already exists at character 14.");
  EXPECT_EQ(lastNumber, kErrSql);
  EXPECT_EQ(failure("DROP TABLE U"), "SQL error: Table 'U' does not exist at character 12.");
  EXPECT_EQ(failure("INSERT INTO U VALUES (1)"), "SQL error: Could not find output table 'U' at character 13.");
  EXPECT_EQ(failure("INSERT INTO T VALUES (1)"),
            "SQL error: Number of query values and destination fields are not the same: 1 values for the 2 columns of "
            "table 'T' "
            "at character 22.");
  EXPECT_EQ(failure("INSERT INTO T (A, C) VALUES (1, 'x')"),
            "SQL error: The INSERT INTO statement contains the unknown field name 'C' at character 19.");
  EXPECT_EQ(failure("INSERT INTO T (A, a) VALUES (1, 2)"),
            "SQL error: Duplicate output destination 'a' at character 19.");
  EXPECT_EQ(failure("INSERT INTO T (A) VALUES (1)"),
            "SQL error: The column 'B' cannot contain a Null value (it is NOT NULL) and is not in the column list at "
            "character 13.");
  EXPECT_EQ(failure("INSERT INTO T VALUES (1, 'abc')"),
            "SQL error: The field is too small to accept the amount of data you attempted to add: 3 characters for "
            "column 'B' "
            "(TEXT(2)) at character 26.");
  EXPECT_EQ(failure("INSERT INTO T VALUES ('\xff', 'a')"),
            "SQL error: The statement is not valid UTF-8 text at character 24.");
  EXPECT_EQ(db.memoryTable("T")->rows().size(), 0u);

  // The engine's own rejections become SQL errors; failures of the file stay what they are.
  auto* t = db.memoryTable("T");
  t->failNextInsert = DbError(kErrSql, "Record is too large.");
  EXPECT_EQ(failure("INSERT INTO T VALUES (1, 'a')"), "SQL error: Record is too large.");
  t->failNextInsert = DbError(kErrDiskFull, "/tmp/x.mdb: no space left on the device");
  EXPECT_EQ(failure("INSERT INTO T VALUES (1, 'a')"), "/tmp/x.mdb: no space left on the device");
  EXPECT_EQ(lastNumber, kErrDiskFull);
  EXPECT_EQ(exec.execute("INSERT INTO T VALUES (1, 'a')"), 1);
}

}  // namespace
}  // namespace qv::sql
