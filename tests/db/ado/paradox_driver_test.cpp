// The Paradox driver behind Connection and Recordset: the run's connection string, the
// table lookup (letter case, sub-folders), field types and values as the layer reports them.

#include <gtest/gtest.h>

#include <filesystem>

#include "db/ado/connection.h"
#include "db/ado/data_type.h"
#include "db/ado/error.h"
#include "db/ado/paradox_driver.h"
#include "db/ado/recordset.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::ado {
namespace {

namespace fs = std::filesystem;

// The string the conversion run builds for a folder.
QString runConnectionString(const QString& folder) {
  return QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=") + folder +
         QStringLiteral("\\;Dbq=") + folder + QStringLiteral("\\;CollatingSequence=ASCII;");
}

QString corpusDir(const std::string& rel) { return QString::fromStdString(test::testdataDir() + "/paradox/" + rel); }

std::unique_ptr<Connection> openFolder(const QString& folder) {
  auto conn = Connection::Create();
  conn->setCursorLocation(adUseClient);
  conn->Open(runConnectionString(folder));
  return conn;
}

TEST(ParadoxDriver, OpensTablesOfTheRunsConnectionStringWithTheirAdoTypes) {
  QV_REQUIRE_TESTDATA();
  auto conn = openFolder(corpusDir("celebithil-Rparadox"));
  Recordset rs;
  rs.Open(QStringLiteral("SELECT * FROM [TYPSAMMLUNG]"), *conn, adOpenStatic, adLockOptimistic);
  EXPECT_EQ(rs.recordcount(), 5);
  const int expected[] = {adVarChar, adDouble,  adDouble,        adSmallInt,    adInteger,
                          adDouble,  adDBDate,  adDBTimeStamp,   adDBTimeStamp, adLongVarChar,
                          adBoolean, adInteger, adLongVarBinary, adBinary};
  ASSERT_EQ(rs.Fields().Count(), 14);
  for (int i = 0; i < 14; ++i) EXPECT_EQ(rs.Fields()(i).Type(), expected[i]) << i;
  EXPECT_EQ(rs.Fields()(2).name(), QStringLiteral("W\u00e4hrung"));
  // First row: "AAA Irgendein Text", 40, ..., BCD 40 with 6 decimals, 1970-01-01, midnight, 11:00.
  EXPECT_EQ(rs.Fields()(0).Value(), Value::text(QStringLiteral("AAA Irgendein Text")));
  EXPECT_EQ(rs.Fields()(3).Value(), Value::integer(40));
  EXPECT_EQ(rs.Fields()(5).Value(), Value::decimal(QStringLiteral("40.000000")));
  EXPECT_EQ(rs.Fields()(6).Value(), Value::dateTime(QDate(1970, 1, 1)));
  EXPECT_EQ(rs.Fields()(7).Value(), Value::timeOnly(QTime(0, 0)));
  EXPECT_EQ(rs.Fields()(8).Value(), Value::dateTime(QDate(1970, 1, 1), QTime(11, 0)));
  EXPECT_TRUE(rs.Fields()(9).Value().isNull());
  int rows = 0;
  bool sawTrue = false;
  while (!rs.eof()) {
    if (rs.Fields()(10).Value() == Value::boolean(true)) sawTrue = true;
    rs.MoveNext();
    ++rows;
  }
  EXPECT_EQ(rows, 5);
  EXPECT_TRUE(sawTrue);
  rs.Close();
  conn->Close();
}

TEST(ParadoxDriver, FindsTablesWithoutRegardToCaseAndInSubFolders) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const fs::path root(dir.path());
  fs::create_directories(root / "sub" / "deeper");
  fs::copy_file(test::testdataDir() + "/paradox/leonhad-paradoxdriver/fields/memo.db", root / "Memo.DB");
  fs::copy_file(test::testdataDir() + "/paradox/leonhad-paradoxdriver/fields/memo.mb", root / "MEMO.mb");
  fs::copy_file(test::testdataDir() + "/paradox/leonhad-paradoxdriver/db/CONTACTS.DB",
                root / "sub" / "deeper" / "contacts.db");
  fs::copy_file(test::testdataDir() + "/paradox/leonhad-paradoxdriver/fields/long.db", root / "sub" / "old.dbase.db");
  auto conn = openFolder(QString::fromStdString(dir.path()));
  Recordset memo;
  memo.Open(QStringLiteral("SELECT * FROM [MEMO]"), *conn, adOpenStatic, adLockOptimistic);
  EXPECT_EQ(memo.recordcount(), 2);
  EXPECT_GT(memo.Fields()(1).Value().asText().size(), 250) << "the .mb found although its name differs in case";
  Recordset contacts;
  contacts.Open(QStringLiteral("SELECT * FROM [CONTACTS]"), *conn, adOpenStatic, adLockOptimistic);
  EXPECT_EQ(contacts.recordcount(), 55) << "a table two folders down";
  Recordset odd;
  odd.Open(QStringLiteral("SELECT * FROM [OLDASE]"), *conn, adOpenStatic, adLockOptimistic);
  EXPECT_EQ(odd.recordcount(), 3) << "the name discovery gives old.dbase.db";
  Recordset none;
  try {
    none.Open(QStringLiteral("SELECT * FROM [NOSUCH]"), *conn, adOpenStatic, adLockOptimistic);
    FAIL() << "an unknown table";
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains(QStringLiteral("NOSUCH"))) << e.what();
  }
  auto schema = conn->OpenSchema(adSchemaTables);
  ASSERT_FALSE(schema->eof());
  EXPECT_EQ(schema->Fields()(QStringLiteral("TABLE_NAME")).Value(), Value::text(QStringLiteral("MEMO")));
}

TEST(ParadoxDriver, AcceptsOnlyItsDriverNameInAnyCase) {
  auto driver = makeParadoxDriver();
  EXPECT_TRUE(
      driver->accepts(ConnectionString(QStringLiteral("DRIVER={microsoft paradox driver (*.DB )};Dbq=/tmp\\;"))));
  EXPECT_FALSE(driver->accepts(ConnectionString(QStringLiteral("Driver={Microsoft Access Driver (*.mdb)};Dbq=/tmp"))));
  EXPECT_FALSE(driver->accepts(ConnectionString(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb"))));
  EXPECT_THROW(
      driver->open(ConnectionString(QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};Dbq=/no/such/folder\\;")),
                   0),
      Error);
}

TEST(ParadoxDriver, DamagedTablesFailWithTheirFileName) {
  QV_REQUIRE_TESTDATA();
  auto conn = openFolder(corpusDir("bio-guoda-preston"));
  Recordset rs;
  try {
    rs.Open(QStringLiteral("SELECT * FROM [NOT-A]"), *conn, adOpenStatic, adLockOptimistic);
    FAIL() << "not a table";
  } catch (const Error& e) {
    EXPECT_TRUE(e.description().contains(QStringLiteral("not-a.DB"))) << e.what();
  }
  EXPECT_EQ(paradoxTableName(QStringLiteral("old.dbase.db")), QStringLiteral("OLDASE"));
  EXPECT_EQ(paradoxTableName(QStringLiteral("Orders.db")), QStringLiteral("ORDERS"));
}

}  // namespace
}  // namespace qv::ado
