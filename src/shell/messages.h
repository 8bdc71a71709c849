#pragma once
// Every message box of the program goes through one facade. The desktop program installs
// one that shows real boxes; tests install RecordingMessages, which answers from a script
// and keeps what was shown; without either, messages go to the standard error stream and
// questions are answered No.

#include <QString>
#include <deque>
#include <vector>

namespace qv::shell {

enum class MsgIcon { None, Information, Question, Warning, Critical };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

struct Message {
  QString title;
  QString text;
  MsgIcon icon = MsgIcon::None;
  MsgButtons buttons = MsgButtons::Ok;
  bool selectable = false;  // the text can be selected and copied (Ctrl+C), to be sent on
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual MsgAnswer show(const Message& message) = 0;
};

// The current sink (never null).
MessageSink& messages();
// Installs a sink for the program's lifetime or a test's; nullptr restores the default.
void setMessages(MessageSink* sink);

// The application title that message boxes without a title of their own carry.
const QString& applicationTitle();
void setApplicationTitleText(const QString& title);

// A message with the application title, no icon and an OK button.
void msgBox(const QString& text);
// A question with Yes and No, no icon; the title defaults to the application title.
MsgAnswer askYesNo(const QString& text, const QString& title = QString());

// For tests: answers questions from a queue (Yes when it is empty unless told otherwise)
// and records every message.
class RecordingMessages final : public MessageSink {
 public:
  RecordingMessages() { setMessages(this); }
  ~RecordingMessages() override { setMessages(nullptr); }
  RecordingMessages(const RecordingMessages&) = delete;
  RecordingMessages& operator=(const RecordingMessages&) = delete;

  MsgAnswer show(const Message& message) override;
  void answer(MsgAnswer a) { answers.push_back(a); }

  std::vector<Message> shown;
  std::deque<MsgAnswer> answers;
  MsgAnswer defaultAnswer = MsgAnswer::Yes;
};

}  // namespace qv::shell
