#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "db/ado/connection.h"
#include "db/ado/driver.h"
#include "db/ado/error.h"
#include "support/memory_driver.h"
#include "engine/access_catalog.h"
#include "engine/provider_check.h"
#include "shell/messages.h"
#include "shell/url_opener.h"
#include "support/sandbox_home.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::engine {
namespace {

TEST(AccessConnString, ProviderFollowsTheLastFiveCharacters) {
  const AccessFields none;
  EXPECT_EQ(
      GetAccessConnString(QStringLiteral("/data/Shop.ACCDB"), QString(), none),
      QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/Shop.ACCDB;JET OLEDB:Database Password="));
  EXPECT_EQ(
      GetAccessConnString(QStringLiteral("/d/old.mdb"), QStringLiteral("pw;x=1"), none),
      QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/d/old.mdb;JET OLEDB:Database Password=pw;x=1"));
  EXPECT_TRUE(GetAccessConnString(QStringLiteral("/db/myaccdb"), QString(), none)
                  .startsWith(QStringLiteral("Provider=Microsoft.ACE")));
  EXPECT_EQ(GetAccessConnString(QStringLiteral("/x.accdb "), QString(), none),
            QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/x.accdb ;JET OLEDB:Database Password="));
  EXPECT_TRUE(
      GetAccessConnString(QStringLiteral("db"), QString(), none).startsWith(QStringLiteral("PROVIDER=Microsoft.Jet")));
  // An empty path takes path and password from the fields; the password argument is ignored.
  const AccessFields fields{QStringLiteral("/f/a.AccDb"), QStringLiteral("secret")};
  EXPECT_EQ(
      GetAccessConnString(QString(), QStringLiteral("ignored"), fields),
      QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/f/a.AccDb;JET OLEDB:Database Password=secret"));
  EXPECT_EQ(GetAccessConnString(QString(), QString(), AccessFields{QString(), QStringLiteral("pw")}),
            QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=;JET OLEDB:Database Password=pw"));
}

// Stands in for the Access provider: accepts the two provider names and serves the
// in-memory store named by the database path, recording the strings it was given.
class FakeAccessDriver final : public ado::Driver {
 public:
  QString name() const override { return QStringLiteral("FakeAccess"); }
  bool accepts(const ado::ConnectionString& cs) const override {
    return cs.valueOr(QStringLiteral("Provider")).startsWith(QStringLiteral("Microsoft."));
  }
  std::unique_ptr<ado::Session> open(const ado::ConnectionString& cs, int mode) override {
    opened.push_back(cs.text());
    return memory_->open(ado::ConnectionString(QStringLiteral("Provider=Memory;Data Source=") +
                                               cs.valueOr(QStringLiteral("Data Source"))),
                         mode);
  }
  std::vector<QString> opened;

 private:
  std::shared_ptr<ado::Driver> memory_ = ado::makeMemoryDriver();
};

ado::MemoryTable table(const QString& name, const QString& type = QStringLiteral("TABLE")) {
  ado::MemoryTable t;
  t.name = name;
  t.tableType = type;
  return t;
}

class AccessCatalog : public ::testing::Test {
 protected:
  void SetUp() override {
    ado::resetMemoryStores();
    ado::DriverRegistry::instance().clear();
    ado::DriverRegistry::instance().add(driver_);
    QFile f(path_);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  void TearDown() override { ado::DriverRegistry::instance().restoreBuiltins(); }

  test::TempDir dir_;
  QString path_ = QString::fromStdString(dir_.file("shop.mdb"));
  std::shared_ptr<FakeAccessDriver> driver_ = std::make_shared<FakeAccessDriver>();
  shell::RecordingMessages messages_;
};

TEST_F(AccessCatalog, ListsOnlyTablesOfTypeExactlyTable) {
  auto& store = ado::memoryStore(path_);
  store.tables.push_back(table(QStringLiteral("Orders")));
  store.tables.push_back(table(QStringLiteral("MSysObjects"), QStringLiteral("SYSTEM TABLE")));
  store.tables.push_back(table(QStringLiteral("lower"), QStringLiteral("table")));
  store.tables.push_back(table(QStringLiteral("Items")));
  store.tables.push_back(table(QStringLiteral("View1"), QStringLiteral("VIEW")));
  const AccessFields fields{path_, QStringLiteral("pw")};
  auto tables = GetAccessTables(path_, fields);
  ASSERT_TRUE(tables.has_value());
  EXPECT_EQ(*tables, (QStringList{"Orders", "Items"}));
  ASSERT_EQ(driver_->opened.size(), 1u);
  EXPECT_EQ(driver_->opened[0], GetAccessConnString(QString(), QString(), fields));
  EXPECT_EQ(store.opens, 1);
  EXPECT_EQ(store.closes, 1);

  QStringList list{QStringLiteral("stale")};
  LoadAccessTables(list, path_, fields);
  EXPECT_EQ(list, (QStringList{"Orders", "Items"}));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(AccessCatalog, OnlySystemTablesGiveAnEmptyListAndNoMessage) {
  ado::memoryStore(path_).tables.push_back(table(QStringLiteral("MSysACEs"), QStringLiteral("SYSTEM TABLE")));
  QStringList list{QStringLiteral("stale")};
  LoadAccessTables(list, path_, AccessFields{path_, QString()});
  EXPECT_TRUE(list.isEmpty());
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(AccessCatalog, AMissingFileIsSaidAndNothingOpens) {
  const QString missing = QString::fromStdString(dir_.file("none.mdb"));
  EXPECT_FALSE(GetAccessTables(missing, AccessFields{missing, QString()}).has_value());
  QStringList list{QStringLiteral("stale")};
  LoadAccessTables(list, missing, AccessFields{missing, QString()});
  EXPECT_TRUE(list.isEmpty());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, QStringLiteral("Unable to access the database"));
  EXPECT_EQ(messages_.shown[0].buttons, shell::MsgButtons::Ok);
  EXPECT_TRUE(driver_->opened.empty());
}

TEST_F(AccessCatalog, OpeningFailuresReachTheCaller) {
  ado::memoryStore(path_).failOpen = true;
  QStringList list{QStringLiteral("stale")};
  EXPECT_THROW(LoadAccessTables(list, path_, AccessFields{path_, QString()}), ado::Error);
  EXPECT_TRUE(list.isEmpty());
}

class CopyDb : public ::testing::Test {
 protected:
  void SetUp() override {
    test::SandboxHome::instance();
    QDir(CopyDbTarget()).removeRecursively();
  }
  void TearDown() override { QDir(CopyDbTarget()).removeRecursively(); }
  QString makeSource(const QString& name, const QStringList& files) {
    const QString source = QString::fromStdString(dir_.path()) + u'/' + name;
    for (const QString& file : files) {
      QDir().mkpath(QFileInfo(source + u'/' + file).absolutePath());
      QFile f(source + u'/' + file);
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(name.toUtf8());
    }
    return source;
  }
  QString run(bool sample, const QString& folder) {
    QString result = folder;
    CopyDB(sample, folder, [&result](const QString& t) { result = t; });
    return result;
  }

  test::TempDir dir_;
  shell::RecordingMessages messages_;
};

TEST_F(CopyDb, FoldersWithoutInnerBlanksAreLeftAlone) {
  const QString plain = makeSource(QStringLiteral("plain"), {QStringLiteral("a.db")});
  EXPECT_EQ(run(false, plain), plain);
  EXPECT_EQ(run(false, QStringLiteral("  ") + plain + QStringLiteral(" ")), QStringLiteral("  ") + plain + u' ');
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_FALSE(QDir(CopyDbTarget()).exists());
}

TEST_F(CopyDb, AskedWithYourOrSampleAndNoChangesNothing) {
  const QString source = makeSource(QStringLiteral("my tables"), {QStringLiteral("a.db")});
  messages_.answer(shell::MsgAnswer::No);
  EXPECT_EQ(run(false, source), source);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].buttons, shell::MsgButtons::YesNo);
  EXPECT_EQ(messages_.shown[0].icon, shell::MsgIcon::None);
  EXPECT_EQ(messages_.shown[0].text,
            QStringLiteral("In some cases the software needs to use a folder without spaces.\r\n"
                           "Is it OK to create the folder ") +
                test::SandboxHome::instance().home() + QStringLiteral("/TestDB and put Your db files in it?"));
  messages_.answer(shell::MsgAnswer::No);
  run(true, source);
  EXPECT_TRUE(messages_.shown[1].text.endsWith(QStringLiteral(" and put sample db files in it?")));
  EXPECT_FALSE(QDir(CopyDbTarget()).exists());
}

TEST_F(CopyDb, YesCopiesIntoTheOneTargetAndMergesCopies) {
  const QString first = makeSource(QStringLiteral("first one"), {QStringLiteral("a.db"), QStringLiteral("sub/b.db")});
  const QString second = makeSource(QStringLiteral("second one"), {QStringLiteral("a.db"), QStringLiteral("c.db")});
  EXPECT_EQ(run(false, first), CopyDbTarget());
  EXPECT_EQ(run(false, second), CopyDbTarget());
  QFile a(CopyDbTarget() + QStringLiteral("/a.db"));
  ASSERT_TRUE(a.open(QIODevice::ReadOnly));
  EXPECT_EQ(a.readAll(), QByteArray("second one"));  // replaced by the later copy
  EXPECT_TRUE(QFile::exists(CopyDbTarget() + QStringLiteral("/sub/b.db")));
  EXPECT_TRUE(QFile::exists(CopyDbTarget() + QStringLiteral("/c.db")));
  EXPECT_TRUE(QFile::exists(first + QStringLiteral("/a.db")));  // the source stays
  EXPECT_EQ(messages_.shown.size(), 2u);
}

TEST_F(CopyDb, AFailedCopyIsReportedAndTheFolderStays) {
  const QString missing = QString::fromStdString(dir_.path()) + QStringLiteral("/not there");
  EXPECT_EQ(run(false, missing), missing);
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].title, QStringLiteral("Application Error"));
  EXPECT_TRUE(messages_.shown[1].text.contains(QStringLiteral("in Quorvane2021/08/31.Access.CopyDB at line 120")));
  EXPECT_TRUE(messages_.shown[1].text.contains(missing));
}

TEST_F(CopyDb, AHomeFolderWithABlankIsNotCopiedIntoItself) {
  // The user picks the home folder itself, which holds the target folder.
  const QString home = makeSource(QStringLiteral("my home"), {QStringLiteral("a.db"), QStringLiteral("TestDB/old.db")});
  const QByteArray savedHome = qgetenv("HOME");
  qputenv("HOME", home.toLocal8Bit());
  QFile::link(home, home + QStringLiteral("/loop"));  // and a link back up
  const QString result = run(false, home);
  const QString target = CopyDbTarget();
  const bool copied = QFile::exists(target + QStringLiteral("/a.db"));
  const bool nested =
      QFileInfo::exists(target + QStringLiteral("/TestDB")) || QFileInfo::exists(target + QStringLiteral("/loop"));
  qputenv("HOME", savedHome);
  EXPECT_EQ(result, home + QStringLiteral("/TestDB"));
  EXPECT_TRUE(copied);
  EXPECT_FALSE(nested);
}

class ProviderCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    shell::setUrlOpener([this](const QString& address) {
      opened.push_back(address);
      return true;
    });
  }
  void TearDown() override {
    shell::setUrlOpener({});
    ado::DriverRegistry::instance().restoreBuiltins();
  }
  shell::RecordingMessages messages_;
  QStringList opened;
};

TEST_F(ProviderCheck, AWorkingLayerPassesSilently) {
  EXPECT_TRUE(CheckProvider());
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ProviderCheck, AMissingProviderIsExplainedAndYesOpensBothPagesInOrder) {
  ado::DriverRegistry::instance().clear();
  messages_.answer(shell::MsgAnswer::Yes);
  EXPECT_FALSE(CheckProvider());
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].buttons, shell::MsgButtons::YesNo);
  EXPECT_EQ(messages_.shown[0].title, shell::applicationTitle());
  const QString text = messages_.shown[0].text;
  EXPECT_TRUE(
      text.startsWith(QStringLiteral("Error #3706: Provider cannot be found. It may not be properly installed.\r\n\r\n"
                                     "You are getting this error because:\r\n\r\n")));
  EXPECT_TRUE(
      text.endsWith(QStringLiteral("\r\n\r\n(If you have any further questions please email a screenshot of this "
                                   "error message to support@varnholt.example)")));
  EXPECT_EQ(text.count(QStringLiteral("\r\n")), 12);
  EXPECT_EQ(opened, (QStringList{kEngine2010Page, kEngine2016Page}));
}

