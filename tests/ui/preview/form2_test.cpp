// The SQL preview window: its loading, Execute SQL with its SQL-error path, the ways out
// and the flags they leave, and the commands on the error text.

#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QPushButton>
#include <QThread>
#include <QTreeView>

#include "support/memory_driver.h"
#include "ui/preview/form2.h"
#include "ui/preview/form4.h"
#include "ui/preview/preview_test_env.h"
#include "ui/preview/progress_display.h"
#include "ui/preview/report_list_model.h"
#include "ui/ui_test_env.h"

namespace qv::test {
namespace {

using ui::Form2;
using ui::Form4;

class Form2Window : public PreviewTest {
 protected:
  Form2& fill(const QStringList& lines) {
    windows->clearScript();
    for (const QString& line : lines) windows->appendScriptLine(line);
    return windows->form2();
  }
  // Shows the preview and runs action in it.
  void preview(std::function<void(Form2&)> action) {
    modal.then<Form2>(std::move(action));
    windows->showPreview();
  }
  std::vector<shell::Message> applicationErrors() const {
    std::vector<shell::Message> out;
    for (const auto& m : messages.shown) {
      if (m.title == QStringLiteral("Application Error")) out.push_back(m);
    }
    return out;
  }

  const QStringList script5{QStringLiteral("CREATE TABLE `T` ([A] INT);"),
                            QStringLiteral("INSERT INTO `T` VALUES (1);"),
                            QStringLiteral("INSERT INTO `T` VALUES (2x);"), QStringLiteral("   "),
                            QStringLiteral("INSERT INTO `T` VALUES (3);")};
};

TEST_F(Form2Window, LoadsWithCaptionColumnAndControlsInPlace) {
  Form2& w = fill({});
  EXPECT_EQ(w.windowTitle(), QStringLiteral("SQL Preview - Quorvane"));
  EXPECT_EQ(w.size(), QSize(536, 562));
  ASSERT_EQ(w.ListView1->model()->columnCount(), 1);
  EXPECT_EQ(w.ListView1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("SQL Preview"));
  EXPECT_EQ(w.ListView1->columnWidth(0), 466);
  EXPECT_TRUE(w.ListView1->uniformRowHeights());
  EXPECT_EQ(w.PushButton9->text(), QStringLiteral("Skip Table / Do Not Execute SQL"));
  EXPECT_EQ(w.PushButton9->geometry(), QRect(264, 8, 264, 27));
  EXPECT_EQ(w.Frame2->title(), QStringLiteral("Error:"));
  EXPECT_EQ(w.Text1->geometry(), QRect(16, 20, 488, 86));
  EXPECT_EQ(w.ProgressBar1->text(), QStringLiteral("Progress Bar"));
  EXPECT_FALSE(w.isVisible());  // created hidden by the first reference
}

TEST_F(Form2Window, ExecuteRunsEveryNonBlankLineSetsSqlFormOkAndCloses) {
  fill(script5.mid(0, 2) + QStringList{QStringLiteral(""), QStringLiteral(" INSERT INTO `T` VALUES (9); ")});
  QStringList progressSeen;
  ado::memoryStore(QStringLiteral("access")).failWhen = [&](const QString&) -> std::optional<QString> {
    const ui::ProgressDisplay& p = windows->form2().progress();
    progressSeen << p.text() + QStringLiteral(" @") + QString::number(p.value());
    return std::nullopt;
  };
  preview([](Form2& w) { w.PushButton1->click(); });
  EXPECT_TRUE(flags.sqlFormOK);
  EXPECT_EQ(windows->existingForm2(), nullptr);  // closed and gone
  // Lines go to the database untrimmed; the empty line is skipped.
  EXPECT_EQ(executed(), (QStringList{script5[0], script5[1], QStringLiteral(" INSERT INTO `T` VALUES (9); ")}));
  // The lines run together once the last one is reached; the bar shows how far reading came.
  EXPECT_EQ(progressSeen, QStringList(3, QStringLiteral("Please wait.. Processing row: 4 of 4 @100")));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Form2Window, ExecuteOnEmptyOrBlankScripts) {
  fill({});
  preview([&](Form2& w) {
    w.PushButton1->click();
    EXPECT_TRUE(w.isVisible());
    w.PushButton5->click();
  });
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, QStringLiteral("No SQL to run."));
  EXPECT_FALSE(flags.sqlFormOK);

