#pragma once
// What every desktop test needs: one QApplication (offscreen), the settings and home
// folder in a private sandbox, message boxes answered by the test, no page ever opened.

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QPoint>
#include <QStringList>

#include "shell/messages.h"
#include "shell/url_opener.h"
#include "support/sandbox_home.h"

namespace qv::test {

QApplication& testApplication();

// Moves the mouse onto the widget (its centre, or the point given in its own
// coordinates) through its window, as a real mouse does: the window finds the widget
// under the pointer and the move travels up from there. The window must be shown.
void moveMouseOnto(QWidget* widget, QPoint at = QPoint());

// The bytes of a small valid cursor file (HAND-M.CUR) with the hot spot given.
QByteArray handCursorFileBytes(quint16 hotX, quint16 hotY);

// Base fixture: a clean settings store, recorded messages, recorded page requests.
class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testApplication();
    clearSettings();
    shell::setUrlOpener([this](const QString& address) {
      opened.push_back(address);
      return true;
    });
  }
  void TearDown() override { shell::setUrlOpener({}); }

  shell::RecordingMessages messages;
  QStringList opened;
};

}  // namespace qv::test
