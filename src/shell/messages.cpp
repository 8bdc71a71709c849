#include "shell/messages.h"

#include <cstdio>

namespace qv::shell {
namespace {

class ConsoleMessages final : public MessageSink {
 public:
  MsgAnswer show(const Message& m) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
    return m.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
  }
};

MessageSink* g_sink = nullptr;

QString& titleStore() {
  static QString title = QStringLiteral("Quorvane");
  return title;
}

}  // namespace

MessageSink& messages() {
  static ConsoleMessages console;
  return g_sink ? *g_sink : console;
}

void setMessages(MessageSink* sink) { g_sink = sink; }

const QString& applicationTitle() { return titleStore(); }
void setApplicationTitleText(const QString& title) { titleStore() = title; }

void msgBox(const QString& text) {
  messages().show(Message{applicationTitle(), text, MsgIcon::None, MsgButtons::Ok, false});
}

MsgAnswer askYesNo(const QString& text, const QString& title) {
  return messages().show(
      Message{title.isEmpty() ? applicationTitle() : title, text, MsgIcon::None, MsgButtons::YesNo, false});
}

MsgAnswer RecordingMessages::show(const Message& message) {
  shown.push_back(message);
  if (message.buttons == MsgButtons::Ok) return MsgAnswer::Ok;
  if (answers.empty()) return defaultAnswer;
  MsgAnswer a = answers.front();
  answers.pop_front();
  return a;
}

}  // namespace qv::shell
