#include "ui/ui_test_env.h"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace qv::test {
namespace {

QApplication* g_app = nullptr;

// Ends the application after the last test, while Qt's own objects still exist.
class ApplicationEnvironment final : public ::testing::Environment {
 public:
  void TearDown() override {
    delete g_app;
    g_app = nullptr;
  }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

QApplication& testApplication() {
  SandboxHome::instance();  // before anything asks for a path
  static int argc = 1;
  static char name[] = "quorvane-test";
  static char* argv[] = {name, nullptr};
  if (!g_app) g_app = new QApplication(argc, argv);
  return *g_app;
}

QByteArray handCursorFileBytes(quint16 hotX, quint16 hotY) {
  // Qt writes an icon, which becomes a cursor with a hot spot.
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::black);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, "ICO"));
  bytes[2] = 2;
  bytes[10] = static_cast<char>(hotX);
  bytes[11] = 0;
  bytes[12] = static_cast<char>(hotY);
  bytes[13] = 0;
  return bytes;
}

void moveMouseOnto(QWidget* widget, QPoint at) {
  QWidget* top = widget->window();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(top));
  if (at.isNull()) at = widget->rect().center();
  QTest::mouseMove(top->windowHandle(), widget->mapTo(top, at));
}

}  // namespace qv::test
