#pragma once
// What every desktop test needs: one QApplication (offscreen), the settings and home
// folder in a private sandbox, message boxes answered by the test, no page ever opened.

#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>

#include "shell/messages.h"
#include "shell/url_opener.h"
#include "support/sandbox_home.h"

namespace qv::test {

QApplication& testApplication();

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
