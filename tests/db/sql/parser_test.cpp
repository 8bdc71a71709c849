// The parser: the statements the converter generates, statements as users type them, and
// the messages for malformed ones.

#include <gtest/gtest.h>

#include "db/sql/parser.h"
#include "db/sql/sql_error.h"

namespace qv::sql {
namespace {

using jet::ColumnType;

Statement parse(std::string_view sql) {
  Statement s;
  parseStatement(sql, s);
  return s;
}

// The description of the SQL error the statement raises ("" when it parses).
std::string errorOf(std::string_view sql) {
  try {
    parse(sql);
  } catch (const DbError& e) {
    EXPECT_EQ(e.number(), kErrSql);
    return e.what();
  }
  return "";
}

TEST(Parser, GeneratedStatements) {
  Statement c = parse("CREATE TABLE `STOCK` ([ID] INT,[NAME] TEXT,[PRICE] FLOAT);");
  ASSERT_EQ(c.kind, Statement::Kind::kCreateTable);
  EXPECT_EQ(c.table.text, "STOCK");
  ASSERT_EQ(c.columns.size(), 3u);
  EXPECT_EQ(c.columns[0].def.name, "ID");
  EXPECT_EQ(c.columns[0].def.type, ColumnType::kLong);
  EXPECT_EQ(c.columns[1].def.type, ColumnType::kMemo);
  EXPECT_EQ(c.columns[2].def.type, ColumnType::kDouble);

  Statement i = parse("INSERT INTO `STOCK` VALUES (7, 'O''Brien', '01/03/2021');");
  ASSERT_EQ(i.kind, Statement::Kind::kInsert);
  ASSERT_EQ(i.values.size(), 3u);
  EXPECT_EQ(i.values[0].kind, Literal::Kind::kNumber);
  EXPECT_EQ(i.values[0].text, "7");
  EXPECT_EQ(i.values[1].kind, Literal::Kind::kString);
  EXPECT_EQ(i.values[1].text, "O''Brien");
  EXPECT_TRUE(i.values[1].hasDoubled);
  EXPECT_EQ(i.values[2].text, "01/03/2021");

  Statement n = parse("INSERT INTO `STOCK` VALUES (7,NULL, '01/03/2021 14:05:09');");
  EXPECT_EQ(n.values[1].kind, Literal::Kind::kNull);
  EXPECT_EQ(n.values[2].offset, 36u);

  Statement d = parse("DROP TABLE `STOCK`;");
  EXPECT_EQ(d.kind, Statement::Kind::kDropTable);
  EXPECT_EQ(d.table.text, "STOCK");
  // Names with blanks and odd characters, as Paradox tables have them.
  EXPECT_EQ(parse("CREATE TABLE `Order Items#2` ([Unit Price] FLOAT)").columns[0].def.name, "Unit Price");
}

TEST(Parser, TypedByUsers) {
  Statement s = parse(
      "  create table Parts\r\n"
      "  ( id counter not null,\n"
      "    code char(10) NOT NULL, title varchar, note memo with compression,\n"
      "    price decimal(10,2), qty smallint, w real, flag yesno, pic longbinary,\n"
      "    added datetime, cost money, b byte, g guid, raw binary(16),\n"
      "    d double precision, nc national character varying (20), dflt decimal)  ;  ");
  ASSERT_EQ(s.columns.size(), 17u);
  const auto& c = s.columns;
  EXPECT_TRUE(c[0].def.autoIncrement);
  EXPECT_TRUE(c[0].def.notNull);
  EXPECT_EQ(c[1].def.type, ColumnType::kText);
  EXPECT_EQ(c[1].def.length, 10);
  EXPECT_TRUE(c[1].def.notNull);
  EXPECT_EQ(c[2].def.type, ColumnType::kText);
  EXPECT_EQ(c[2].def.length, 255);
  EXPECT_EQ(c[3].def.type, ColumnType::kMemo);
  EXPECT_EQ(c[4].def.type, ColumnType::kNumeric);
  EXPECT_EQ(c[4].def.precision, 10);
  EXPECT_EQ(c[4].def.scale, 2);
  EXPECT_EQ(c[5].def.type, ColumnType::kInteger);
  EXPECT_EQ(c[6].def.type, ColumnType::kSingle);
  EXPECT_EQ(c[7].def.type, ColumnType::kBoolean);
  EXPECT_EQ(c[8].def.type, ColumnType::kOle);
  EXPECT_EQ(c[9].def.type, ColumnType::kDateTime);
  EXPECT_EQ(c[10].def.type, ColumnType::kCurrency);
  EXPECT_EQ(c[11].def.type, ColumnType::kByte);
  EXPECT_EQ(c[12].def.type, ColumnType::kGuid);
  EXPECT_EQ(c[13].def.type, ColumnType::kBinary);
  EXPECT_EQ(c[13].def.length, 16);
  EXPECT_EQ(c[14].def.type, ColumnType::kDouble);
  EXPECT_EQ(c[15].def.type, ColumnType::kText);
  EXPECT_EQ(c[15].def.length, 20);
  EXPECT_EQ(c[16].def.precision, 18);
  EXPECT_EQ(c[16].def.scale, 0);

  Statement i = parse("insert into [Parts] (code, [title])\n values ( - 12.5e-1 , \"say \"\"hi\"\"\"\n)");
  ASSERT_TRUE(i.hasColumnList);
  ASSERT_EQ(i.insertColumns.size(), 2u);
  EXPECT_EQ(i.insertColumns[1].text, "title");
  EXPECT_TRUE(i.values[0].negative);
  EXPECT_EQ(i.values[0].text, "12.5e-1");
  EXPECT_EQ(i.values[1].quote, '"');

  Statement b = parse("INSERT INTO t VALUES (TRUE, false, Yes, #1/2/2021#, +3, 'a\nb;c')");
  EXPECT_TRUE(b.values[0].booleanValue);
  EXPECT_FALSE(b.values[1].booleanValue);
  EXPECT_TRUE(b.values[2].booleanValue);
  EXPECT_EQ(b.values[3].kind, Literal::Kind::kDate);
  EXPECT_EQ(b.values[3].text, "1/2/2021");
  EXPECT_FALSE(b.values[4].negative);
  EXPECT_EQ(b.values[5].text, "a\nb;c");
}

TEST(Parser, ErrorsSayWhatAndWhere) {
  EXPECT_EQ(errorOf("DROP TABLE `T`; x"),
            "SQL error: Characters found after end of SQL statement. Found 'x' at character 17.");
  EXPECT_EQ(errorOf("DROP TABLE `T`;;"),
            "SQL error: Characters found after end of SQL statement. Found ';' at character 16.");
  EXPECT_EQ(errorOf("SELECT * FROM t"),
            "SQL error: Invalid SQL statement; expected CREATE TABLE, CREATE INDEX, DROP TABLE or INSERT INTO but "
            "found 'SELECT' "
            "at character 1.");
  EXPECT_EQ(errorOf("   "),
            "SQL error: Invalid SQL statement: the statement is empty; expected CREATE TABLE, CREATE INDEX, DROP TABLE "
            "or INSERT "
            "INTO.");
  EXPECT_EQ(
      errorOf("INSERT INTO `T` VALUES NULL, 'x');"),
      "SQL error: Syntax error in INSERT INTO statement: expected '(' after VALUES but found 'NULL' at character 24.");
  EXPECT_EQ(errorOf("INSERT INTO `T` VALUES (1, 'it's')"),
            "SQL error: Syntax error in INSERT INTO statement: expected ',' or ')' after a value but found 's' at "
            "character 32.");
  EXPECT_EQ(errorOf("INSERT INTO `T` VALUES (1, 'open"),
            "SQL error: Syntax error: the text that begins at character 28 has no closing apostrophe.");
  EXPECT_EQ(errorOf("INSERT INTO `T VALUES (1)"),
            "SQL error: Syntax error: the name that begins at character 13 has no closing '`'.");
  EXPECT_EQ(errorOf("INSERT INTO T VALUES (1,)"),
            "SQL error: Syntax error in INSERT INTO statement: expected a value (NULL, a number, 'text' or #date#) but "
            "found ')' "
            "at character 25.");
  EXPECT_EQ(errorOf("INSERT INTO T VALUES (1, abc)"),
            "SQL error: Syntax error in INSERT INTO statement: 'abc' at character 26 is not a value (a text goes "
            "between apostrophes).");
  EXPECT_EQ(errorOf("INSERT INTO T VALUES (1"),
            "SQL error: Syntax error in INSERT INTO statement: expected ',' or ')' after a value but found the end of "
            "the statement "
            "at character 24.");
  EXPECT_EQ(errorOf("CREATE TABLE T ([A] VARCHAR(300))"),
            "SQL error: Syntax error in CREATE TABLE statement: the size '300' at character 29 must be a whole number "
            "from 1 to 255.");
  EXPECT_EQ(errorOf("CREATE TABLE T ([A] STRANGE)"),
            "SQL error: Syntax error in CREATE TABLE statement: unknown column type 'STRANGE' for column 'A' at "
            "character 21.");
  EXPECT_EQ(errorOf("CREATE TABLE T ([A] INT, [a] TEXT)"),
            "SQL error: Field 'a' defined more than once at character 26.");
  EXPECT_EQ(errorOf("CREATE TABLE T ([A] FLOAT(8))"),
            "SQL error: Syntax error in CREATE TABLE statement: the type 'FLOAT' of column 'A' takes no size, but one "
            "is given at "
            "character 26.");
  EXPECT_EQ(errorOf("CREATE TABLE T ([A] DECIMAL(10,12))"),
            "SQL error: Syntax error in CREATE TABLE statement: the scale '12' at character 32 must be a whole number "
            "from 0 to 10.");
  EXPECT_EQ(errorOf("CREATE TABLE `a.b` ([A] INT)"),
            "SQL error: The table name 'a.b' at character 14 holds a character a name cannot hold (. ! ` [ ] or a "
            "control character).");
  EXPECT_EQ(
      errorOf("CREATE TABLE T ([A] INT DEFAULT 1)"),
      "SQL error: Relationships, defaults and check constraints are not supported in CREATE TABLE: found 'DEFAULT' at "
      "character 25.");
  EXPECT_EQ(errorOf("CREATE TABLE T ([A] INT, CONSTRAINT PRIMARY KEY (A))"),
            "SQL error: Syntax error in CREATE TABLE statement: expected PRIMARY KEY or UNIQUE but found 'KEY' at "
            "character 45.");
  EXPECT_EQ(errorOf("CREATE INDEX I ON T (A DESC) WITH NOTHING"),
            "SQL error: Syntax error in CREATE INDEX statement: expected PRIMARY, DISALLOW NULL or IGNORE NULL after "
            "WITH but "
            "found 'NOTHING' at character 35.");
  EXPECT_EQ(
      errorOf("CREATE UNIQUE TABLE T (A INT)"),
      "SQL error: Syntax error in CREATE INDEX statement: expected INDEX after CREATE UNIQUE but found 'TABLE' at "
      "character 15.");
  EXPECT_EQ(errorOf("CREATE TABLE T ()"),
            "SQL error: Syntax error in CREATE TABLE statement: expected a column name but found ')' at character 17.");
  EXPECT_EQ(errorOf("CREATE TABLE T (id COUNTER(1, 1), n AUTOINCREMENT(100,5))"),
            "SQL error: AutoNumber column 'n' may only start at 1 and count by 1: found '100' at character 51.");
  EXPECT_EQ(errorOf("DROP TABLE a b"),
            "SQL error: Syntax error in DROP TABLE statement: expected the end of the statement but "
            "found 'b' at character 14.");
  // Positions count characters, not bytes.
  EXPECT_EQ(errorOf("INSERT INTO `Käse` VALUES (1,)"),
            "SQL error: Syntax error in INSERT INTO statement: expected a value (NULL, a number, 'text' or #date#) but "
            "found ')' "
            "at character 30.");
  // A long token is cut in the message.
  std::string longWord(100, 'x');
  EXPECT_NE(errorOf("INSERT INTO T VALUES (" + longWord + ")").find("'" + std::string(40, 'x') + "...'"),
            std::string::npos);
  EXPECT_NE(errorOf("CREATE TABLE `" + std::string(65, 'n') + "` (a INT)").find("is longer than 64 characters"),
            std::string::npos);
}

}  // namespace
}  // namespace qv::sql

