#include <gtest/gtest.h>

#include "db/ado/connection.h"
#include "db/ado/data_type.h"
#include "db/ado/error.h"
#include "support/memory_driver.h"
#include "db/ado/recordset.h"

namespace qv::ado {
namespace {

class RecordsetRead : public ::testing::Test {
 protected:
  void SetUp() override {
    resetMemoryStores();
    MemoryTable t;
    t.name = QStringLiteral("Orders");
    t.fields = {{QStringLiteral("ID"), adInteger, 4}, {QStringLiteral("Name"), adVarChar, 10}};
    t.rows = {{Value::integer(1), Value::text(QStringLiteral("a"))}, {Value::integer(2), Value::null()}};
    memoryStore(QStringLiteral("s")).tables.push_back(t);
    memoryStore(QStringLiteral("s")).tables.push_back({QStringLiteral("Empty"), QStringLiteral("TABLE"), t.fields, {}});
    memoryStore(QStringLiteral("s"))
        .tables.push_back({QStringLiteral("MSysObjects"), QStringLiteral("SYSTEM TABLE"), {}, {}});
    installMemoryDriver();
    conn = Connection::Create();
    conn->setCursorLocation(adUseClient);
    conn->Open(QStringLiteral("Provider=memory;Data Source=s"));
  }
  void TearDown() override {
    conn.reset();  // its session refers to the store
    resetMemoryStores();
  }
  std::unique_ptr<Connection> conn;
};

TEST_F(RecordsetRead, WalksRowsWithEofBofAndRecordCount) {
  Recordset rs;
  rs.Open(QStringLiteral("SELECT * FROM [orders]"), *conn, adOpenStatic, adLockOptimistic);
  EXPECT_FALSE(rs.eof());
  EXPECT_FALSE(rs.bof());
  EXPECT_EQ(rs.recordcount(), 2);
  EXPECT_EQ(rs.Fields().Count(), 2);
  EXPECT_EQ(rs.Fields()(1).name(), QStringLiteral("Name"));
  EXPECT_EQ(rs.Fields()(1).Type(), adVarChar);
  EXPECT_EQ(rs.Fields()(QStringLiteral("name")).Value(), Value::text(QStringLiteral("a")));
  rs.MoveNext();
  EXPECT_TRUE(rs.Fields()(1).Value().isNull());
  rs.MoveNext();
  EXPECT_TRUE(rs.eof());
  EXPECT_FALSE(rs.bof());
  EXPECT_THROW(rs.Fields()(0).Value(), Error);
  EXPECT_THROW(rs.MoveNext(), Error);
  EXPECT_THROW(rs.Fields()(2), Error);
  rs.Close();
  EXPECT_THROW(rs.eof(), Error);
}

TEST_F(RecordsetRead, AnEmptyTableIsAtBothEofAndBof) {
  Recordset rs;
  rs.Open(QStringLiteral("SELECT * FROM [Empty]"), *conn);
  EXPECT_TRUE(rs.eof());
  EXPECT_TRUE(rs.bof());
  EXPECT_EQ(rs.recordcount(), 0);
  EXPECT_EQ(rs.Fields().Count(), 2);
}

TEST_F(RecordsetRead, SchemaRowsAndClosedConnections) {
  auto schema = conn->OpenSchema(adSchemaTables);
  QStringList seen;
  for (; !schema->eof(); schema->MoveNext()) {
    seen << schema->Fields()(QStringLiteral("TABLE_TYPE")).Value().asText() + u':' +
                schema->Fields()(QStringLiteral("TABLE_NAME")).Value().asText();
  }
  EXPECT_EQ(seen, (QStringList{"TABLE:Orders", "TABLE:Empty", "SYSTEM TABLE:MSysObjects"}));
  conn->Close();
  EXPECT_EQ(conn->State(), adStateClosed);
  EXPECT_THROW(conn->Execute(QStringLiteral("DROP TABLE `Orders`")), Error);
  try {
    Connection().Open(QStringLiteral("Provider=Nobody;Data Source=x"));
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrProviderNotFound);
    EXPECT_TRUE(e.description().contains(QStringLiteral("provider cannot be found"), Qt::CaseInsensitive));
  }
}

TEST(ConnectionCreate, FailsWith3706WhenTheLayerHasNoDriver) {
  DriverRegistry::instance().clear();
  EXPECT_THROW(
      {
        try {
          Connection::Create();
        } catch (const Error& e) {
          EXPECT_EQ(e.number(), 3706);
          throw;
        }
      },
      Error);
  DriverRegistry::instance().restoreBuiltins();
  EXPECT_NE(Connection::Create(), nullptr);
}

}  // namespace
}  // namespace qv::ado
