#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

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
