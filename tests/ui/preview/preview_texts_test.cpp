#include <gtest/gtest.h>

#include <QCoreApplication>

#include "ui/preview/checked_rows_copy.h"
#include "ui/preview/preview_texts.h"
#include "ui/preview/preview_test_env.h"
#include "ui/preview/report_list_model.h"

namespace qv::ui {
namespace {

TEST(PreviewTexts, SqlErrorTestLooksForThreeMarkersInAnyCase) {
  EXPECT_TRUE(isSqlError(QStringLiteral("SQL error: Table 'T' already exists.")));
  EXPECT_TRUE(isSqlError(QStringLiteral("the provider said: sql ERROR near ','")));
  EXPECT_TRUE(isSqlError(QStringLiteral("java.sql.SQLEXCEPTION")));
  EXPECT_TRUE(isSqlError(QStringLiteral("Unsuccessful Metadata update")));
  // The Access provider's own wording for a bad statement is an ordinary failure.
  EXPECT_FALSE(isSqlError(QStringLiteral("Syntax error in INSERT INTO statement.")));
  EXPECT_FALSE(isSqlError(QString()));
}

TEST(PreviewTexts, ProgressMailAndClipboardTexts) {
  EXPECT_EQ(executeProgressText(3, 4), QStringLiteral("Please wait.. Processing row: 3 of 4"));
  EXPECT_EQ(executeProgressText(7, 120), QStringLiteral("Please wait.. Processing row: 7 of 120"));
  EXPECT_EQ(errorMailLink(QStringLiteral("SQL error: a & b")),
            QStringLiteral("mailto:support@varnholt.example?subject=Quorvane&body=Here is the error message that I get: \n"
                           "SQL error: a & b"));
  EXPECT_EQ(sqlCopiedMessage(), QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area where you "
                                               "normally type and press Ctrl+V to paste the clipboard."));
  EXPECT_EQ(errorCopiedMessage(), QStringLiteral("Error message have been copied to the clipboard.\r\rClick a text area "
                                                 "where you normally type and press Ctrl+V to paste the clipboard."));
}

TEST(FindAndReplaceRule, OnlyTheFirstOccurrenceWhateverItsCase) {
  bool changed = false;
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("zABCAy"), QStringLiteral("abca"), QStringLiteral("X"), &changed),
            QStringLiteral("zXy"));
  EXPECT_TRUE(changed);
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("a-b-a"), QStringLiteral("A"), QStringLiteral("c"), nullptr),
            QStringLiteral("c-b-a"));
  // The new text holding the find text again is not searched a second time.
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("banana"), QStringLiteral("a"), QStringLiteral("aa"), nullptr),
            QStringLiteral("baanana"));
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("x, y"), QStringLiteral(", "), QString(), nullptr), QStringLiteral("xy"));
  // An empty find text occurs nowhere; a trailing blank is part of the search.
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("abc"), QString(), QStringLiteral("Z"), &changed), QStringLiteral("abc"));
  EXPECT_FALSE(changed);
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("ab,c"), QStringLiteral("b "), QStringLiteral("Z"), &changed),
            QStringLiteral("ab,c"));
  EXPECT_FALSE(changed);
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("ab c"), QStringLiteral("b "), QStringLiteral("Z"), nullptr),
            QStringLiteral("aZc"));
}

class ListTextTest : public ::testing::Test {
 protected:
  void SetUp() override { test::previewTestApplication(); }
};

TEST_F(ListTextTest, CheckedRowsArePaddedToTheWidestCellOfAllRows) {
  ReportListModel view(true);
  view.addColumn(QStringLiteral("A"));
  view.addColumn(QStringLiteral("B"));
  view.append(QStringLiteral("abc"), {QStringLiteral("x")});
  view.append(QStringLiteral("abcdefg"), {QStringLiteral("yy   ")});
  view.append(QStringLiteral("the longest of all"), {QStringLiteral("zzzzzzzzz")});  // not ticked, still counts
  view.setChecked(0, true);
  view.setChecked(1, true);
  // Column 1 is as wide as its longest text (18 characters), ticked or not.
  EXPECT_EQ(checkedRowsText(view), QStringLiteral("abc") + QString(15, u' ') + QStringLiteral("\tx\r\nabcdefg") +
                                       QString(11, u' ') + QStringLiteral("\tyy\r\n"));

  ReportListModel script(true);
  script.addColumn(QStringLiteral("SQL Preview"));
  script.append(QStringLiteral("CREATE TABLE `T` ([A] INT);  "));
  script.append(QStringLiteral("INSERT INTO `T` VALUES (1);"));
  EXPECT_EQ(checkedRowsText(script), QString());
  script.setChecked(0, true);
  EXPECT_EQ(checkedRowsText(script), QStringLiteral("CREATE TABLE `T` ([A] INT);\r\n"));
}

TEST_F(ListTextTest, ModelHoldsTextsAndTickMarksOfMillionsCheaply) {
  ReportListModel view(true);
  view.addColumn(QStringLiteral("SQL Preview"));
  for (int i = 0; i < 1000; ++i) view.append(QStringLiteral("line %1").arg(i + 1));
  // The program sees the rows at once, the views when events are next processed.
  EXPECT_EQ(view.count(), 1000);
  EXPECT_EQ(view.rowCount(), 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(view.rowCount(), 1000);
  EXPECT_EQ(view.headerData(0, Qt::Horizontal).toString(), QStringLiteral("SQL Preview"));
  EXPECT_EQ(view.data(view.index(2, 0), Qt::CheckStateRole).toInt(), Qt::Unchecked);
  EXPECT_TRUE(view.flags(view.index(2, 0)) & Qt::ItemIsUserCheckable);
  EXPECT_TRUE(view.setData(view.index(2, 0), Qt::Checked, Qt::CheckStateRole));
  EXPECT_TRUE(view.isChecked(2));
  view.setText(2, 0, QStringLiteral("edited"));
  EXPECT_TRUE(view.isChecked(2));  // editing keeps the tick
  EXPECT_EQ(view.data(view.index(2, 0)).toString(), QStringLiteral("edited"));
  EXPECT_THROW(view.text(1000), std::out_of_range);
  view.clear();
  EXPECT_EQ(view.count(), 0);

  ReportListModel record(false);
  record.addColumn(QStringLiteral("Paradox Table"));
  record.addColumn(QStringLiteral("Paradox Table Field"));
  record.append(QStringLiteral("T"));
  EXPECT_EQ(record.text(0, 1), QString());
  EXPECT_FALSE(record.flags(record.index(0, 0)) & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(record.data(record.index(0, 0), Qt::CheckStateRole).isValid());
}

}  // namespace
}  // namespace qv::ui
