// The Access provider over an in-memory engine: which strings it takes, Open's failures,
// Execute, OpenSchema(20) and reading a table.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/ado/access_provider.h"
#include "db/ado/data_type.h"
#include "db/ado/error.h"
#include "db/ado/recordset.h"
#include "support/memory_database.h"
#include "support/temp_dir.h"
#include "support/testdata.h"
#include "support/unprivileged.h"

namespace qv::ado {
namespace {

class AccessProviderSession : public ::testing::Test {
 protected:
  AccessProviderSession() {
    std::ofstream(file) << "stands in for a database";
    provider = makeAccessProvider([this](const std::string& path, const jet::OpenOptions& options) {
      openedPath = path;
      openedOptions = options;
      auto db = std::make_unique<test::MemoryDatabase>();
      db->setPath(path);
      db->extraCatalog = extraCatalog;
      database = db.get();
      return db;
    });
  }

  std::unique_ptr<Session> open(const QString& text, int mode = adModeReadWrite) {
    ConnectionString cs(text);
    EXPECT_TRUE(provider->accepts(cs)) << text.toStdString();
    return provider->open(cs, mode);
  }

  QString jetString() const {
    return QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") + QString::fromStdString(file) +
           QStringLiteral(";JET OLEDB:Database Password=");
  }

  test::TempDir dir;
  std::string file = dir.file("shop db.mdb");
  std::shared_ptr<Driver> provider;
  test::MemoryDatabase* database = nullptr;
  std::vector<jet::CatalogEntry> extraCatalog;
  std::string openedPath;
  jet::OpenOptions openedOptions;
};

TEST_F(AccessProviderSession, TakesTheTwoProviderStrings) {
  for (const char* p :
       {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=x", "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=x",
        "provider=microsoft.jet.oledb.4.0", " Provider = MICROSOFT.ACE.OLEDB.12.0 ;"}) {
    EXPECT_TRUE(provider->accepts(ConnectionString(QString::fromLatin1(p)))) << p;
  }
  for (const char* p :
       {"Provider=Microsoft.Jet.OLEDB.3.51", "Driver={Microsoft Paradox Driver (*.db )};Dbq=/x", "Data Source=x.mdb"}) {
    EXPECT_FALSE(provider->accepts(ConnectionString(QString::fromLatin1(p)))) << p;
  }
}

TEST_F(AccessProviderSession, OpensTheFileAsWrittenWithItsPassword) {
  auto s = open(QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + QString::fromStdString(file) +
                QStringLiteral(";JET OLEDB:Database Password=se;cr=et"));
  EXPECT_EQ(openedPath, file);
  EXPECT_EQ(openedOptions.password, "se;cr=et");
  EXPECT_FALSE(openedOptions.readOnly);
  s->close();
  EXPECT_TRUE(database->isClosed());

  open(jetString(), adModeRead);
  EXPECT_EQ(openedOptions.password, "");
  EXPECT_TRUE(openedOptions.readOnly);

  EXPECT_EQ(accessPassword(QStringLiteral("Provider=x;JET OLEDB:Database Password=a;b;Mode=Share Deny None")),
            QStringLiteral("a;b"));
  EXPECT_EQ(accessPassword(QStringLiteral("Provider=x;jet oledb:database password = p w ;")), QStringLiteral(" p w ;"));
  EXPECT_EQ(accessPassword(QStringLiteral("Provider=x;Data Source=y")), QString());

  // A blank after the file name is part of the name: that file does not exist.
  try {
    open(jetString().replace(QStringLiteral(".mdb;"), QStringLiteral(".mdb ;")));
    FAIL() << "opened a missing file";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrNotFound);
    EXPECT_EQ(e.description(), QStringLiteral("Could not find file '%1 '.").arg(QString::fromStdString(file)));
  }
  EXPECT_THROW(open(QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=;JET OLEDB:Database Password=")),
               Error);
}

TEST_F(AccessProviderSession, ExecutesStatementsAndReportsSqlErrors) {
  auto s = open(jetString());
  EXPECT_EQ(s->execute(QStringLiteral("CREATE TABLE `Stück` ([ID] INT,[NAME] TEXT,[PRICE] FLOAT,[PIC] BLOB);")), 0);
  EXPECT_EQ(s->execute(QStringLiteral("INSERT INTO `Stück` VALUES (7, 'O''Brien – ü', 3.25, '0x00ff');")), 1);
  EXPECT_EQ(s->execute(QStringLiteral("INSERT INTO `Stück` VALUES (8,NULL, 1, NULL);")), 1);
  try {
    s->execute(QStringLiteral("INSERT INTO `Stück` VALUES (9, 'x', 'cheap', NULL);"));
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrSql);
    EXPECT_EQ(e.description().toStdString(),
              "SQL error: Data type mismatch: 'cheap' is not a number for column 'PRICE' (DOUBLE) at character 37.");
  }

