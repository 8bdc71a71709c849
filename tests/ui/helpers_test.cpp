#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>

#include "shell/error_report.h"
#include "ui/clipboard.h"
#include "ui/message_box_sink.h"
#include "ui/ui_test_env.h"

namespace qv::ui {
namespace {

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QStringList buttons;
};

// Shows a message through the real sink; the open box is inspected and answered by
// pressing the named button.
shell::MsgAnswer showAndAnswer(const shell::Message& message, QMessageBox::StandardButton press, SeenBox* seen) {
  test::testApplication();
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen->title = box->windowTitle();
    seen->text = box->text();
    seen->icon = box->icon();
    for (QAbstractButton* b : box->buttons()) seen->buttons.push_back(b->text().remove(u'&'));
    box->button(press)->click();
  });
  MessageBoxSink sink;
  return sink.show(message);
}

TEST(MessageBoxSink, TheApplicationErrorReportIsAWarningWithOk) {
  SeenBox seen;
  const QString text = shell::applicationErrorText(QStringLiteral("Disk full"),
                                                   QStringLiteral("in Quorvane2021/08/31.Form1.Form_Load "), 128);
  EXPECT_EQ(showAndAnswer({QStringLiteral("Application Error"), text, shell::MsgIcon::Warning, shell::MsgButtons::Ok},
                          QMessageBox::Ok, &seen),
            shell::MsgAnswer::Ok);
  EXPECT_EQ(seen.title, QStringLiteral("Application Error"));
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.buttons, QStringList{"OK"});
  // Line breaks are shown as such: CR LF and the bare CRs become new lines.
  EXPECT_EQ(seen.text, QStringLiteral("Disk full\nin Quorvane2021/08/31.Form1.Form_Load at line 128\n\n"
                                      "Please email screenshot of this message to support@varnholt.example"));
}

TEST(MessageBoxSink, QuestionsHaveYesAndNoAndNoIcon) {
  SeenBox seen;
  const shell::Message question{QStringLiteral("Quorvane"), QStringLiteral("Overwrite?"), shell::MsgIcon::None,
                                shell::MsgButtons::YesNo};
  EXPECT_EQ(showAndAnswer(question, QMessageBox::No, &seen), shell::MsgAnswer::No);
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons.size(), 2);
  EXPECT_TRUE(seen.buttons.contains(QStringLiteral("Yes")));
  EXPECT_EQ(showAndAnswer(question, QMessageBox::Yes, &seen), shell::MsgAnswer::Yes);
}

TEST(Clipboard, CheckedRowsAreCopiedAsAlignedText) {
  test::testApplication();
  QTreeWidget view;
  view.setColumnCount(2);
  const QStringList rows[] = {{"abc", "one"}, {"a much longer text", "x"}, {"abcdefg", "two"}};
  const Qt::CheckState states[] = {Qt::Checked, Qt::Unchecked, Qt::Checked};
  for (int i = 0; i < 3; ++i) {
    auto* item = new QTreeWidgetItem(&view, rows[i]);
    item->setCheckState(0, states[i]);
  }
  SetClipboardText(QStringLiteral("before"));
  CopyCheckedRowsToClipboard(view);
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            QStringLiteral("abc               \tone\r\nabcdefg           \ttwo\r\n"));

  // Nothing checked: the clipboard ends up empty. An empty view leaves it alone.
  for (int i = 0; i < 3; ++i) view.topLevelItem(i)->setCheckState(0, Qt::Unchecked);
  CopyCheckedRowsToClipboard(view);
  EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
  SetClipboardText(QStringLiteral("kept"));
  QTreeWidget empty;
  CopyCheckedRowsToClipboard(empty);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
  ClearClipboard();
  EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
}

}  // namespace
}  // namespace qv::ui