namespace qv::sql {
namespace {

TEST(Parser, KeysAndIndexes) {
  Statement s;
  parseStatement(
      "CREATE TABLE `T` ([A] INTEGER CONSTRAINT [PK] PRIMARY KEY, [B] TEXT(10) UNIQUE, [C] DOUBLE, "
      "CONSTRAINT [BC] UNIQUE ([B], [C]))",
      s);
  ASSERT_EQ(s.kind, Statement::Kind::kCreateTable);
  ASSERT_EQ(s.columns.size(), 3u);
  ASSERT_EQ(s.indexes.size(), 3u);
  EXPECT_EQ(s.indexes[0].name.text, "PK");
  EXPECT_TRUE(s.indexes[0].primaryKey);
  ASSERT_EQ(s.indexes[0].columns.size(), 1u);
  EXPECT_EQ(s.indexes[0].columns[0].name.text, "A");
  EXPECT_TRUE(s.indexes[1].name.text.empty());
  EXPECT_TRUE(s.indexes[1].unique);
  EXPECT_EQ(s.indexes[2].columns.size(), 2u);

  parseStatement("create unique index [By Name] on [People] ([Last] desc, [First] ASC) with disallow null ignore null;",
                 s);
  ASSERT_EQ(s.kind, Statement::Kind::kCreateIndex);
  EXPECT_EQ(s.table.text, "People");
  ASSERT_EQ(s.indexes.size(), 1u);
  const IndexClause& x = s.indexes[0];
  EXPECT_EQ(x.name.text, "By Name");
  EXPECT_TRUE(x.unique);
  EXPECT_FALSE(x.primaryKey);
  EXPECT_TRUE(x.required);
  EXPECT_TRUE(x.ignoreNulls);
  ASSERT_EQ(x.columns.size(), 2u);
  EXPECT_FALSE(x.columns[0].ascending);
  EXPECT_TRUE(x.columns[1].ascending);

  parseStatement("CREATE INDEX PrimaryKey ON T (A) WITH PRIMARY", s);
  EXPECT_TRUE(s.indexes[0].primaryKey);
  parseStatement("CREATE TABLE T (A INT, B INT, PRIMARY KEY (A, B))", s);
  ASSERT_EQ(s.indexes.size(), 1u);
  EXPECT_TRUE(s.indexes[0].name.text.empty());
  EXPECT_EQ(s.indexes[0].columns.size(), 2u);
}

}  // namespace
}  // namespace qv::sql
