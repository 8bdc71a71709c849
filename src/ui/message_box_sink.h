#pragma once
// The facade's sink for the desktop program: every message is a modal QMessageBox with
// the message's title, icon and buttons. A message marked selectable (the Application
// Error report) lets its text be selected, and Ctrl+C copies it.

#include "shell/messages.h"

namespace qv::ui {

class MessageBoxSink final : public shell::MessageSink {
 public:
  shell::MsgAnswer show(const shell::Message& message) override;
};

// Message texts use CR LF and bare CR as line breaks; a label wants LF alone.
QString displayText(const QString& text);

}  // namespace qv::ui