  auto cursor = s->query(QStringLiteral("SELECT * FROM [stück]"));
  ASSERT_EQ(cursor->fields().size(), 4u);
  EXPECT_EQ(cursor->fields()[0].type, adInteger);
  EXPECT_EQ(cursor->fields()[1].type, adLongVarWChar);
  EXPECT_EQ(cursor->fields()[2].type, adDouble);
  EXPECT_EQ(cursor->fields()[3].type, adLongVarBinary);
  EXPECT_EQ(cursor->recordCount(), 2);
  std::vector<Value> row;
  ASSERT_TRUE(cursor->fetch(row));
  EXPECT_EQ(row[1], Value::text(QStringLiteral("O'Brien – ü")));
  EXPECT_EQ(row[3], Value::bytes(QByteArray("\x00\xff", 2)));
  ASSERT_TRUE(cursor->fetch(row));
  EXPECT_TRUE(row[1].isNull());
  EXPECT_FALSE(cursor->fetch(row));
  EXPECT_THROW(s->query(QStringLiteral("SELECT a FROM b")), Error);
  s->close();
  EXPECT_THROW(s->execute(QStringLiteral("DROP TABLE `Stück`")), Error);
}

TEST_F(AccessProviderSession, SchemaRowsNameEveryKindOfTable) {
  extraCatalog = {{"MSysAccessStorage", jet::ObjectKind::kSystemTable, 5, 1, 2},
                  {"Remote", jet::ObjectKind::kLinkedTable, 6, 6, 0},
                  {"Server", jet::ObjectKind::kLinkedTable, 7, 4, 0},
                  {"Cheap items", jet::ObjectKind::kQuery, 8, 5, 0},
                  {"Delete old", jet::ObjectKind::kQuery, 9, 5, 32},
                  {"Form1", jet::ObjectKind::kOther, 10, -32768, 0}};
  auto s = open(jetString());
  s->execute(QStringLiteral("CREATE TABLE `b` (x INT)"));
  s->execute(QStringLiteral("CREATE TABLE `A` (x INT)"));
  auto cursor = s->openSchema(adSchemaTables);
  Recordset rs(std::move(cursor));
  QStringList seen;
  for (; !rs.eof(); rs.MoveNext()) {
    seen << rs.Fields()(QStringLiteral("TABLE_TYPE")).Value().asText() + u':' +
                rs.Fields()(QStringLiteral("TABLE_NAME")).Value().asText();
  }
  EXPECT_EQ(seen, (QStringList{"ACCESS TABLE:MSysAccessStorage", "LINK:Remote", "PASS-THROUGH:Server",
                               "SYSTEM TABLE:MSysObjects", "TABLE:A", "TABLE:b", "VIEW:Cheap items"}));
  EXPECT_THROW(s->openSchema(4), Error);
}

}  // namespace
}  // namespace qv::ado

namespace qv::ado {
namespace {

// The provider over the real engine: asked to write (Mode 3), the open itself fails with
// the reason when the database cannot be changed; asked to read, it opens.
class AccessProviderOpen : public ::testing::Test {
 protected:
  std::unique_ptr<Session> open(const std::string& file, int mode) {
    return provider->open(
        ConnectionString(QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") +
                         QString::fromStdString(file) + QStringLiteral(";JET OLEDB:Database Password=")),
        mode);
  }
  // The description of the failed open for writing; empty when it opened.
  std::string refusal(const std::string& file) {
    try {
      open(file, adModeReadWrite)->close();
      return {};
    } catch (const Error& e) {
      return e.description().toStdString();
    }
  }

  test::TempDir dir;
  std::shared_ptr<Driver> provider = makeAccessProvider(&jet::openDatabase);
};

TEST_F(AccessProviderOpen, ADatabaseHeldByAnotherWriterIsRefusedForWriting) {
  const std::string file = dir.file("held.mdb");
  auto writer = jet::createDatabase(file, jet::Format::kJet4);
  EXPECT_EQ(refusal(file),
            "'" + file + "' is open in another program; it cannot be changed until that program closes it");
  EXPECT_NO_THROW(open(file, adModeRead)->close());
  EXPECT_NO_THROW(open(file, adModeUnknown)->close());
  writer->close();
  EXPECT_EQ(refusal(file), "");
}

TEST_F(AccessProviderOpen, AnAccess97DatabaseIsRefusedForWritingWithTheReason) {
  QV_REQUIRE_TESTDATA();
  const std::string file = dir.file("old.mdb");
  std::filesystem::copy_file(test::testdataDir() + "/access/jackcess/V1997/testV1997.mdb", file);
  EXPECT_EQ(refusal(file), "'" + file +
                               "' is an Access 97 (Jet 3) database, which this program reads but does not change" +
                               jet::kJet3Reason);
  EXPECT_NO_THROW(open(file, adModeRead)->close());
}

TEST_F(AccessProviderOpen, AFileTheUserMayNotWriteIsRefusedForWriting) {
  const std::string file = dir.file("locked down.mdb");
  jet::createDatabase(file, jet::Format::kJet4)->close();
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
  std::filesystem::permissions(file, std::filesystem::perms(0444));
  EXPECT_TRUE(test::runUnprivileged([&] {
    const std::string why = refusal(file);
    bool readable = true;
    try {
      open(file, adModeRead)->close();
    } catch (...) {
      readable = false;
    }
    return why == "'" + file + "' cannot be opened for writing (Permission denied); it cannot be changed" && readable;
  }));
}

}  // namespace
}  // namespace qv::ado
