#pragma once
// What the preview workbench tests share: one offscreen QApplication, recorded message
// boxes and opened links, an in-memory Access store, and modal windows driven by the
// test: each window shown modally runs the next action the test queued for it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

#include "db/ado/connection.h"
#include "engine/conversion_host.h"
#include "shell/messages.h"
#include "ui/preview/preview_windows.h"

namespace qv::test {

QApplication& previewTestApplication();

// Runs queued actions on the windows shown modally, in order; a window shown with no
// action left is closed with its close box. Installed for its lifetime.
class ModalScript {
 public:
  ModalScript();
  ~ModalScript();
  template <typename Window>
  void then(std::function<void(Window&)> action) {
    actions_.push_back([action](QDialog& d) {
      auto* w = qobject_cast<Window*>(&d);
      ASSERT_NE(w, nullptr) << "another window was shown: " << d.metaObject()->className();
      action(*w);
    });
  }
  int shown() const { return shown_; }
  bool exhausted() const { return actions_.empty(); }

 private:
  std::deque<std::function<void(QDialog&)>> actions_;
  int shown_ = 0;
};

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The lines the in-memory Access store received.
  QStringList executed() const;
  // Makes the store reject statements containing the text with the description.
  void failStatementsContaining(const QString& text, const QString& description);

  shell::RecordingMessages messages;
  QStringList opened;
  engine::PreviewFlags flags;
  std::unique_ptr<ado::Connection> access;
  std::unique_ptr<ui::PreviewWindows> windows;
  ModalScript modal;
};

}  // namespace qv::test
