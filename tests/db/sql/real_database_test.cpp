// Statements through the front end into real database files written by the Jet engine,
// read back by independent readers: mdb-reader (node) value by value, and mdbtools.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "db/jet/database.h"
#include "db/sql/executor.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::sql {
namespace {

// The database as mdb-reader sees it (see tests/js/mdb_dump.mjs).
QJsonObject dump(const std::string& file) {
  std::string out;
  const int status = test::runCommand("node '" + test::nodeToolsDir() + "/mdb_dump.mjs' '" + file + "' 2>&1", &out);
  EXPECT_EQ(status, 0) << out;
  return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
}

QJsonArray rowsOf(const QJsonObject& d, const char* table) {
  return d["data"].toObject()[QLatin1String(table)].toObject()["rows"].toArray();
}

bool haveMdbTools() { return test::runCommand("command -v mdb-export >/dev/null 2>&1", nullptr) == 0; }

class RealDatabase : public ::testing::TestWithParam<jet::Format> {
 protected:
  std::string file() const { return dir.file(GetParam() == jet::Format::kJet4 ? "target.mdb" : "target.accdb"); }
  test::TempDir dir;
};

TEST_P(RealDatabase, GeneratedStatementsReadBackAsWritten) {
  QV_REQUIRE_TOOL(!test::nodeToolsDir().empty(), "node with mdb-reader");
  {
    auto db = jet::createDatabase(file(), GetParam());
    Executor exec(*db);
    const char* script[] = {
        "CREATE TABLE `STOCK` ([ID] INT,[NAME] TEXT,[PRICE] FLOAT,[WHEN] TEXT,[PIC] BLOB,[QTY] DECIMAL,[NOTE] TEXT);",
        "INSERT INTO `STOCK` VALUES (7, 'O''Brien', 3.25, '01/03/2021', '0x00ff10', 12, 'line one\r\nline two');",
        "INSERT INTO `STOCK` VALUES (8,NULL, -1.5E-3, '01/03/2021 14:05:09',NULL, -3, 'Grüße – 日本 😀');",
        "INSERT INTO `STOCK` VALUES (-2147483648, '', 1E+300, 'x',NULL,NULL, '    ');",
    };
    for (const char* s : script) exec.execute(s);
    db->close();
  }
  QJsonObject d = dump(file());
  EXPECT_TRUE(d["tables"].toArray().contains(QStringLiteral("STOCK")));
  QJsonArray rows = rowsOf(d, "STOCK");
  ASSERT_EQ(rows.size(), 3);
  auto row = [&](int i) { return rows[i].toArray(); };
  EXPECT_EQ(row(0)[0].toInt(), 7);
  EXPECT_EQ(row(0)[1].toString(), QStringLiteral("O'Brien"));
  EXPECT_EQ(row(0)[2].toDouble(), 3.25);
  EXPECT_EQ(row(0)[3].toString(), QStringLiteral("01/03/2021"));
  EXPECT_EQ(row(0)[4].toObject()["hex"].toString(), QStringLiteral("00ff10"));
  EXPECT_EQ(row(0)[5].toString(), QStringLiteral("12"));
  EXPECT_EQ(row(0)[6].toString(), QStringLiteral("line one\r\nline two"));
  EXPECT_TRUE(row(1)[1].isNull());
  EXPECT_EQ(row(1)[2].toDouble(), -1.5e-3);
  EXPECT_EQ(row(1)[3].toString(), QStringLiteral("01/03/2021 14:05:09"));
  EXPECT_TRUE(row(1)[4].isNull());
  EXPECT_EQ(row(1)[5].toString(), QStringLiteral("-3"));
  EXPECT_EQ(row(1)[6].toString(), QStringLiteral("Grüße – 日本 😀"));
  EXPECT_EQ(row(2)[0].toInt(), -2147483648LL);
  EXPECT_EQ(row(2)[1].toString(), QString());
  EXPECT_EQ(row(2)[2].toDouble(), 1e300);
  EXPECT_EQ(row(2)[6].toString(), QStringLiteral("    "));
}

TEST_P(RealDatabase, EveryColumnTypeAndTheRejectedRows) {
  QV_REQUIRE_TOOL(!test::nodeToolsDir().empty(), "node with mdb-reader");
  {
    auto db = jet::createDatabase(file(), GetParam());
    Executor exec(*db);
    exec.execute(
        "create table [All Types] (id counter, t varchar(5) not null, b byte, s smallint, l long, m money, r real, "
        "d double, dt datetime, y yesno, o longbinary, n decimal(10,3), g guid, x memo)");
    exec.execute(
        "insert into [all types] (t, b, s, l, m, r, d, dt, y, o, n, g, x) values ('abc', 255, -32768, 2147483647, "
        "-922337203685477.5808, 1.5, '2.5e-3', '1/3/2021 2:05:09 PM', true, 'hi', '-1234.5678', "
        "'{00112233-4455-6677-8899-AABBCCDDEEFF}', 'memo')");
    // Rejected rows leave no trace; the next row goes in.
    EXPECT_THROW(exec.execute("insert into [all types] (t) values ('abcdef')"), DbError);
    EXPECT_THROW(exec.execute("insert into [all types] (t, b) values ('a', 256)"), DbError);
    EXPECT_THROW(exec.execute("insert into [all types] (b) values (1)"), DbError);
    exec.execute("insert into [all types] (t, dt, y) values ('e', #12/30/1899 10:30#, NULL)");
    exec.execute("CREATE TABLE gone (a INT)");
    exec.execute("DROP TABLE gone");
    db->close();
  }
  QJsonObject d = dump(file());
  EXPECT_FALSE(d["tables"].toArray().contains(QStringLiteral("gone")));
  QJsonArray rows = rowsOf(d, "All Types");
  ASSERT_EQ(rows.size(), 2);
  QJsonArray r = rows[0].toArray();
  EXPECT_EQ(r[0].toInt(), 1);
  EXPECT_EQ(r[1].toString(), QStringLiteral("abc"));
  EXPECT_EQ(r[2].toInt(), 255);
  EXPECT_EQ(r[3].toInt(), -32768);
  EXPECT_EQ(r[4].toInt(), 2147483647);
  EXPECT_EQ(r[5].toString(), QStringLiteral("-922337203685477.5808"));
  EXPECT_EQ(r[6].toDouble(), 1.5);
  EXPECT_EQ(r[7].toDouble(), 2.5e-3);
  EXPECT_EQ(r[8].toString(), QStringLiteral("2021-01-03T14:05:09.000"));
  EXPECT_EQ(r[9].toBool(), true);
  EXPECT_EQ(r[10].toObject()["hex"].toString(), QStringLiteral("68006900"));  // 'hi' as UTF-16LE
  EXPECT_EQ(r[11].toString(), QStringLiteral("-1234.568"));
  EXPECT_EQ(r[12].toString().toLower(), QStringLiteral("{00112233-4455-6677-8899-aabbccddeeff}").mid(1, 36));
  EXPECT_EQ(r[13].toString(), QStringLiteral("memo"));
  r = rows[1].toArray();
  EXPECT_EQ(r[0].toInt(), 2);
  EXPECT_EQ(r[8].toString(), QStringLiteral("1899-12-30T10:30:00.000"));
  EXPECT_EQ(r[9].toBool(), false);
  EXPECT_TRUE(r[4].isNull());

  QV_REQUIRE_TOOL(haveMdbTools(), "mdbtools");
  std::string csv;
  ASSERT_EQ(test::runCommand("mdb-export -H '" + file() + "' 'All Types'", &csv), 0);
  EXPECT_NE(csv.find("1,\"abc\",255,-32768,2147483647"), std::string::npos) << csv;
}

INSTANTIATE_TEST_SUITE_P(Formats, RealDatabase, ::testing::Values(jet::Format::kJet4, jet::Format::kAce12),
                         [](const auto& p) { return p.param == jet::Format::kJet4 ? "Jet4" : "Ace12"; });

}  // namespace
}  // namespace qv::sql