  fill({QStringLiteral(" "), QString(), QStringLiteral("  ")});
  preview([](Form2& w) { w.PushButton1->click(); });
  EXPECT_TRUE(flags.sqlFormOK);
  EXPECT_TRUE(executed().isEmpty());

  // Only blanks are blank: a line of a tab or a line break goes to the database.
  flags.sqlFormOK = false;
  fill({QStringLiteral(" \t "), QStringLiteral("\r\n"), QStringLiteral(" ")});
  preview([](Form2& w) { w.PushButton1->click(); });
  EXPECT_TRUE(flags.sqlFormOK);
  EXPECT_EQ(executed(), (QStringList{QStringLiteral(" \t "), QStringLiteral("\r\n")}));
}

TEST_F(Form2Window, SqlErrorMarksTheLineAndEditLineMendsIt) {
  // Rows into an existing table: a second Execute SQL runs the lines before the error again.
  QStringList inserts = script5;
  inserts[0] = QStringLiteral("INSERT INTO `T` VALUES (0);");
  fill(inserts);
  failStatementsContaining(QStringLiteral("(2x)"), QStringLiteral("SQL error: bad number '2x'"));
  preview([&](Form2& w) {
    w.PushButton1->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(flags.sqlFormOK);
    EXPECT_EQ(Form2::ErrorLine, 3);
    EXPECT_EQ(w.selectedLine(), 3);
    EXPECT_EQ(w.Text1->toPlainText(), QStringLiteral("SQL error: bad number '2x'"));
    EXPECT_EQ(w.progress().text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(w.progress().value(), 0);
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown.back().text, QStringLiteral("Error found."));
    EXPECT_EQ(executed(), inserts.mid(0, 2));

    // A click on the marked line opens the editor with its text; OK writes the correction.
    modal.then<Form4>([](Form4& editor) {
      EXPECT_EQ(editor.windowTitle(), QStringLiteral("Edit Line - Quorvane"));
      EXPECT_EQ(editor.ListLine, 3);
      EXPECT_EQ(editor.Text1->toPlainText(), QStringLiteral("INSERT INTO `T` VALUES (2x);"));
      editor.Text1->setPlainText(QStringLiteral("INSERT INTO `T` VALUES (2);"));
      editor.PushButton2->click();
    });
    w.ListView1_Click();
    EXPECT_EQ(w.script().text(2), QStringLiteral("INSERT INTO `T` VALUES (2);"));

    w.PushButton1->click();  // from line 1 again
  });
  EXPECT_TRUE(flags.sqlFormOK);
  EXPECT_EQ(executed(), (QStringList{inserts[0], inserts[1], inserts[0], inserts[1],
                                     QStringLiteral("INSERT INTO `T` VALUES (2);"), inserts[4]}));
  EXPECT_TRUE(applicationErrors().empty());
}

TEST_F(Form2Window, AnOrdinaryFailureIsReportedAndTheNextLineRuns) {
  fill(script5);
  failStatementsContaining(QStringLiteral("(2x)"), QStringLiteral("Syntax error in INSERT INTO statement."));
  preview([](Form2& w) { w.PushButton1->click(); });
  auto errors = applicationErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].text.startsWith(QStringLiteral(
      "Syntax error in INSERT INTO statement.\r\nin Quorvane2021/08/31.Form2.PushButton1_Click at line 132\r\r")));
  EXPECT_EQ(executed(), (QStringList{script5[0], script5[1], script5[4]}));
  EXPECT_TRUE(flags.sqlFormOK);  // the end was reached although one statement did not run
  EXPECT_EQ(Form2::ErrorLine, 0);
}

TEST_F(Form2Window, WithoutAConnectionEveryStatementFailsAsAnApplicationError) {
  access.reset();
  fill({QStringLiteral("CREATE TABLE `T` ([A] INT);"), QStringLiteral("INSERT INTO `T` VALUES (1);")});
  preview([](Form2& w) { w.PushButton1->click(); });
  auto errors = applicationErrors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_TRUE(errors[0].text.contains(QStringLiteral("at line 134")));
  EXPECT_TRUE(errors[1].text.contains(QStringLiteral("at line 132")));
}

