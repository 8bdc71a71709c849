#include "ui/message_box_sink.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>

namespace qv::ui {

namespace {

// A message box whose text can be selected and copied: Ctrl+C copies the selection, or
// the whole text when nothing is selected (the key reaches the box from its buttons,
// which do not take it).
class CopyableMessageBox final : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

  void setCopyable(bool copyable) {
    copyable_ = copyable;
    if (copyable) setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (copyable_ && event->matches(QKeySequence::Copy)) {
      const auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
      const QString selected = label ? label->selectedText() : QString();
      QGuiApplication::clipboard()->setText(selected.isEmpty() ? text() : selected);
      event->accept();
      return;
    }
    QMessageBox::keyPressEvent(event);
  }

 private:
  bool copyable_ = false;
};

}  // namespace

QString displayText(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(u'\r', u'\n');
  return shown;
}

shell::MsgAnswer MessageBoxSink::show(const shell::Message& message) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (message.icon) {
    case shell::MsgIcon::None: icon = QMessageBox::NoIcon; break;
    case shell::MsgIcon::Information: icon = QMessageBox::Information; break;
    case shell::MsgIcon::Question: icon = QMessageBox::Question; break;
    case shell::MsgIcon::Warning: icon = QMessageBox::Warning; break;
    case shell::MsgIcon::Critical: icon = QMessageBox::Critical; break;
  }
  const bool question = message.buttons == shell::MsgButtons::YesNo;
  CopyableMessageBox box(icon, message.title, displayText(message.text),
                         question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                         QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.setCopyable(message.selectable);
  const int answer = box.exec();
  if (!question) return shell::MsgAnswer::Ok;
  return answer == QMessageBox::Yes ? shell::MsgAnswer::Yes : shell::MsgAnswer::No;
}

}  // namespace qv::ui
