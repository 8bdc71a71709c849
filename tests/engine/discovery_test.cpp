#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "db/ado/connection.h"
#include "db/ado/paradox_driver.h"
#include "db/ado/recordset.h"
#include "db/paradox/table_writer.h"
#include "engine/connection_strings.h"
#include "engine/paradox_discovery.h"
#include "shell/messages.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

#include <filesystem>

namespace qv::engine {
namespace {

class Discovery : public ::testing::Test {
 protected:
  QString folder() const { return QString::fromStdString(dir_.path()); }
  void touch(const QString& relative) {
    QDir().mkpath(QFileInfo(folder() + u'/' + relative).absolutePath());
    QFile f(folder() + u'/' + relative);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  test::TempDir dir_;
  shell::RecordingMessages messages_;
};

TEST_F(Discovery, EmptyFolderTextFindsNothing) {
  EXPECT_FALSE(HasParadoxTables(QString()));
  EXPECT_TRUE(LoadParadoxTables(QString()).isEmpty());
  EXPECT_FALSE(HasParadoxTables(folder()));
  EXPECT_TRUE(LoadParadoxTables(folder()).isEmpty());
}

TEST_F(Discovery, NamesComeUpperCaseWithEveryDotDbRemoved) {
  touch(QStringLiteral("Orders.db"));
  touch(QStringLiteral("old.dbase.db"));
  touch(QStringLiteral("CUSTOMER.DB"));
  touch(QStringLiteral(" blank.db"));
  touch(QStringLiteral("Orders.mb"));
  EXPECT_TRUE(HasParadoxTables(folder()));
  EXPECT_EQ(LoadParadoxTables(folder()), (QStringList{" BLANK", "CUSTOMER", "OLDASE", "ORDERS"}));
  EXPECT_EQ(ParadoxTableName(QStringLiteral("a.Db.db")), QStringLiteral("A"));
}

TEST_F(Discovery, TildeFilesCountForTheCheckButAreNotListed) {
  touch(QStringLiteral("~orders.db"));
  EXPECT_TRUE(HasParadoxTables(folder()));
  EXPECT_TRUE(LoadParadoxTables(folder()).isEmpty());
}

TEST_F(Discovery, TheCheckLooksOnlyAtTheFolderTheListBelowItToo) {
  touch(QStringLiteral("sub/Items.DB"));
  touch(QStringLiteral("sub/deeper/Orders.db"));
  touch(QStringLiteral("other/Orders.db"));
  EXPECT_FALSE(HasParadoxTables(folder()));
  touch(QStringLiteral("Orders.db"));
  EXPECT_TRUE(HasParadoxTables(folder()));
  // The folder's own files first, then level by level; the same name twice is listed twice.
  EXPECT_EQ(LoadParadoxTables(folder()), (QStringList{"ORDERS", "ORDERS", "ITEMS", "ORDERS"}));
  // A trailing separator in the folder text changes nothing.
  EXPECT_EQ(LoadParadoxTables(folder() + u'/').size(), 4);
  EXPECT_TRUE(messages_.shown.empty());
}

// A Paradox table with one empty Alpha field of each name.
void writeTable(const QString& path, const std::vector<std::string>& fieldNames) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  std::vector<paradox::NewField> fields;
  for (const std::string& name : fieldNames) fields.push_back({name, paradox::FieldType::kAlpha, 8});
  paradox::TableWriter(path.toStdString(), fields).finish();
}

// The field names of the table the run's Paradox connection opens under the name.
QStringList fieldsOpenedAs(const QString& folder, const QString& table) {
  auto connection = ado::Connection::Create();
  connection->Open(ParadoxConnString(folder));
  ado::Recordset rs;
  rs.Open(QStringLiteral("SELECT * FROM [") + table + u']', *connection, ado::adOpenStatic, ado::adLockOptimistic);
  QStringList names;
  for (int k = 0; k < rs.Fields().Count(); ++k) names << rs.Fields()(k).name();
  return names;
}

TEST_F(Discovery, TheRunOpensTheFileTheListNamedAndLinkedFoldersAreWalkedOnce) {
  namespace fs = std::filesystem;
  writeTable(folder() + QStringLiteral("/Top.db"), {"T"});
  writeTable(folder() + QStringLiteral("/a/orders.db"), {"A"});
  writeTable(folder() + QStringLiteral("/B/orders.db"), {"C", "A", "B"});
  // A folder the walk passes over for its name (a dash the Western code page lacks).
  writeTable(folder() + QStringLiteral("/0\u2013bad/orders.db"), {"Z"});
  // A folder reached through a link, a link back up, a second way into a/.
  writeTable(QString::fromStdString(dir_.path()) + QStringLiteral("-elsewhere/linked.db"), {"L"});
  fs::create_directory_symlink(dir_.path() + "-elsewhere", dir_.path() + "/Alink");
  fs::create_directory_symlink(dir_.path(), dir_.path() + "/a/up");
  fs::create_directory_symlink(dir_.path() + "/a", dir_.path() + "/B/again");

  EXPECT_EQ(LoadParadoxTables(folder()), (QStringList{"TOP", "ORDERS", "LINKED", "ORDERS"}));
  // ORDERS is the one in a/, the first in the list, whatever the letter case of B/.
  EXPECT_EQ(fieldsOpenedAs(folder(), QStringLiteral("ORDERS")), QStringList{"A"});
  EXPECT_EQ(fieldsOpenedAs(folder(), QStringLiteral("LINKED")), QStringList{"L"});
  EXPECT_EQ(ado::findParadoxTable(folder(), QStringLiteral("orders")), folder() + QStringLiteral("/a/orders.db"));
  EXPECT_TRUE(messages_.shown.empty());
  fs::remove_all(dir_.path() + "-elsewhere");
}

}  // namespace
}  // namespace qv::engine

namespace qv::engine {
namespace {

// The whole Paradox corpus: every .db file below the folder is found once, by name.
TEST(DiscoveryCorpus, FindsEveryTableFileOfTheCorpus) {
  QV_REQUIRE_TESTDATA();
  namespace fs = std::filesystem;
  const std::string root = test::testdataDir() + "/paradox";
  QStringList expected;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    const QString name = QString::fromStdString(entry.path().filename().string());
    if (name.endsWith(QStringLiteral(".db"), Qt::CaseInsensitive) && !name.startsWith(u'~')) {
      expected.push_back(ParadoxTableName(name));
    }
  }
  ASSERT_GT(expected.size(), 20);
  shell::RecordingMessages messages;
  QStringList found = LoadParadoxTables(QString::fromStdString(root));
  EXPECT_TRUE(messages.shown.empty());
  expected.sort();
  found.sort();
  EXPECT_EQ(found, expected);
  EXPECT_FALSE(HasParadoxTables(QString::fromStdString(root)));  // the tables lie in sub-folders
}

}  // namespace
}  // namespace qv::engine