TEST_F(Form2Window, WaysOutAndTheFlagsTheyLeave) {
  flags = {false, true};
  fill({QStringLiteral("CREATE TABLE `T` ([A] INT);")});
  preview([](Form2& w) { w.PushButton5->click(); });  // < Back
  EXPECT_EQ(flags.stopAfterTable, true);
  EXPECT_EQ(windows->existingForm2(), nullptr);

  fill({QStringLiteral("CREATE TABLE `T` ([A] INT);")});
  preview([](Form2& w) { w.close(); });  // the close box
  EXPECT_EQ(flags.stopAfterTable, true);
  EXPECT_FALSE(flags.sqlFormOK);

  fill({QStringLiteral("CREATE TABLE `T` ([A] INT);")});
  preview([](Form2& w) { w.PushButton9->click(); });  // Skip Table
  EXPECT_EQ(flags.stopAfterTable, false);
  EXPECT_FALSE(flags.sqlFormOK);
  EXPECT_TRUE(executed().isEmpty());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Form2Window, EnterAndEscapeLeaveTheWindowOpen) {
  flags = {false, true};
  fill({QStringLiteral("CREATE TABLE `T` ([A] INT);"), QStringLiteral("INSERT INTO `T` VALUES (1);")});
  preview([&](Form2& w) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (QPushButton* b : w.findChildren<QPushButton*>()) EXPECT_FALSE(b->isDefault()) << b->text().toStdString();
    w.selectLine(2);
    w.ListView1->setFocus();
    QTest::keyClick(w.ListView1, Qt::Key_Return);
    QTest::keyClick(w.ListView1, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(w.ListView1, Qt::Key_Escape);
    QTest::keyClick(&w, Qt::Key_Escape);
    QTest::keyClick(w.PushButton1, Qt::Key_Return);  // a button with the focus is not pressed by Enter either
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(executed().isEmpty());
    w.PushButton9->click();
  });
  EXPECT_FALSE(flags.stopAfterTable);  // left by Skip Table, the way the test chose
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Form2Window, TheHandShowsOverEveryButtonMoveAfterMove) {
  fill({QStringLiteral("CREATE TABLE `T` ([A] INT);")});
  preview([&](Form2& w) {
    for (QPushButton* b : w.findChildren<QPushButton*>()) {
      moveMouseOnto(b);
      EXPECT_EQ(w.pointer().state(), ui::kPointerCustom) << b->text().toStdString();
      moveMouseOnto(b, QPoint(3, 3));
      EXPECT_EQ(w.pointer().state(), ui::kPointerCustom) << b->text().toStdString();
    }
    moveMouseOnto(w.ListView1->viewport());
    EXPECT_EQ(w.pointer().state(), ui::kPointerDefault);
    moveMouseOnto(w.PushButton1);
    moveMouseOnto(w.Frame2, QPoint(3, w.Frame2->height() - 3));
    EXPECT_EQ(w.pointer().state(), ui::kPointerDefault);
    // After the busy pointer, the next move over a button shows the hand again.
    moveMouseOnto(w.PushButton3);
    w.pointer().set(ui::kPointerBusy);
    moveMouseOnto(w.PushButton3, QPoint(2, 2));
    EXPECT_EQ(w.pointer().state(), ui::kPointerBusy);
    w.pointer().set(ui::kPointerDefault);
    moveMouseOnto(w.PushButton3, QPoint(4, 4));
    EXPECT_EQ(w.pointer().state(), ui::kPointerCustom);
    w.PushButton5->click();
  });
}

TEST_F(Form2Window, BackDuringExecuteStopsIt) {
  QStringList lines;
  for (int i = 0; i < 3000; ++i) lines << QStringLiteral("INSERT INTO `T` VALUES (%1);").arg(i);
  fill(lines);
  // The user's click on "< Back" arrives while a batch of lines runs; it is taken when
  // Execute SQL next lets events through, after that batch.
  ado::memoryStore(QStringLiteral("access")).failWhen = [&](const QString& s) -> std::optional<QString> {
    if (s.contains(QStringLiteral("(10)"))) {
      QMetaObject::invokeMethod(windows->form2().PushButton5, &QPushButton::click, Qt::QueuedConnection);
      QThread::msleep(20);  // longer than the pause between two looks at the events
    }
    return std::nullopt;
  };
  preview([](Form2& w) {
    w.PushButton1->click();
    EXPECT_FALSE(w.isVisible());
  });
  EXPECT_FALSE(flags.sqlFormOK);
  EXPECT_LT(executed().size(), 3000);
  EXPECT_GE(executed().size(), 11);
  EXPECT_EQ(executed(), lines.mid(0, executed().size()));
}

