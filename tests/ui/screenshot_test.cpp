// Renders the main window on a real X server (Xvfb, when the suite runs it through
// xvfb-run) or offscreen, keeps the picture as build/artifacts/form1.png, and checks that
// every control shows inside the window with something drawn on it.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "shell/settings_store.h"
#include "ui/main/form1.h"
#include "ui/ui_test_env.h"

namespace qv::ui {
namespace {

// True when the part of the picture holds more than one colour (text or a frame is drawn).
bool showsSomething(const QImage& image, const QRect& area) {
  const QRect r = area.intersected(image.rect());
  if (r.isEmpty()) return false;
  const QRgb first = image.pixel(r.topLeft());
  for (int y = r.top(); y <= r.bottom(); ++y) {
    for (int x = r.left(); x <= r.right(); ++x) {
      if (image.pixel(x, y) != first) return true;
    }
  }
  return false;
}

class Screenshot : public test::UiTest {};

TEST_F(Screenshot, MainWindowShowsEveryControlWithItsCaption) {
  Form1::startupDraw = [] { return 50; };
  shell::SaveSetting(QStringLiteral("ParadoxFolder"), QStringLiteral("/home/user/paradox"));
  shell::SaveSetting(QStringLiteral("AccessMDBFile"), QStringLiteral("/home/user/shop.accdb"));
  shell::SaveSetting(QStringLiteral("AccessPassword"), QStringLiteral("secret"));
  Form1 form;
  ASSERT_TRUE(form.Form_Load());
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::qWait(100);

  const QImage image = form.grab().toImage();
  ASSERT_FALSE(image.isNull());
  const QString folder = QStringLiteral(QV_BINARY_DIR "/artifacts");
  QDir().mkpath(folder);
  ASSERT_TRUE(image.save(folder + QStringLiteral("/form1.png")));
  std::printf("screenshot: %s/form1.png (%s)\n", qPrintable(folder), qPrintable(QGuiApplication::platformName()));

  const QStringList shown{"PushButton5", "Frame3",      "Label1",  "Text1",       "PushButton2",
                          "PushButton6", "PushButton3", "Frame1",  "Label5",      "Text5",
                          "PushButton1", "lblPassword", "Text6",   "PushButton4", "Frame2",
                          "Check1",      "Option1",     "Option2", "PushButton7", "ProgressBar1"};
  for (const QString& name : shown) {
    auto* w = form.findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name.toStdString();
    const QRect area(w->mapTo(&form, QPoint(0, 0)), w->size());
    EXPECT_TRUE(w->isVisible()) << name.toStdString();
    EXPECT_TRUE(form.rect().contains(area)) << name.toStdString();
    EXPECT_TRUE(showsSomething(image, area)) << name.toStdString();
  }
  // Captions and texts are not cut: each fits its control's width.
  for (auto* label : form.findChildren<QLabel*>()) {
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
        << label->objectName().toStdString();
  }
  for (auto* button : form.findChildren<QAbstractButton*>()) {
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width())
        << button->objectName().toStdString();
  }
  for (auto* frame : form.findChildren<QGroupBox*>()) {
    EXPECT_LE(frame->fontMetrics().horizontalAdvance(frame->title()), frame->width())
        << frame->objectName().toStdString();
  }
  EXPECT_EQ(form.ProgressBar1->text(), QStringLiteral("Progress Bar"));
  for (QListWidget* list : {form.List1, form.List2}) EXPECT_FALSE(form.rect().intersects(list->geometry()));
}

}  // namespace
}  // namespace qv::ui
