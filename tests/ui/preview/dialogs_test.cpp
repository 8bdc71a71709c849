// The dialogs of the preview window: find and replace, the line editor, and the datatype
// conversion view.

#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTableView>

#include "ui/preview/form2.h"
#include "ui/preview/form3.h"
#include "ui/preview/form4.h"
#include "ui/preview/form5.h"
#include "ui/preview/preview_test_env.h"
#include "ui/preview/edited_text.h"
#include "support/temp_dir.h"
#include "ui/preview/report_list_model.h"
#include "ui/ui_test_env.h"

namespace qv::test {
namespace {

using ui::Form2;
using ui::Form3;
using ui::Form4;
using ui::Form5;

class PreviewDialogs : public PreviewTest {
 protected:
  void preview(const QStringList& lines, std::function<void(Form2&)> action) {
    windows->clearScript();
    for (const QString& line : lines) windows->appendScriptLine(line);
    modal.then<Form2>(std::move(action));
    windows->showPreview();
  }
  static QStringList lines(const Form2& w) {
    QStringList out;
    for (int i = 0; i < w.script().count(); ++i) out << w.script().text(i);
    return out;
  }
};

TEST_F(PreviewDialogs, FindAndReplaceChangesTheFirstOccurrenceOfEveryLineOnce) {
  preview({QStringLiteral("a1 a2"), QStringLiteral("zABCAy"), QStringLiteral("none"), QStringLiteral("A")},
          [&](Form2& w) {
            modal.then<Form3>([](Form3& d) {
              EXPECT_EQ(d.windowTitle(), QStringLiteral("Find and Replace - Quorvane"));
              EXPECT_TRUE(d.Text1->text().isEmpty());
              d.Text1->setText(QStringLiteral("a"));
              d.Text2->setText(QStringLiteral("aa"));
              d.PushButton2->click();
              EXPECT_FALSE(d.isVisible());
            });
            w.PushButton3->click();
            EXPECT_EQ(lines(w), (QStringList{QStringLiteral("aa1 a2"), QStringLiteral("zaaBCAy"),
                                             QStringLiteral("none"), QStringLiteral("aa")}));

            modal.then<Form3>([](Form3& d) {
              d.Text1->setText(QStringLiteral("abca"));
              d.Text2->setText(QStringLiteral("X"));
              d.PushButton2->click();
            });
            w.PushButton3->click();
            EXPECT_EQ(lines(w)[1], QStringLiteral("zaXy"));  // the occurrence in any case: "aBCA"

            // An empty find text changes nothing and still says Done.
            modal.then<Form3>([](Form3& d) {
              d.Text2->setText(QStringLiteral("X"));
              d.PushButton2->click();
            });
            w.PushButton3->click();
            EXPECT_EQ(lines(w)[0], QStringLiteral("aa1 a2"));

            // An empty replacement deletes; a line emptied so stays and Execute SQL skips it.
            modal.then<Form3>([](Form3& d) {
              d.Text1->setText(QStringLiteral("aa"));
              d.PushButton2->click();
            });
            w.PushButton3->click();
            EXPECT_EQ(lines(w),
                      (QStringList{QStringLiteral("1 a2"), QStringLiteral("zaXy"), QStringLiteral("none"), QString()}));
            w.PushButton5->click();
          });
  int dones = 0;
  for (const auto& m : messages.shown) dones += m.text == QStringLiteral("Done.");
  EXPECT_EQ(dones, 4);
}

TEST_F(PreviewDialogs, FindAndReplaceOnAnEmptyScriptSaysSoAndStaysOpen) {
  preview({}, [&](Form2& w) {
    modal.then<Form3>([&](Form3& d) {
      d.Text1->setText(QStringLiteral("x"));
      d.PushButton2->click();
      EXPECT_TRUE(d.isVisible());
      d.PushButton1->click();  // Cancel
      EXPECT_FALSE(d.isVisible());
    });
    w.PushButton3->click();
    w.PushButton5->click();
  });
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, QStringLiteral("No SQL to run."));
}

TEST_F(PreviewDialogs, EditLineCancelKeepsOkWritesAndKeepsTheTick) {
  preview({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}, [&](Form2& w) {
    w.script().setChecked(2, true);
    w.selectLine(3);
    modal.then<Form4>([](Form4& e) {
      e.Text1->setPlainText(QStringLiteral("changed"));
      e.PushButton1->click();  // Cancel
    });
    w.ListView1_Click();
    EXPECT_EQ(w.script().text(2), QStringLiteral("three"));

    modal.then<Form4>([](Form4& e) {
      e.Text1->setFocus();
      e.activateWindow();
      e.Text1->setPlainText(QString());
      e.PushButton2->click();
    });
    w.ListView1_Click();
    EXPECT_EQ(w.script().text(2), QString());
    EXPECT_TRUE(w.script().isChecked(2));
    EXPECT_EQ(w.script().count(), 3);

    // The editor's focus handler selects the whole text.
    modal.then<Form4>([](Form4& e) {
      QFocusEvent focus(QEvent::FocusIn);
      QCoreApplication::sendEvent(e.Text1, &focus);
      EXPECT_EQ(e.Text1->textCursor().selectedText(), QStringLiteral("two"));
      e.close();  // the close box: like Cancel
    });
    w.selectLine(2);
    w.ListView1_Click();
    EXPECT_EQ(w.script().text(1), QStringLiteral("two"));
    w.PushButton1->click();
  });
  EXPECT_EQ(executed(), (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
}

TEST_F(PreviewDialogs, EditLineOkWritesBackOnlyWhatTheUserChanged) {
  // A memo's CR LF, a bare CR, a no-break space and a line separator inside a literal:
  // the text box shows each in its own way.
  const QString line = QStringLiteral("INSERT INTO `M` VALUES (1, 'first\r\nsecond\u00a0word\u2028third\rfourth');");
  preview({line}, [&](Form2& w) {
    w.selectLine(1);
    modal.then<Form4>([](Form4& e) { e.PushButton2->click(); });  // OK, nothing changed
    w.ListView1_Click();
    EXPECT_EQ(w.script().text(0), line);

    // The user types 2 over the 1 and "4th" over "fourth".
    modal.then<Form4>([](Form4& e) {
      auto typeOver = [&e](const QString& old, const QString& typed) {
        QTextCursor cursor = e.Text1->textCursor();
        const int at = static_cast<int>(e.Text1->toPlainText().indexOf(old));
        cursor.setPosition(at);
        cursor.setPosition(at + static_cast<int>(old.size()), QTextCursor::KeepAnchor);
        e.Text1->setTextCursor(cursor);
        QTest::keyClicks(e.Text1, typed);
      };
      typeOver(QStringLiteral("(1,"), QStringLiteral("(2,"));
      typeOver(QStringLiteral("fourth"), QStringLiteral("4th"));
      e.PushButton2->click();
    });
    w.ListView1_Click();
    EXPECT_EQ(w.script().text(0),
              QStringLiteral("INSERT INTO `M` VALUES (2, 'first\r\nsecond\u00a0word\u2028third\r4th');"));
    w.PushButton5->click();
  });
}

TEST_F(PreviewDialogs, AKeptTextFollowsEveryChangeOfItsBox) {
  QPlainTextEdit box;
  ui::EditedText kept;
  kept.show(box, QStringLiteral("a\r\nb\r\nc"));
  auto select = [&box](int from, int to) {
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    box.setTextCursor(cursor);
  };
  select(2, 4);  // "b" and its line break
  QTest::keyClick(&box, Qt::Key_Delete);
  EXPECT_EQ(kept.text(box), QStringLiteral("a\r\nc"));
  box.moveCursor(QTextCursor::End);
  QTest::keyClicks(&box, QStringLiteral("!"));
  QTest::keyClick(&box, Qt::Key_Return);
  EXPECT_EQ(kept.text(box), QStringLiteral("a\r\nc!\n"));  // a typed line break is the box's own
  box.moveCursor(QTextCursor::Start);
  QTest::keyClick(&box, Qt::Key_Delete);
  EXPECT_EQ(kept.text(box), QStringLiteral("\r\nc!\n"));
  // Text the program puts in replaces the kept one as it stands.
  box.setPlainText(QStringLiteral("other\r\ntext"));
  EXPECT_EQ(kept.text(box), QStringLiteral("other\ntext"));
}

TEST_F(PreviewDialogs, TheDialogsShowTheHandOverTheirButtons) {
  TempDir program;
  {
    QFile cursor(QString::fromStdString(program.file("HAND-M.CUR")));
    ASSERT_TRUE(cursor.open(QIODevice::WriteOnly));
    cursor.write(handCursorFileBytes(4, 1));
  }
  ui::PreviewEnvironment env = windows->environment();
  env.programFolder = QString::fromStdString(program.path());
  windows = std::make_unique<ui::PreviewWindows>(env);
  auto expectHandOnlyOverButtons = [](QDialog& d, std::initializer_list<QWidget*> buttons) {
    for (QWidget* b : buttons) {
      moveMouseOnto(b);
      EXPECT_EQ(d.cursor().shape(), Qt::BitmapCursor) << d.windowTitle().toStdString();
      moveMouseOnto(b, QPoint(3, 3));  // on over the same button
      EXPECT_EQ(d.cursor().shape(), Qt::BitmapCursor) << d.windowTitle().toStdString();
    }
    moveMouseOnto(&d, QPoint(2, 2));
    EXPECT_EQ(d.cursor().shape(), Qt::ArrowCursor) << d.windowTitle().toStdString();
  };
  preview({QStringLiteral("one")}, [&](Form2& w) {
    modal.then<Form3>([&](Form3& d) {
      expectHandOnlyOverButtons(d, {d.PushButton1, d.PushButton2});
      d.close();
    });
    w.PushButton3->click();
    modal.then<Form4>([&](Form4& d) {
      expectHandOnlyOverButtons(d, {d.PushButton1, d.PushButton2});
      d.close();
    });
    w.selectLine(1);
    w.ListView1_Click();
    modal.then<Form5>([&](Form5& d) {
      expectHandOnlyOverButtons(d, {d.PushButton5});
      d.close();
    });
    w.PushButton7->click();
    w.PushButton5->click();
  });
  EXPECT_EQ(modal.shown(), 4);
}

TEST_F(PreviewDialogs, DatatypeViewShowsTheRecordOnceAndComesBackEmpty) {
  windows->clearScript();
  windows->clearDatatypeRecord();
  const QStringList fields{QStringLiteral("ID"), QStringLiteral("NAME"), QStringLiteral("PRICE"),
                           QStringLiteral("WHEN"), QStringLiteral("PIC")};
  for (const QString& f : fields)
    windows->appendDatatypeRow({QStringLiteral("ORDERS"), f, QStringLiteral("char"), QStringLiteral("TEXT")});
  windows->appendScriptLine(QStringLiteral("CREATE TABLE `ORDERS` ([ID] TEXT);"));
  modal.then<Form2>([&](Form2& w) {
    modal.then<Form5>([&](Form5& v) {
      EXPECT_EQ(v.windowTitle(), QStringLiteral("Datatypes Conversion - Quorvane"));
      ASSERT_EQ(v.record().columnCount(), 4);
      EXPECT_EQ(v.record().headings(),
                (QStringList{QStringLiteral("Paradox Table"), QStringLiteral("Paradox Table Field"),
                             QStringLiteral("Paradox Field Datatype"), QStringLiteral("New MS Access Datatype")}));
      EXPECT_EQ(v.ListView1->columnWidth(3), 113);
      ASSERT_EQ(v.record().count(), 5);
      for (int i = 0; i < 5; ++i) EXPECT_EQ(v.record().text(i, 1), fields[i]);
      EXPECT_EQ(v.record().text(4, 0), QStringLiteral("ORDERS"));
      EXPECT_EQ(v.record().text(4, 3), QStringLiteral("TEXT"));
      v.PushButton5->click();
    });
    w.PushButton7->click();
    // Closing the view discarded the record: the next view has the headings and no rows.
    modal.then<Form5>([](Form5& v) {
      EXPECT_EQ(v.record().columnCount(), 4);
      EXPECT_EQ(v.record().count(), 0);
      v.close();
    });
    w.PushButton7->click();
    w.PushButton5->click();
  });
  windows->showPreview();
  EXPECT_EQ(modal.shown(), 3);
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace qv::test
