#include <gtest/gtest.h>

#include <QCoreApplication>
#include <string>
#include <vector>

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
  EXPECT_EQ(
      errorMailLink(QStringLiteral("SQL error: a & b")),
      QStringLiteral("mailto:support@varnholt.example?subject=Quorvane&body=Here is the error message that I get: \n"
                     "SQL error: a & b"));
  EXPECT_EQ(sqlCopiedMessage(),
            QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area where you "
                           "normally type and press Ctrl+V to paste the clipboard."));
  EXPECT_EQ(errorCopiedMessage(),
            QStringLiteral("Error message have been copied to the clipboard.\r\rClick a text area "
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
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("x, y"), QStringLiteral(", "), QString(), nullptr),
            QStringLiteral("xy"));
  // An empty find text occurs nowhere; a trailing blank is part of the search.
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("abc"), QString(), QStringLiteral("Z"), &changed),
            QStringLiteral("abc"));
  EXPECT_FALSE(changed);
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("ab,c"), QStringLiteral("b "), QStringLiteral("Z"), &changed),
            QStringLiteral("ab,c"));
  EXPECT_FALSE(changed);
  EXPECT_EQ(replaceFirstOccurrence(QStringLiteral("ab c"), QStringLiteral("b "), QStringLiteral("Z"), nullptr),
            QStringLiteral("aZc"));
}

class ListText : public ::testing::Test {
 protected:
  void SetUp() override { test::previewTestApplication(); }
};

TEST_F(ListText, CheckedRowsArePaddedToTheWidestCellOfAllRows) {
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

TEST_F(ListText, ModelHoldsTextsAndTickMarksOfMillionsCheaply) {
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

// The script keeps its lines as UTF-8 in large blocks, the start the rows of a table
// share kept once: lines appended as UTF-8 or as QStrings, rows of hundreds of tables,
// long lines that need a block of their own, lines edited after others were added and
// empty lines all read back exactly, in both forms.
TEST_F(ListText, LinesReadBackExactlyFromTheCompactStore) {
  ReportListModel script(true);
  script.addColumn(QStringLiteral("SQL Preview"));
  std::vector<std::string> lines;
  for (int i = 0; i < 30000; ++i) {
    // Rows of one table, of more tables than the store shares prefixes for, and lines
    // that only look like rows.
    const std::string table = i % 3 ? "T" : "U" + std::to_string(i % 400);
    std::string line = (i % 7 == 5 ? "INSERT INTO `" + table + " VALUES (" : "INSERT INTO `" + table + "` VALUES (") +
                       std::to_string(i) + ", 'O''Brien \xF0\x9F\x98\x80 \xD0\xAF\r\n";
    if (i % 5000 == 7) line += std::string(3u << 20, static_cast<char>('a' + i % 26));  // longer than a block's quarter
    if (i % 997 == 3) line.clear();
    line += i % 997 == 3 ? "" : "');";
    lines.push_back(line);
    if (i % 2) {
      script.appendUtf8(line);
    } else {
      script.append(QString::fromStdString(line));
    }
  }
  script.setText(11, 0, QString::fromUtf8("edited \xE2\x82\xAC"));
  lines[11] = "edited \xE2\x82\xAC";
  script.setText(12, 0, QString());
  lines[12].clear();
  ASSERT_EQ(script.count(), static_cast<int>(lines.size()));
  for (int i = 0; i < script.count(); ++i) {
    ASSERT_EQ(script.utf8(i), lines[static_cast<size_t>(i)]) << i;
    if (i % 101 == 0) {
      ASSERT_EQ(script.text(i), QString::fromStdString(lines[static_cast<size_t>(i)])) << i;
    }
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(script.data(script.index(1, 0)).toString(), QString::fromStdString(lines[1]));
  EXPECT_THROW(script.utf8(30000), std::out_of_range);
  EXPECT_THROW(script.utf8(0, 1), std::out_of_range);
}

}  // namespace
}  // namespace qv::ui