TEST_F(ProviderCheck, NoOpensNothing) {
  ado::DriverRegistry::instance().clear();
  messages_.answer(shell::MsgAnswer::No);
  EXPECT_FALSE(CheckProvider());
  EXPECT_EQ(messages_.shown.size(), 1u);
  EXPECT_TRUE(opened.isEmpty());
}

}  // namespace
}  // namespace qv::engine

namespace qv::engine {
namespace {

// Real databases through the real provider: the user tables are those mdbtools lists.
TEST(AccessCatalogCorpus, UserTablesAreThoseMdbToolsLists) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(test::runCommand("command -v mdb-tables", nullptr) == 0, "mdb-tables (mdbtools)");
  for (const char* file :
       {"access/mdbtools-mdbtestdata/nwind.mdb", "access/mdbtools-mdbtestdata/ASampleDatabase.accdb"}) {
    const std::string path = test::testdataDir() + "/" + file;
    std::string listing;
    ASSERT_EQ(test::runCommand("mdb-tables -1 '" + path + "'", &listing), 0);
    QStringList expected = QString::fromStdString(listing).split(u'\n', Qt::SkipEmptyParts);
    const QString qpath = QString::fromStdString(path);
    std::optional<QStringList> tables;
    try {
      tables = GetAccessTables(qpath, AccessFields{qpath, QString()});
    } catch (const ado::Error& e) {
      if (e.number() == ado::kErrProviderNotFound) GTEST_SKIP() << "no Access provider is registered in this build";
      throw;
    }
    ASSERT_TRUE(tables.has_value()) << file;
    QStringList found = *tables;
    expected.sort();
    found.sort();
    EXPECT_EQ(found, expected) << file;
  }
}

}  // namespace
}  // namespace qv::engine