TEST_F(Form2Window, ErrorLineOutlivesTheWindowAndJumpFailsBeyondTheScript) {
  fill(script5);
  failStatementsContaining(QStringLiteral("(2x)"), QStringLiteral("SQL error: bad"));
  preview([](Form2& w) {
    w.PushButton1->click();
    w.PushButton5->click();
  });
  EXPECT_EQ(Form2::ErrorLine, 3);
  messages.shown.clear();

  fill({QStringLiteral("CREATE TABLE `U` ([A] INT);"), QStringLiteral("INSERT INTO `U` VALUES (1);")});
  preview([&](Form2& w) {
    EXPECT_TRUE(w.Text1->toPlainText().isEmpty());  // a new window, an empty error box
    w.PushButton1->click();
    EXPECT_EQ(Form2::ErrorLine, 3);  // a good run leaves it
  });
  ASSERT_EQ(windows->existingForm2(), nullptr);

  fill({QStringLiteral("a"), QStringLiteral("b")});
  preview([&](Form2& w) {
    w.PushButton6->click();
    EXPECT_EQ(w.selectedLine(), 0);
    w.PushButton5->click();
  });
  auto errors = applicationErrors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_TRUE(errors[0].text.contains(QStringLiteral("Form2.PushButton6_Click at line 104")));
  EXPECT_TRUE(errors[1].text.contains(QStringLiteral("Form2.PushButton6_Click at line 106")));

  fill(script5);
  preview([&](Form2& w) {
    w.PushButton6->click();
    EXPECT_EQ(w.selectedLine(), 3);
    w.PushButton5->click();
  });
}

TEST_F(Form2Window, ClipboardAndMailCommands) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(QStringLiteral("before"));
  fill({});
  preview([&](Form2& w) {
    w.PushButton2->click();  // no lines: the clipboard is not touched
    EXPECT_EQ(clipboard->text(), QStringLiteral("before"));
    w.PushButton4->click();  // no error text: nothing at all
    w.PushButton8->click();
    w.PushButton5->click();
  });
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Results have been copied to the clipboard.")));
  EXPECT_TRUE(opened.isEmpty());

  fill({QStringLiteral("CREATE TABLE `T` ([A] INT);   "), QStringLiteral("INSERT INTO `T` VALUES (1);")});
  preview([&](Form2& w) {
    w.PushButton2->click();  // nothing ticked: an empty clipboard
    EXPECT_EQ(clipboard->text(), QString());
    w.script().setChecked(0, true);
    w.script().setChecked(1, true);
    w.PushButton2->click();
    EXPECT_EQ(clipboard->text(), QStringLiteral("CREATE TABLE `T` ([A] INT);\r\nINSERT INTO `T` VALUES (1);\r\n"));

    w.PushButton5->click();
  });

  // The error text goes to the clipboard and the mail as the database gave it, its CR LF
  // kept; a box of blanks is empty, one holding a tab is not.
  messages.shown.clear();
  fill(script5);
  failStatementsContaining(QStringLiteral("(2x)"), QStringLiteral("SQL error: x\r\nsecond line"));
  preview([&](Form2& w) {
    w.PushButton1->click();
    EXPECT_EQ(w.Text1->toPlainText(), QStringLiteral("SQL error: x\nsecond line"));  // as the box shows it
    w.PushButton4->click();
    EXPECT_EQ(clipboard->text(), QStringLiteral("SQL error: x\r\nsecond line"));
    w.PushButton8->click();
    clipboard->setText(QStringLiteral("before"));
    w.Text1->setPlainText(QStringLiteral("   "));
    w.PushButton4->click();
    w.PushButton8->click();
    EXPECT_EQ(clipboard->text(), QStringLiteral("before"));
    w.Text1->setPlainText(QStringLiteral("\t"));
    w.PushButton4->click();
    EXPECT_EQ(clipboard->text(), QStringLiteral("\t"));
    w.PushButton5->click();
  });
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0],
            QStringLiteral("mailto:support@varnholt.example?subject=Quorvane&body=Here is the error message that I "
                           "get: \nSQL error: x\r\nsecond line"));
  ASSERT_EQ(messages.shown.size(), 3u);  // Error found., then two copies
  EXPECT_TRUE(
      messages.shown.back().text.startsWith(QStringLiteral("Error message have been copied to the clipboard.\r\r")));
}

}  // namespace
}  // namespace qv::test
