#include <gtest/gtest.h>

#include <QFile>

#include "shell/main_helpers.h"
#include "shell/messages.h"
#include "support/temp_dir.h"

namespace qv::shell {
namespace {

TEST(MainHelpers, FileNamesAndExistence) {
  EXPECT_EQ(FileNameFromPath(QStringLiteral("/data/Orders.db")), QStringLiteral("Orders.db"));
  EXPECT_EQ(FileNameFromPath(QStringLiteral("Orders.db")), QStringLiteral("Orders.db"));
  EXPECT_EQ(FileNameFromPath(QStringLiteral("/data/")), QString());
  test::TempDir dir;
  QString file = QString::fromStdString(dir.file("a.mdb"));
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(FileExists(QString()));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  EXPECT_TRUE(FileExists(file));
}

TEST(MainHelpers, ListMembershipIgnoresCaseButRemovalDoesNot) {
  QStringList list{QStringLiteral("ORDERS"), QStringLiteral("Items"), QStringLiteral("items"), QStringLiteral("items")};
  EXPECT_TRUE(ListContains(list, QStringLiteral("Orders")));
  EXPECT_FALSE(ListContains({}, QStringLiteral("x")));
  RemoveFromList(list, QStringLiteral("orders"));
  EXPECT_EQ(list.size(), 4);
  RemoveFromList(list, QStringLiteral("items"));
  EXPECT_EQ(list, (QStringList{QStringLiteral("ORDERS"), QStringLiteral("Items")}));
}

TEST(MainHelpers, NullToDefaultReplacesOnlyNull) {
  auto fallback = ado::Value::text(QString());
  EXPECT_EQ(NullToDefault(ado::Value::null(), fallback), fallback);
  EXPECT_EQ(NullToDefault(ado::Value::integer(0), fallback), ado::Value::integer(0));
  EXPECT_EQ(NullToDefault(ado::Value::boolean(false), fallback), ado::Value::boolean(false));
}

TEST(MainHelpers, ApplicationTitleDropsWordsDownToFortyCharacters) {
  EXPECT_EQ(applicationTitleFor(QStringLiteral("Quorvane")), QStringLiteral("Quorvane"));
  EXPECT_EQ(applicationTitleFor(QStringLiteral("Paradox To Access Converter")), QStringLiteral("Paradox To Access"));
  QString longName = QStringLiteral("One Two Three Four Five Six Seven Eight Nine Ten Eleven");
  QString t = applicationTitleFor(longName);
  EXPECT_LE(t.size(), 40);
  EXPECT_EQ(t, QStringLiteral("One Two Three Four Five Six Seven Eight"));
  SetApplicationTitle();
  EXPECT_EQ(applicationTitle(), QStringLiteral("Quorvane"));
  EXPECT_TRUE(ProgramDriveRoot().endsWith(u'/'));
}

TEST(Messages, QuestionsAreAnsweredFromTheScript) {
  RecordingMessages box;
  box.answer(MsgAnswer::No);
  EXPECT_EQ(askYesNo(QStringLiteral("Would you like to overwrite T?"), QStringLiteral("Overwrite?")), MsgAnswer::No);
  msgBox(QStringLiteral("Done."));
  ASSERT_EQ(box.shown.size(), 2u);
  EXPECT_EQ(box.shown[0].title, QStringLiteral("Overwrite?"));
  EXPECT_EQ(box.shown[1].title, applicationTitle());
  EXPECT_EQ(box.shown[1].buttons, MsgButtons::Ok);
}

}  // namespace
}  // namespace qv::shell
